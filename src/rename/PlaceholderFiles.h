#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// The empty files GetTempFileNameW makes to reserve the temporary names of a group: every one
// not yet released (a file has moved onto its name) is removed when the group ends, so that no
// way out of a group leaves one behind. One that cannot be removed then (reached by another way
// to its folder, which has moved since) is tried again once the files are back.
// Room for the whole group is taken up front: once the system has made a placeholder, recording
// it cannot fail.
class PlaceholderFiles {
public:
    PlaceholderFiles() = default;
    ~PlaceholderFiles()
    {
        for (std::size_t k = released; k < made; ++k) {
            DeleteFileW(names[k].data());
        }
    }

    PlaceholderFiles(const PlaceholderFiles&) = delete;
    PlaceholderFiles& operator=(const PlaceholderFiles&) = delete;

    // Starts a group of up to `count` placeholders; the group before must have ended.
    void Begin(std::size_t count)
    {
        names.assign(count, {});
        made = 0;
        released = 0;
    }

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
        if (DeleteFileW(names[k].data()) == FALSE) {
            stuck.emplace_back(names[k].data());
        }
        Release(k);
    }

    // Ends the group: removes every placeholder not released.
    void End()
    {
        for (std::size_t k = released; k < made; ++k) {
            if (DeleteFileW(names[k].data()) == FALSE) {
                stuck.emplace_back(names[k].data());
            }
        }
        released = made;
    }

    // Tries again to remove those that could not be removed before, once every file is back
    // where it was (and so is the folder of each). Only an empty file is taken: whatever else
    // stands at such a name now is no placeholder.
    void RetryStuck()
    {
        std::vector<std::wstring> still;
        for (const std::wstring& name : stuck) {
            WIN32_FILE_ATTRIBUTE_DATA data{};
            const bool found = GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data) != FALSE;
            const bool empty = found && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                               data.nFileSizeLow == 0 && data.nFileSizeHigh == 0;
            if (empty && DeleteFileW(name.c_str()) == FALSE) {
                still.push_back(name);
            }
        }
        stuck.swap(still);
    }

private:
    std::vector<std::array<wchar_t, MAX_PATH>> names;
    std::size_t made = 0;
    std::size_t released = 0;
    // Placeholders that could not be removed when their group ended.
    std::vector<std::wstring> stuck;
};
