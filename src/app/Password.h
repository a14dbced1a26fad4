#pragma once

#include <string>

// Each stored code unit c becomes c - shift, wrapped back into the printable
// range 32..126 when it falls below it.
std::wstring DecodePassword(const std::wstring& stored, int shift);
