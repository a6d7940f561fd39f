#pragma once

#include <string>

// How the bulk renamer spells, compares and rebases paths. A person may name one file in many
// ways ("C:\D\X/f.txt", "..\X\f.txt", "C:\D\X\F.TXT.", "C:\D\LONGNA~1\f.txt", "\\?\C:\D\X\f.txt");
// the renamer works on one spelling of each, so that a file's folder is the folder the file is in
// and two spellings of one folder are one folder.

// The one spelling: the full path (relative paths, "." and "..", "/" separators and the trailing
// dots and blanks of names resolved as the system resolves them), no trailing separator, short
// names of an existing entry expanded (a long name keeps the case it was given in: names
// compare without case), and a "\\?\"
// or "\\.\" prefix dropped where the same path can be written without it. False when the path
// cannot be placed in a folder: empty, holding a NUL, a drive or share root, a device, not
// resolvable, or holding a name the system would not keep as written (see IsPlainName), which no
// step could then be sure to reach.
bool ResolvePath(const std::wstring& path, std::wstring& resolved);

// Whether the system keeps `name` as written in a folder: not empty, "." or "..", no trailing
// dot or blank (the system would drop them), no control character and none of < > : " / | ? * \.
bool IsPlainName(const std::wstring& name);

// Whether the system takes a path ending in `name` for a device ("nul.txt" is NUL, "COM\u00b9" a
// port): no file has such a name, and a move to one would go to the device.
bool IsDeviceName(const std::wstring& name);

// A name GetTempFileNameW makes from the prefix "qmstmp": "qms", one to four hex digits, ".tmp".
bool IsTemporaryName(const std::wstring& name);

// The text before the last backslash; empty without one.
std::wstring FolderOf(const std::wstring& path);

// The text after the last backslash; the whole path without one.
std::wstring NameOf(const std::wstring& path);

// Upper-cased as the file system compares names, for use as a key.
std::wstring CaseFolded(std::wstring path);

// Whether two resolved paths name the same entry (the file system compares names without case).
bool SamePath(const std::wstring& first, const std::wstring& second);

// Whether the resolved `path` lies in `folder` or below it.
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);

// `path`, which lies in `from` or is `from`, with that leading folder replaced by `to`.
std::wstring Rebased(const std::wstring& path, const std::wstring& from, const std::wstring& to);
