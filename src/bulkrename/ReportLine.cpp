#include "bulkrename/ReportLine.h"

#include "diagnostics/DiagnosticStream.h"

void ReportLine(const wchar_t* label, const std::wstring& path)
{
    DiagnosticStream() << label;
    WriteUtf8(path, true, DiagnosticStream());
}

void ReportLine(const wchar_t* label, const std::wstring& path, const wchar_t* between, const std::wstring& other,
                const wchar_t* end)
{
    DiagnosticStream() << label;
    WriteUtf8(path, false, DiagnosticStream());
    DiagnosticStream() << between;
    WriteUtf8(other, false, DiagnosticStream());
    DiagnosticStream() << end << std::endl;
}
