// A regsvr32.exe planted where a careless CreateProcessW search would find it before the
// system's own: it only records that it ran.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quillmoss\\SampleLibrary", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &handle, nullptr) == ERROR_SUCCESS) {
        const wchar_t* commandLine = GetCommandLineW();
        RegSetValueExW(handle, L"PlantedRan", 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine),
                       static_cast<DWORD>((static_cast<size_t>(lstrlenW(commandLine)) + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
    return 0;
}
