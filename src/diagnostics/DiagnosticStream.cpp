#include "diagnostics/DiagnosticStream.h"

#include <iostream>
#include <iterator>

#include <utf8.h>

namespace {

bool IsLeadSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsTrailSurrogate(wchar_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// U+FFFE and U+FFFF are code points like any other, but UTF8-CPP before version 3 refuses them
// (it would throw in the middle of a rename); they are written here, whatever the library's version.
bool IsNoncharacterOfThePlane(wchar_t unit)
{
    return unit == 0xFFFE || unit == 0xFFFF;
}

} // namespace

std::wostream& DiagnosticStream()
{
    return std::wcout;
}

std::wstring ToUtf8Units(std::wstring_view text)
{
    std::wstring units;
    units.reserve(text.size() * 3);
    auto output = std::back_inserter(units);

    // Well-formed runs go to UTF8-CPP whole; each unpaired surrogate between them becomes U+FFFD.
    std::size_t runStart = 0;
    std::size_t i = 0;
    const auto flushRun = [&](std::size_t runEnd) {
        utf8::utf16to8(text.begin() + static_cast<std::ptrdiff_t>(runStart),
                       text.begin() + static_cast<std::ptrdiff_t>(runEnd), output);
    };
    while (i < text.size()) {
        const wchar_t unit = text[i];
        if (IsLeadSurrogate(unit) && i + 1 < text.size() && IsTrailSurrogate(text[i + 1])) {
            i += 2;
        } else if (IsLeadSurrogate(unit) || IsTrailSurrogate(unit)) {
            flushRun(i);
            utf8::append(0xFFFDu, output);
            runStart = ++i;
        } else if (IsNoncharacterOfThePlane(unit)) {
            flushRun(i);
            units += {L'\xEF', L'\xBF', static_cast<wchar_t>(unit == 0xFFFE ? 0xBE : 0xBF)};
            runStart = ++i;
        } else {
            ++i;
        }
    }
    flushRun(text.size());
    return units;
}

void WriteUtf8(const std::wstring& text, bool endLine, std::wostream& stream)
{
    const std::wstring units = ToUtf8Units(text);
    stream << units;
    if (endLine) {
        stream << std::endl;
    }
}
