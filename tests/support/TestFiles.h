#pragma once

#include <functional>
#include <string>
#include <vector>

// A fresh, empty scratch folder for one test: C:\qm-tests\<name> (removed first if it exists).
std::wstring MakeScratchFolder(const std::wstring& name);

// A path for a file of the test's own in the system's temporary folder (not created).
std::wstring MakeTemporaryFilePath(const std::wstring& tag);

bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
void CreateFolder(const std::wstring& path);
void CopyFileTo(const std::wstring& from, const std::wstring& to);
// Removes a file or a whole folder tree for good (not through the recycle bin). A link in it is
// removed itself, never what it leads to.
void RemoveTree(const std::wstring& path);
// Makes `link` a second way to the existing folder `target`: a Unix symbolic link, which Wine
// shows as a folder that is a reparse point (as a junction is on Windows). False when it cannot.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
// Runs a program of the host under Wine (a Linux program such as "/bin/mkdir") with `options`,
// then the host's spelling of each of `paths`, and waits, up to a bound, until `done` holds:
// Wine gives no handle that waits for a host program, nor its exit code. For what Windows calls
// cannot make on a case-sensitive host, such as two names that differ in case only.
bool RunHostCommand(const std::wstring& program, const std::vector<std::wstring>& options,
                    const std::vector<std::wstring>& paths, const std::function<bool()>& done);
// Whether `path` is a link or junction (a reparse point): a walk of a tree does not enter it.
bool IsLink(const std::wstring& path);
// The names in a folder, "." and ".." left out, sorted.
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// The Linux path of a Windows path, as Wine maps it (for tests that look at the Trash).
std::string ToUnixPath(const std::wstring& windowsPath);
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// The recycle bin as Wine keeps it: the freedesktop Trash under XDG_DATA_HOME, seen through Z:.
std::wstring TrashFilesFolder();
std::wstring TrashInfoFolder();
// The original (Linux) path of a trashed item, read from its .trashinfo file (empty if none).
std::string TrashedItemOrigin(const std::wstring& trashedName);

// Empties the test run's recycle bin.
void ClearTrash();
// The names of the renamer's temporary files (qms*.tmp) in a folder.
std::vector<std::wstring> TemporaryFilesIn(const std::wstring& folder);
