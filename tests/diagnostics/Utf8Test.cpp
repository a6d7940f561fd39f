#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <sstream>
#include <string>

#include "diagnostics/DiagnosticStream.h"

namespace {

// The units of ToUtf8Units as the bytes they stand for.
std::string Bytes(const std::wstring& units)
{
    std::string bytes;
    for (const wchar_t unit : units) {
        EXPECT_LE(static_cast<unsigned>(unit), 0xFFu) << "a unit that the stream cannot carry";
        bytes.push_back(static_cast<char>(unit));
    }
    return bytes;
}

struct Utf8Case {
    std::wstring text;
    std::string bytes;
};

class ToUtf8UnitsTest : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(ToUtf8UnitsTest, GivesOneUnitPerUtf8Byte)
{
    EXPECT_EQ(Bytes(ToUtf8Units(GetParam().text)), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToUtf8UnitsTest,
    ::testing::Values(
        Utf8Case{L"C:\\Temp\\x.txt", "C:\\Temp\\x.txt"},
        Utf8Case{L"", ""},
        Utf8Case{L"caf\u00e9", "caf\xC3\xA9"},
        Utf8Case{L"\u20ac", "\xE2\x82\xAC"},
        Utf8Case{std::wstring{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        Utf8Case{std::wstring{0x07FF, 0x0800}, "\xDF\xBF\xE0\xA0\x80"},
        Utf8Case{std::wstring{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
        // U+FFFE and U+FFFF are code points like any other, written by the program itself between
        // the runs it hands the library (UTF8-CPP before version 3 refuses them).
        Utf8Case{std::wstring{0xFFFE, 0xFFFF}, "\xEF\xBF\xBE\xEF\xBF\xBF"},
        Utf8Case{std::wstring{L'a', 0xFFFE, L'b', 0xD800, 0xFFFF, 0xD83D, 0xDE00},
                 "a\xEF\xBF\xBE" "b\xEF\xBF\xBD\xEF\xBF\xBF\xF0\x9F\x98\x80"},
        // Surrogates that are not a pair become U+FFFD each; the rest of the text stays.
        Utf8Case{std::wstring{L'a', 0xD800}, "a\xEF\xBF\xBD"},
        Utf8Case{std::wstring{0xDC00, L'b'}, "\xEF\xBF\xBD" "b"},
        Utf8Case{std::wstring{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        Utf8Case{std::wstring{0xD800, L'A', 0xD83D, 0xDE00}, "\xEF\xBF\xBD" "A\xF0\x9F\x98\x80"},
        Utf8Case{std::wstring{0xD800, 0xD800, 0xDC00}, "\xEF\xBF\xBD\xF0\x90\x80\x80"}));

TEST(ToUtf8Units, AgreesWithTheSystemConverterOnWellFormedText)
{
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> kind(0, 4);
    for (int round = 0; round < 3000; ++round) {
        std::wstring text;
        const int units = length(random);
        while (static_cast<int>(text.size()) < units) {
            char32_t codePoint = 0;
            switch (kind(random)) {
            case 0: codePoint = std::uniform_int_distribution<char32_t>(0x01, 0x7F)(random); break;
            case 1: codePoint = std::uniform_int_distribution<char32_t>(0x80, 0x7FF)(random); break;
            case 2: codePoint = std::uniform_int_distribution<char32_t>(0x800, 0xD7FF)(random); break;
            case 3: codePoint = std::uniform_int_distribution<char32_t>(0xE000, 0xFFFF)(random); break;
            default: codePoint = std::uniform_int_distribution<char32_t>(0x10000, 0x10FFFF)(random); break;
            }
            if (codePoint >= 0x10000) {
                text.push_back(static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
                text.push_back(static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
            } else {
                text.push_back(static_cast<wchar_t>(codePoint));
            }
        }
        std::string expected;
        if (!text.empty()) {
            const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(),
                                                 static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
            ASSERT_GT(size, 0);
            expected.resize(static_cast<size_t>(size));
            WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                expected.data(), size, nullptr, nullptr);
        }
        ASSERT_EQ(Bytes(ToUtf8Units(text)), expected) << "round " << round;
    }
}

TEST(WriteUtf8, WritesTheUnitsAndEndsTheLineOnlyWhenAsked)
{
    std::wostringstream stream;
    WriteUtf8(L"\u00e9", false, stream);
    EXPECT_EQ(stream.str(), std::wstring({0xC3, 0xA9}));
    WriteUtf8(L"", true, stream);
    EXPECT_EQ(stream.str(), std::wstring({0xC3, 0xA9, L'\n'}));
    WriteUtf8(L"x", true, stream);
    EXPECT_EQ(stream.str(), std::wstring({0xC3, 0xA9, L'\n', L'x', L'\n'}));
}

} // namespace
