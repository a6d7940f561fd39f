#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "rename/OperationResult.h"
#include "rename/PathList.h"

// What the alphabetical rename of a batch would do, found without touching anything: the same
// rules, in the same order, as the run (one spelling per path, the open-file probe, sources gone
// with a folder moved before them, the letters, new paths no rename can reach, paths taken by
// something outside the batch or by a folder holding files of it, folders whose contents would
// grow past the shell's limit). What it cannot know: a step the system refuses on the day (a file
// opened after the probe, a full disk, a recycle that fails), and, inside a folder of the batch,
// how long the temporary name the system will pick is; it assumes the longest.
struct RenamePrediction {
    enum class Fate { Renamed, Missing, Refused };
    struct File {
        Fate fate = Fate::Missing;
        // Renamed: where the file ends; Refused: where it stays.
        std::wstring finalPath;
        // Refused: why.
        std::wstring reason;
    };

    // One entry per source, in order; empty when the batch stops before anything moves.
    std::vector<File> files;
    // New paths that something outside the batch holds, in the order the question lists them.
    std::vector<std::wstring> taken;
    // What stops the batch, if anything: a source no folder holds, the first source open
    // elsewhere, a source that cannot be moved aside (and why).
    std::wstring unplaced;
    std::wstring open;
    std::wstring cannotMoveAside;
    std::wstring cannotMoveAsideReason;
    // The result of the run; after Yes to the question when `taken` is not empty.
    OperationResult result;
    // The result after No (only when `taken` is not empty).
    OperationResult declined;
};

RenamePrediction PredictRename(const PathList& paths);

// The prediction file by file ("OLD -> NEW", "missing: PATH", "refused: PATH (why)"), then
// "taken: PATH" lines and the summary line the run would end with.
void WriteDryRun(const PathList& paths, const RenamePrediction& prediction, std::wostream& stream);
