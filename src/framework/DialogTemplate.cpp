#include "framework/DialogTemplate.h"

#include <cstring>
#include <cwchar>

namespace zel {

namespace {
// Walks a template by byte offsets; every read is checked against its size.
class Cursor {
public:
    Cursor(BYTE* base, std::size_t size) : base_(base), size_(size) {}

    bool Skip(std::size_t bytes) {
        if (bytes > size_ - at_) return ok_ = false;
        at_ += bytes;
        return ok_;
    }
    WORD Word() {
        WORD value = 0;
        if (Has(2)) std::memcpy(&value, base_ + at_, 2);
        Skip(2);
        return value;
    }
    DWORD Dword() {
        DWORD value = 0;
        if (Has(4)) std::memcpy(&value, base_ + at_, 4);
        Skip(4);
        return value;
    }
    // A text ended by a zero character; returns its length in characters.
    std::size_t SkipText() {
        std::size_t chars = 0;
        while (ok_ && Word() != 0) ++chars;
        return chars;
    }
    // A name or an ordinal (0xFFFF and a number) or nothing (0).
    void SkipNameOrOrdinal() {
        if (!Has(2)) {
            ok_ = false;
            return;
        }
        WORD first = 0;
        std::memcpy(&first, base_ + at_, 2);
        if (first == 0xFFFF)
            Skip(4);
        else
            SkipText();
    }
    void AlignDword() { Skip((4 - at_ % 4) % 4); }
    bool Has(std::size_t bytes) const { return ok_ && bytes <= size_ - at_; }
    bool Ok() const { return ok_; }
    std::size_t At() const { return at_; }

private:
    BYTE* base_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};
}  // namespace

bool SwitchDialogFont(void* dialogTemplate, std::size_t size, const wchar_t* face, WORD pointSize) {
    auto* base = static_cast<BYTE*>(dialogTemplate);
    Cursor c(base, size);
    c.Word();
    const bool extended = c.Word() == 0xFFFF;
    c = Cursor(base, size);
    DWORD style = 0;
    WORD items = 0;
    if (extended) {
        c.Skip(4 + 4 + 4);  // version and signature, help id, extended style
        style = c.Dword();
    } else {
        style = c.Dword();
        c.Skip(4);
    }
    items = c.Word();
    c.Skip(8);
    c.SkipNameOrOrdinal();  // menu
    c.SkipNameOrOrdinal();  // class
    c.SkipText();           // caption
    if (!c.Ok() || (style & DS_SETFONT) == 0) return false;
    const std::size_t sizeAt = c.At();
    c.Skip(extended ? 2 + 2 + 1 + 1 : 2);
    const std::size_t faceAt = c.At();
    const std::size_t oldChars = c.SkipText();
    const std::size_t newChars = std::wcslen(face);
    if (!c.Ok() || newChars > oldChars) return false;
    c.AlignDword();
    const std::size_t itemsAt = c.At();
    for (WORD i = 0; i < items && c.Ok(); ++i) {
        c.AlignDword();
        c.Skip(extended ? 4 + 4 + 4 + 8 + 4 : 4 + 4 + 8 + 2);
        c.SkipNameOrOrdinal();  // class
        c.SkipNameOrOrdinal();  // text
        c.Skip(c.Word());       // creation data
    }
    if (!c.Ok()) return false;
    const std::size_t end = c.At();

    std::memcpy(base + sizeAt, &pointSize, 2);
    std::memcpy(base + faceAt, face, (newChars + 1) * sizeof(wchar_t));
    std::size_t newItemsAt = faceAt + (newChars + 1) * sizeof(wchar_t);
    newItemsAt += (4 - newItemsAt % 4) % 4;
    std::memmove(base + newItemsAt, base + itemsAt, end - itemsAt);
    return true;
}

}  // namespace zel
