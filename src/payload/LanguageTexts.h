// Every text the user sees, by string id: the loaded language file first,
// then the built-in English table. Message boxes get translated buttons.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <vector>
#include <string>
#include <utility>

// Texts of the loaded language file by string id.
extern std::map<int, std::wstring> LanguageStrings;
// Button captions by button id while one message box is shown.
extern std::map<int, std::wstring> ButtonCaptions;

std::wstring GetBuiltInString(int id);
// LanguageStrings[id], else the built-in text, else empty.
std::wstring GetLangString(int id);
bool HasLanguageStrings();

// Returns 1 for English (1033, texts emptied), 0 after a load or when the
// file is missing (texts kept), -1 when the file is for another language.
int LoadLanguageFile(int lcid, const std::wstring& folder);
// [RADIOBUTTONSTRING] of Defaultx.ulf, or "Unknown Language".
std::wstring GetLanguageCaption(int lcid, const std::wstring& folder);
// [FileInfo] LangName of the language's file.
std::wstring GetLanguageName(int lcid, const std::wstring& folder);

// Replaces every occurrence of each token ("[PATH]", "[NEWLINE]", ...).
std::wstring ReplaceTokens(std::wstring text,
                           std::initializer_list<std::pair<const wchar_t*, std::wstring>> tokens);

// The box type shown for a type asked for, and which button captions
// (button id, string id) it gets.
struct MessageBoxLayout {
    UINT ShownType;
    std::vector<std::pair<int, int>> Captions;
};
MessageBoxLayout MapMessageBoxType(UINT type);

// Shows a message box with the mapped type and translated button captions.
int ShowTranslatedMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
