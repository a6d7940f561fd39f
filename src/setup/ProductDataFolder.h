#pragma once

#include <string>

// Creates "<common application data>\Quillmoss\" (and anything missing above it) and returns
// that path, ending in a backslash. Failures are ignored: the installer must not stop here.
std::wstring GetProductDataFolder();
