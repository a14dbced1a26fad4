#include "ui/FitText.h"

#include <cmath>
#include <vector>

namespace zel {

namespace {
constexpr wchar_t kEllipsis[] = L"...";

// A surrogate pair counts as one character, so no half of it is ever shown.
std::vector<std::wstring> Characters(const std::wstring& text) {
    std::vector<std::wstring> characters;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t length = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF)
            length = 2;
        characters.push_back(text.substr(i, length));
        i += length - 1;
    }
    return characters;
}

bool ReachesRoom(long cx, std::uint32_t avail, float factor) {
    const std::uint32_t measured = static_cast<std::uint32_t>(cx);
    if (factor == 1.0f) return measured >= avail;
    return static_cast<float>(measured) >= factor * static_cast<float>(avail);
}
}  // namespace

FitOptions FitOptions::Sheet(EllipsisForm form) {
    FitOptions options;
    options.Form = form;
    return options;
}

FitOptions FitOptions::Unpadded(EllipsisForm form) {
    FitOptions options;
    options.Form = form;
    options.PadShortText = false;
    options.AtLeastOneLine = false;
    return options;
}

FitOptions FitOptions::LanguageHeading() {
    FitOptions options = Unpadded();
    options.StopFactor = 0.9f;
    options.EllipsisOnlyWhenCut = true;
    return options;
}

FitOptions FitOptions::License() {
    FitOptions options = Unpadded();
    options.FixedLines = 2;
    options.EllipsisOnlyWhenCut = true;
    return options;
}

FitOptions FitOptions::FinishPage() {
    FitOptions options = Unpadded();
    options.LineAdjust = -1;
    return options;
}

std::wstring FitText(const std::wstring& text, std::uint32_t width, std::uint32_t height, const MeasureText& measure,
                     const FitOptions& options) {
    const TextExtent extent = measure(text);
    std::wstring result = text;

    // A zero width has nothing to pad and must not be divided by.
    if (options.PadShortText && width != 0) {
        const double a = std::trunc(0.2f * static_cast<float>(width));
        const double p = std::trunc(static_cast<double>(extent.cx) * 100.0 / width);
        const double n = std::trunc(width * (20.0 - p) / 100.0);
        if (a > extent.cx && n > 0) result.append(static_cast<size_t>(n), L' ');
    }
    if (static_cast<std::uint32_t>(extent.cx) <= width) return result;

    std::int64_t lines = options.FixedLines;
    if (lines <= 0) {
        // A font without height gives no lines rather than a division by zero.
        lines = extent.cy > 0 ? height / static_cast<std::uint32_t>(extent.cy) : 0;
        lines += options.LineAdjust;
        if (options.AtLeastOneLine && lines == 0) lines = 1;
    }
    const std::int64_t reserve = lines * 6 + measure(kEllipsis).cx;
    const auto avail = static_cast<std::uint32_t>(static_cast<std::int64_t>(width) * lines - reserve);

    const std::vector<std::wstring> characters = Characters(text);
    std::wstring kept;
    size_t taken = 0;
    for (; taken < characters.size(); ++taken) {
        const std::wstring& c = characters[options.Form == EllipsisForm::End ? taken : characters.size() - 1 - taken];
        std::wstring candidate = options.Form == EllipsisForm::End ? kept + c : c + kept;
        if (ReachesRoom(measure(candidate).cx, avail, options.StopFactor)) break;
        kept = std::move(candidate);
    }
    if (options.EllipsisOnlyWhenCut && taken == characters.size()) return text;
    return options.Form == EllipsisForm::End ? kept + kEllipsis : kEllipsis + kept;
}

std::wstring FillStringTemplate(std::wstring text, const std::wstring& placeholder, const std::wstring& value) {
    if (size_t at = text.find(L"\\n"); at != std::wstring::npos) text.replace(at, 2, L"\r\n");
    if (placeholder.empty()) return text;
    for (size_t at = text.find(placeholder); at != std::wstring::npos; at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return text;
}

}  // namespace zel
