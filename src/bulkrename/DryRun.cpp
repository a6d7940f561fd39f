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
#include "rename/PathResolver.h"
#include "rename/PathSpelling.h"
#include "bulkrename/RenameFront.h"

namespace {

// The longest name GetTempFileNameW makes from the prefix "qmstmp": "qms" and four hex digits.
// NOLINTNEXTLINE(cert-err58-cpp): failing to allocate before main ends the program before it touches a file.
const std::wstring longestTemporaryName = L"qmsffff.tmp";

using Fate = RenamePrediction::Fate;

// The batch as the run would hold it: which sources were moved aside, by resolved path.
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

    // `path` as the run holds it once everything moved: every folder of it that was moved aside
    // under a temporary name. Only its length and dots matter, so the longest name stands in.
    std::wstring Held(const std::wstring& path) const
    {
        std::size_t end = path.find(L'\\', 2);
        std::wstring held = path.substr(0, end);
        std::size_t source = 0;
        for (std::size_t start = end; start != std::wstring::npos; start = end) {
            end = path.find(L'\\', start + 1);
            const bool folderMoved = end != std::wstring::npos && Find(path.substr(0, end), source);
            held += folderMoved ? L"\\" + longestTemporaryName : path.substr(start, end - start);
        }
        return held;
    }

    // Every source moved aside inside the folder `path`.
    std::vector<std::size_t> Inside(const std::wstring& path) const
    {
        std::vector<std::size_t> inside;
        const std::wstring key = CaseFolded(path);
        const auto last = positions.lower_bound(key + L"]");
        for (auto it = positions.lower_bound(key + L"\\"); it != last; ++it) {
            if (IsInsideFolder(it->first, key)) {
                inside.push_back(it->second);
            }
        }
        return inside;
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

    // Phase 1: each existing source moves aside, taking everything inside it along.
    MovedAside moved;
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
        // Files moved aside inside a folder follow it under its temporary name; the folder stays
        // when one of their paths would outgrow the shell's limit.
        const std::size_t growth = folder.size() + 1 + longestTemporaryName.size();
        bool inReach = true;
        for (const std::size_t inside : moved.Inside(resolved[i])) {
            const std::wstring held = moved.Held(resolved[inside]);
            const std::size_t longest = std::max(held.size(), FolderOf(held).size() + 1 + longestTemporaryName.size());
            inReach = inReach && longest - resolved[i].size() + growth <= longestShellPath;
        }
        if (!inReach) {
            prediction.files[i] = {Fate::Refused, resolved[i], L"paths inside would grow too long"};
            ++failures;
            continue;
        }
        moved.Add(resolved[i], i);
        order.push_back(i);
    }

    // Phase 2: the letters, in the order the files moved; the paths something else holds.
    std::vector<std::wstring> leaves(paths.size());
    std::vector<std::wstring> newPaths(order.size());
    std::vector<std::wstring> oldPaths(order.size());
    for (std::size_t position = 0; position < order.size(); ++position) {
        const std::size_t i = order[position];
        RenamePrediction::File& file = prediction.files[i];
        oldPaths[position] = resolved[i];
        const std::wstring held = moved.Held(resolved[i]);
        const std::wstring extension = ExtensionOf(resolved[i]);
        const std::wstring newHeld =
            ReachableNewPath(FolderOf(held), static_cast<wchar_t>(L'A' + position % 26),
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
            // A folder there that holds files of the batch does not go to the recycle bin.
            if (!moved.Inside(newPath).empty()) {
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
