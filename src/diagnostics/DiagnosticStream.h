#pragma once

#include <ostream>
#include <string>
#include <string_view>

// The process-wide diagnostic stream: the runtime's wide standard output. In text mode under the
// "C" locale it carries one byte per wide unit (0x00-0xFF) and turns "\n" into CR LF, so
// everything written to it is ASCII text or UTF-8 bytes carried one per unit by WriteUtf8.
std::wostream& DiagnosticStream();

// The UTF-8 bytes of `text`, one wide unit per byte. A surrogate that is not half of a pair has
// no UTF-8 form and becomes U+FFFD (EF BF BD), so a line still names as much of a path as it can.
std::wstring ToUtf8Units(std::wstring_view text);

// Writes the UTF-8 form of `text` to `stream`, then, when `endLine` is true, a line feed and a
// flush. The whole text is converted before any of it is written.
void WriteUtf8(const std::wstring& text, bool endLine, std::wostream& stream);
