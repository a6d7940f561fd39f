#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// The empty files GetTempFileNameW makes to reserve the temporary names of a group: every one
// not yet released (a file has moved onto its name) is removed when the owner goes out of scope,
// so that no way out of a group leaves one behind. Room for the whole group is taken up front:
// once the system has made a placeholder, recording it cannot fail.
class PlaceholderFiles {
public:
    explicit PlaceholderFiles(std::size_t count) : names(count) {}
    ~PlaceholderFiles()
    {
        for (std::size_t k = released; k < made; ++k) {
            DeleteFileW(names[k].data());
        }
    }

    PlaceholderFiles(const PlaceholderFiles&) = delete;
    PlaceholderFiles& operator=(const PlaceholderFiles&) = delete;

    // Makes the next placeholder in `folder`; false when the system cannot.
    bool Make(const std::wstring& folder)
    {
        if (made == names.size() || GetTempFileNameW(folder.c_str(), L"qmstmp", 0, names[made].data()) == 0) {
            return false;
        }
        ++made;
        return true;
    }

    std::wstring Path(std::size_t k) const { return names[k].data(); }

    // Placeholder `k`, and every one before it, is no longer to be removed.
    void Release(std::size_t k) { released = k + 1; }

    // Removes placeholder `k` at once (the shell refused to), and releases it.
    void Remove(std::size_t k)
    {
        DeleteFileW(names[k].data());
        Release(k);
    }

private:
    std::vector<std::array<wchar_t, MAX_PATH>> names;
    std::size_t made = 0;
    std::size_t released = 0;
};
