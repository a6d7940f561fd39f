#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rename/FilesRenamer.h"

// Gives each file of a batch back a name it had: the undo of an earlier batch, through the same
// steps as any rename (the open-file probe, the move aside, one question before replacing what
// stands at a name, the put-back when a step fails). Only the name changes, never the folder: a
// folder of the batch takes its own name back as a member of it.
class FilesRenamerRestore : public FilesRenamer {
public:
    // `names[i]` is the name (no folder) that `paths[i]` takes back.
    FilesRenamerRestore(HWND owner, const PathList& paths, std::vector<std::wstring> names);

private:
    std::int32_t ComputeNewNames() override;

    std::vector<std::wstring> restoredNames;
};
