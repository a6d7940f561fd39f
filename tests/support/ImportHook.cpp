#include "support/ImportHook.h"

namespace {

void WriteSlot(void** slot, void* value)
{
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), protection, &protection);
}

} // namespace

ImportHook::ImportHook(const char* dll, const char* function, void* replacement)
{
    Install(dll, function, 0, replacement);
}

ImportHook::ImportHook(const char* dll, WORD ordinal, void* replacement)
{
    Install(dll, nullptr, ordinal, replacement);
}

ImportHook::~ImportHook()
{
    if (slot != nullptr) {
        WriteSlot(slot, original);
    }
}

void ImportHook::Install(const char* dll, const char* function, WORD ordinal, void* replacement)
{
    auto* const base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    // One DLL may have several descriptors (MinGW's import libraries make one each).
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + descriptor->Name), dll) != 0) {
            continue;
        }
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
            base + (descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk : descriptor->FirstThunk));
        auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            const bool byOrdinal = IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal);
            const bool match =
                function == nullptr
                    ? byOrdinal && IMAGE_ORDINAL(names->u1.Ordinal) == ordinal
                    : !byOrdinal && lstrcmpA(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
                                                 base + names->u1.AddressOfData)->Name,
                                             function) == 0;
            if (match) {
                slot = reinterpret_cast<void**>(&addresses->u1.Function);
                original = *slot;
                WriteSlot(slot, replacement);
                return;
            }
        }
    }
}
