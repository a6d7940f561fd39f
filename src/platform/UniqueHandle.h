#pragma once

#include <windows.h>

// Owns one kernel object handle (process, thread, file) and closes it when it goes out of
// scope, so that no return path leaks it. Both "no handle" values of the API count as empty.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : ownedHandle(handle) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : ownedHandle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }

    HANDLE Get() const { return ownedHandle; }
    bool IsValid() const { return ownedHandle != nullptr && ownedHandle != INVALID_HANDLE_VALUE; }

    HANDLE Release()
    {
        HANDLE handle = ownedHandle;
        ownedHandle = nullptr;
        return handle;
    }

    void Reset(HANDLE handle = nullptr)
    {
        if (IsValid()) {
            CloseHandle(ownedHandle);
        }
        ownedHandle = handle;
    }

private:
    HANDLE ownedHandle = nullptr;
};
