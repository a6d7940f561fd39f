#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// "day/month/year  hour:minute" of a UTC file time, numbers without leading zeros; "NULL" for a
// null pointer, and the empty string for a time the system cannot convert.
std::wstring FormatFileTime(const FILETIME* time);

// Decimal text: a "-" before a negative value, no plus sign, no leading zeros.
std::wstring NumberToText(std::int32_t value);
std::wstring NumberToText(std::uint16_t value);
