#include "bulkrename/DryRun.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <map>

#include "diagnostics/DiagnosticStream.h"
#include "files/FileMachine.h"
#include "files/FileOperation.h"
#include "rename/FilesRenamer.h"
#include "rename/FilesRenamerAlphabetize.h"
#include "rename/KeptNames.h"
#include "rename/MovedFiles.h"
#include "rename/PathResolver.h"
#include "rename/PathSpelling.h"
#include "bulkrename/RenameFront.h"

namespace {

// A temporary name as long as the longest GetTempFileNameW makes from the prefix "qmstmp" ("qms"
// and four hex digits), and for a batch of up to 65,536 files, another for every file moved.
std::wstring StandInTemporaryName(std::size_t position)
{
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring name = L"qms0000.tmp";
    for (std::size_t digit = 0; digit < 4; ++digit) {
        name[6 - digit] = digits[(position >> (4 * digit)) & 0xF];
    }
    return name;
}

using Fate = RenamePrediction::Fate;

// Which sources the run would move aside, by the path each had when the batch began.
class MovedAside {
public:
    void Add(const std::wstring& path, std::size_t source) { positions.emplace(CaseFolded(path), source); }

    // The source moved aside at exactly `path`, or none.
    bool Find(const std::wstring& path, std::size_t& source) const
    {
        const auto it = positions.find(CaseFolded(path));
        if (it == positions.end()) {
            return false;
        }
        source = it->second;
        return true;
    }

    // Whether `path` or a folder holding it was moved aside.
    bool Covers(const std::wstring& path) const
    {
        std::size_t source = 0;
        for (std::wstring at = path; !at.empty(); at = FolderOf(at)) {
            if (Find(at, source)) {
                return true;
            }
        }
        return false;
    }

    // The nearest folder of `path` that was moved aside, if any.
    bool NearestFolder(const std::wstring& path, std::wstring& folder, std::size_t& source) const
    {
        for (folder = FolderOf(path); !folder.empty(); folder = FolderOf(folder)) {
            if (Find(folder, source)) {
                return true;
            }
        }
        return false;
    }

private:
    std::map<std::wstring, std::size_t> positions;
};

void SetFailures(OperationResult& result, std::int32_t sources, std::int32_t failures)
{
    if (failures == 0) {
        SetOperationResult(result, Succeeded, FilesRename, L"", sources, 0);
        return;
    }
    const std::wstring message = std::to_wstring(failures) + L" files failed to rename.";
    SetOperationResult(result, SomeFilesFailed, FilesRename, message.c_str(), sources - failures, failures);
}

void SetUnexpectedError(OperationResult& result)
{
    SetOperationResult(result, UnexpectedError, FilesRename, L"An unexpected error occured.", 0, 0);
}

} // namespace

