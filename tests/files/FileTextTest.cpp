#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "files/FileText.h"

namespace {

FILETIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second = 0)
{
    SYSTEMTIME time{};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    FILETIME fileTime{};
    EXPECT_TRUE(SystemTimeToFileTime(&time, &fileTime));
    return fileTime;
}

// The tests run with the process in a zone whose offset is no whole hour (UTC+05:45, set by the
// build for this test program), so that a time text converted to local time cannot pass.
TEST(FormatFileTime, RunsInAZoneFarFromUtc)
{
    TIME_ZONE_INFORMATION zone{};
    GetTimeZoneInformation(&zone);
    EXPECT_NE(zone.Bias, 0) << "the test process runs in UTC: set TZ";
    EXPECT_NE(zone.Bias % 60, 0) << "the zone's offset is a whole number of hours";
}

TEST(FormatFileTime, WritesDayMonthYearHourMinuteWithoutLeadingZeros)
{
    const FILETIME newYear = Utc(2010, 1, 1, 9, 5, 59);
    EXPECT_EQ(FormatFileTime(&newYear), L"1/1/2010  9:5");
    const FILETIME march = Utc(2009, 3, 5, 14, 7);
    EXPECT_EQ(FormatFileTime(&march), L"5/3/2009  14:7");
    const FILETIME late = Utc(2026, 12, 31, 23, 59);
    EXPECT_EQ(FormatFileTime(&late), L"31/12/2026  23:59");
    const FILETIME epoch{0, 0};
    EXPECT_EQ(FormatFileTime(&epoch), L"1/1/1601  0:0");
}

TEST(FormatFileTime, NullIsNullAndAnUnconvertibleTimeIsEmpty)
{
    EXPECT_EQ(FormatFileTime(nullptr), L"NULL");
    const FILETIME beyondRange{0xFFFFFFFF, 0x80000000};
    EXPECT_EQ(FormatFileTime(&beyondRange), L"");
}

TEST(NumberToText, SignedAndUnsignedForms)
{
    EXPECT_EQ(NumberToText(std::int32_t{-42}), L"-42");
    EXPECT_EQ(NumberToText(std::int32_t{0}), L"0");
    EXPECT_EQ(NumberToText(std::int32_t{INT32_MAX}), L"2147483647");
    EXPECT_EQ(NumberToText(std::int32_t{INT32_MIN}), L"-2147483648");
    EXPECT_EQ(NumberToText(std::uint16_t{65535}), L"65535");
    EXPECT_EQ(NumberToText(std::uint16_t{0}), L"0");
}

} // namespace
