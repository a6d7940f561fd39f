#pragma once

#include <string>

#include "rename/PathSpelling.h"

#include "rename/journal/JournalReader.h"

// The rules every record the writer makes keeps, for a reader that must not act on a journal
// someone else wrote: a journal lives in a folder its user can write to, and a recovery moves
// what it says.

// A full path in the renamer's one spelling: "X:\" or "\\server\share\", then names separated by
// single backslashes; no device or "\\?\" prefix, no "." or ".." and no name the system would
// spell otherwise (a trailing dot or blank), no character a name cannot hold (controls,
// < > : " / | ? *), no trailing backslash.
bool IsJournalPath(const std::wstring& path);

// Why `step` is not one the writer makes; empty when it is.
std::wstring BrokenRule(const JournalStep& step);
