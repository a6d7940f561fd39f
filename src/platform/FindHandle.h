#pragma once

#include <windows.h>

// Owns a search handle of FindFirstFileW and closes it with FindClose on every path out.
class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : ownedHandle(handle) {}
    ~FindHandle()
    {
        if (IsValid()) {
            FindClose(ownedHandle);
        }
    }

    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    HANDLE Get() const { return ownedHandle; }
    bool IsValid() const { return ownedHandle != INVALID_HANDLE_VALUE; }

private:
    HANDLE ownedHandle;
};
