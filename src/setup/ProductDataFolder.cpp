#include "setup/ProductDataFolder.h"

#include <windows.h>
#include <shlobj.h>

#include <array>

std::wstring GetProductDataFolder()
{
    std::array<wchar_t, MAX_PATH> commonAppData{};
    SHGetSpecialFolderPathW(nullptr, commonAppData.data(), CSIDL_COMMON_APPDATA, TRUE);

    std::wstring path = commonAppData.data();
    path += L"\\Quillmoss\\";
    // Imported by ordinal 165: older shell32 builds export it under no name.
    SHCreateDirectory(nullptr, path.c_str());
    return path;
}
