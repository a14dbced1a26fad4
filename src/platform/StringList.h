// Ordered list of texts with insertion at either end. Lists filled by
// SplitText and the drive and processor queries insert at the front, so their
// head holds the last item found.
#pragma once

#include <list>
#include <string>

using StringList = std::list<std::wstring>;
