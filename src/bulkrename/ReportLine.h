#pragma once

#include <string>

// The lines undo and recovery report on standard output, the paths in UTF-8.

// "label PATH"
void ReportLine(const wchar_t* label, const std::wstring& path);
// "label PATH between OTHER end", as in "left alone: NEW (old name: OLD)".
void ReportLine(const wchar_t* label, const std::wstring& path, const wchar_t* between, const std::wstring& other,
                const wchar_t* end = L")");
