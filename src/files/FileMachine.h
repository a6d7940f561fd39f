#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "files/QuillmossElement.h"

// A snapshot of one path, taken when the record is built: the path split into its parts by text
// rules alone (so folder and extension are there even when nothing exists at the path), and the
// entry's times, size or entry count and kind as the file system reported them.
class FileMachine : public QuillmossElement {
public:
    FileMachine(HWND owner, const std::wstring& entryPath);

    void GetPath(std::wstring& out) const;
    void GetFolder(std::wstring& out) const;
    void GetExtension(std::wstring& out) const;

    std::wstring path;
    std::wstring name;
    std::wstring baseName;
    // After the last dot of the whole path, A-Z lower-cased; empty without a dot.
    std::wstring extension;
    // Before the last backslash, without it.
    std::wstring folder;
    std::wstring pathWithoutExtension;
    // UTC, as FormatFileTime text; empty when the look-up failed.
    std::wstring creationTime;
    std::wstring lastAccessTime;
    // A file's size in bytes, or a folder's number of entries (not recursive); 0 when the
    // look-up failed.
    std::uint64_t sizeOrCount = 0;
    bool isFile = false;

private:
    void Populate();
};

// The size of a file, or the number of entries of a folder other than "." and "..". Writes a
// diagnostic line and returns 0 when the path cannot be looked up.
std::uint64_t GetSizeOrEntryCount(const std::wstring& entryPath);

// The extension a record of `path` has: the text after the last dot of the whole path, A-Z
// lower-cased; empty without a dot.
std::wstring ExtensionOf(const std::wstring& path);
