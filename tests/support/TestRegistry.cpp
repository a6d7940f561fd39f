#include "support/TestRegistry.h"

#include <windows.h>

#include <vector>

std::optional<std::wstring> ReadUserValue(const std::wstring& key, const std::wstring& name)
{
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buffer.data());
}

void DeleteUserKey(const std::wstring& key)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}
