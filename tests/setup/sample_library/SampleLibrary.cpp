// Stands in for the product's Quillmoss.dll: registering it records the command line of the
// process that loaded it (regsvr32's), so a test can see exactly which command was started.
#include <windows.h>

namespace {

constexpr const wchar_t* key = L"Software\\Quillmoss\\SampleLibrary";

void RecordCommandLine(const wchar_t* valueName, const wchar_t* staleValueName)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    const wchar_t* commandLine = GetCommandLineW();
    RegSetValueExW(handle, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine),
                   static_cast<DWORD>((static_cast<size_t>(lstrlenW(commandLine)) + 1) * sizeof(wchar_t)));
    RegDeleteValueW(handle, staleValueName);
    RegCloseKey(handle);
}

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    RecordCommandLine(L"RegisteredBy", L"UnregisteredBy");
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    RecordCommandLine(L"UnregisteredBy", L"RegisteredBy");
    return S_OK;
}
