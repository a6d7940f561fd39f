#pragma once

#include <string>
#include <vector>

// Paths in the order the caller added them.
using PathList = std::vector<std::wstring>;