RenamePrediction PredictRename(const PathList& paths)
{
    RenamePrediction prediction;
    const auto sourceCount = static_cast<std::int32_t>(paths.size());

    std::vector<std::wstring> resolved(paths.size());
    PathResolver resolver;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!resolver.Resolve(paths[i], resolved[i])) {
            prediction.unplaced = paths[i];
            SetUnexpectedError(prediction.result);
            return prediction;
        }
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (IsFileLocked(resolved[i])) {
            prediction.open = paths[i];
            SetOperationResult(prediction.result, FilesOpen, FilesRename,
                               L"Some of the files are open.\nCan't complete rename operation.", 0, sourceCount);
            return prediction;
        }
    }

    // Phase 1: each existing source moves aside, taking everything inside it along. The run's
    // record of the moved files is kept as the run keeps it, a temporary name of the longest
    // length standing in for each one the system will pick.
    MovedAside moved;
    std::vector<std::wstring> temporaryNames;
    std::vector<std::wstring> oldNames;
    MovedFiles movedFiles(temporaryNames, oldNames);
    std::vector<std::size_t> order;
    prediction.files.resize(paths.size());
    std::int32_t failures = 0;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!PathFileExistsW(resolved[i].c_str()) || moved.Covers(resolved[i])) {
            ++failures;
            continue;
        }
        const std::wstring folder = FolderOf(resolved[i]);
        const wchar_t* stop = !CanHoldTemporaryNames(folder)         ? L"its folder is too long for temporary names"
                              : resolved[i].size() > longestShellPath ? L"its path is longer than the shell accepts"
                                                                      : nullptr;
        if (stop != nullptr) {
            prediction.files.clear();
            prediction.cannotMoveAside = paths[i];
            prediction.cannotMoveAsideReason = stop;
            SetUnexpectedError(prediction.result);
            return prediction;
        }
        std::wstring temporaryPath = folder + L"\\" + StandInTemporaryName(order.size());
        if (!movedFiles.KeepsInReach(resolved[i], temporaryPath, longestShellPath)) {
            prediction.files[i] = {Fate::Refused, resolved[i], L"paths inside would grow too long"};
            ++failures;
            continue;
        }
        moved.Add(resolved[i], i);
        order.push_back(i);
        oldNames.push_back(resolved[i]);
        temporaryNames.push_back(std::move(temporaryPath));
        movedFiles.Added();
    }

    // Phase 2: the letters, in the order the files moved; the paths something else holds.
    std::vector<std::wstring> leaves(paths.size());
    std::vector<std::wstring> newPaths(order.size());
    std::vector<std::wstring> oldPaths(order.size());
    for (std::size_t position = 0; position < order.size(); ++position) {
        const std::size_t i = order[position];
        RenamePrediction::File& file = prediction.files[i];
        oldPaths[position] = resolved[i];
        const std::wstring extension = ExtensionOf(resolved[i]);
        const std::wstring newHeld =
            ReachableNewPath(FolderOf(oldNames[position]), static_cast<wchar_t>(L'A' + position % 26),
                             static_cast<std::uint32_t>(position / 26 + 1), extension);
        if (newHeld.empty()) {
            file.fate = Fate::Refused;
            file.reason = extension.find(L'\\') != std::wstring::npos ? L"its extension lies in a folder name"
                                                                      : L"its new path would be too long";
            leaves[i] = resolved[i].substr(resolved[i].rfind(L'\\'));
            ++failures;
            continue;
        }
        const std::wstring newLeaf = newHeld.substr(newHeld.rfind(L'\\'));
        const std::wstring newPath = FolderOf(resolved[i]) + newLeaf;
        std::size_t source = 0;
        if (PathFileExistsW(newPath.c_str()) && !moved.Find(newPath, source)) {
            // A folder there that holds files of the batch does not go to the recycle bin, nor a
            // link that leads to one.
            std::wstring target;
            const bool linkHolds =
                LinkTargetOf(newPath, target) && std::any_of(order.begin(), order.end(), [&](std::size_t k) {
                    return IsInsideFolder(resolved[k], target);
                });
            if (movedFiles.HoldsAny(newHeld) || linkHolds) {
                file.fate = Fate::Refused;
                file.reason = L"a folder holding files of the batch stands at its new path";
                leaves[i] = resolved[i].substr(resolved[i].rfind(L'\\'));
                ++failures;
                continue;
            }
            prediction.taken.push_back(newPath);
        }
        file.fate = Fate::Renamed;
        leaves[i] = newLeaf;
        newPaths[position] = newPath;
    }
    for (const std::size_t position : KeepOldNamesFree(newPaths, oldPaths)) {
        const std::size_t i = order[position];
        prediction.files[i] = {Fate::Refused, {}, L"a file that keeps its name holds its new path"};
        leaves[i] = resolved[i].substr(resolved[i].rfind(L'\\'));
        ++failures;
    }

    // Phase 3: a folder of the batch takes its new name after everything inside it, so where a
    // file ends is known once its folders' ends are: walk back from the last file moved.
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        RenamePrediction::File& file = prediction.files[*it];
        std::wstring folder;
        std::size_t source = 0;
        if (moved.NearestFolder(resolved[*it], folder, source)) {
            const std::size_t oldLeaf = resolved[*it].rfind(L'\\');
            file.finalPath = prediction.files[source].finalPath +
                             resolved[*it].substr(folder.size(), oldLeaf - folder.size()) + leaves[*it];
        } else {
            file.finalPath = FolderOf(resolved[*it]) + leaves[*it];
        }
    }

    SetFailures(prediction.result, sourceCount, failures);
    if (!prediction.taken.empty()) {
        SetOperationResult(prediction.declined, UserDeclined, FilesRename, L"", 0, sourceCount);
    }
    return prediction;
}

void WriteDryRun(const PathList& paths, const RenamePrediction& prediction, std::wostream& stream)
{
    const auto line = [&stream](const wchar_t* label, const std::wstring& path) {
        stream << label;
        WriteUtf8(path, true, stream);
    };
    if (!prediction.unplaced.empty()) {
        line(L"no folder holds: ", prediction.unplaced);
    }
    if (!prediction.open.empty()) {
        line(L"open: ", prediction.open);
    }
    if (!prediction.cannotMoveAside.empty()) {
        stream << L"cannot move aside: ";
        WriteUtf8(prediction.cannotMoveAside + L" (" + prediction.cannotMoveAsideReason + L")", true, stream);
    }
    for (std::size_t i = 0; i < prediction.files.size(); ++i) {
        const RenamePrediction::File& file = prediction.files[i];
        switch (file.fate) {
        case Fate::Renamed:
            WriteUtf8(paths[i], false, stream);
            line(L" -> ", file.finalPath);
            break;
        case Fate::Missing: line(L"missing: ", paths[i]); break;
        case Fate::Refused:
            stream << L"refused: ";
            WriteUtf8(paths[i], false, stream);
            stream << L" (";
            WriteUtf8(file.reason, false, stream);
            stream << L")" << std::endl;
            break;
        }
    }
    for (const std::wstring& path : prediction.taken) {
        line(L"taken: ", path);
    }
    const auto summary = [&stream](const wchar_t* label, const OperationResult& result) {
        stream << label;
        const std::string text = SummaryLine(result);
        WriteUtf8(std::wstring(text.begin(), text.end()), true, stream);
    };
    if (prediction.taken.empty()) {
        summary(L"would end: ", prediction.result);
    } else {
        summary(L"would ask once; after Yes: ", prediction.result);
        summary(L"after No: ", prediction.declined);
    }
}
