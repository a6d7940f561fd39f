#pragma once

#include <optional>
#include <string>

// Where the sample Quillmoss.dll of the tests records how it was (un)registered, under HKCU.
inline constexpr const wchar_t* sampleLibraryKey = L"Software\\Quillmoss\\SampleLibrary";

// A string value under HKEY_CURRENT_USER, if it exists.
std::optional<std::wstring> ReadUserValue(const std::wstring& key, const std::wstring& name);
void DeleteUserKey(const std::wstring& key);
