#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A file that keeps its old name (it has no new path) goes back to that name, so no other file
// may take it: that file keeps its own old name too, which a third may have been given, and so
// on. Clears, in `newPaths`, the new path of every file that would take the old path (in
// `oldPaths`, at the same position) of a file that keeps it, until none does; paths compare
// without case. Returns the positions it cleared, in the order it found them.
std::vector<std::size_t> KeepOldNamesFree(std::vector<std::wstring>& newPaths, const std::vector<std::wstring>& oldPaths);
