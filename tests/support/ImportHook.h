#pragma once

#include <windows.h>

// Replaces one entry of this program's own import table while it lives. The product's static
// libraries are linked into the test program and call the system through that table, so a test
// sees each such call, with every argument, before the real function runs.
class ImportHook {
public:
    // The import `function` of `dll` (compared without case), by name.
    ImportHook(const char* dll, const char* function, void* replacement);
    // The import of `dll` taken by ordinal.
    ImportHook(const char* dll, WORD ordinal, void* replacement);
    ~ImportHook();

    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    // The real function; null when the program does not import it.
    void* Original() const { return original; }

private:
    void Install(const char* dll, const char* function, WORD ordinal, void* replacement);

    void** slot = nullptr;
    void* original = nullptr;
};
