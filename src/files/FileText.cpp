#include "files/FileText.h"

std::wstring FormatFileTime(const FILETIME* time)
{
    if (time == nullptr) {
        return L"NULL";
    }
    SYSTEMTIME utc{};
    if (!FileTimeToSystemTime(time, &utc)) {
        return std::wstring();
    }
    return NumberToText(utc.wDay) + L"/" + NumberToText(utc.wMonth) + L"/" + NumberToText(utc.wYear) + L"  " +
           NumberToText(utc.wHour) + L":" + NumberToText(utc.wMinute);
}

std::wstring NumberToText(std::int32_t value)
{
    return std::to_wstring(value);
}

std::wstring NumberToText(std::uint16_t value)
{
    return NumberToText(static_cast<std::int32_t>(value));
}
