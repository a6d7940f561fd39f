#include "rename/OverwriteQuestion.h"

#include "files/DeleteFileOperation.h"

std::int32_t AskToReplaceTakenPaths(HWND owner, const std::vector<std::wstring>& takenPaths,
                                    const StepAnnouncer& announcer)
{
    if (takenPaths.empty()) {
        return 0;
    }
    const int answer = MessageBoxW(owner,
                                   L"Some files already exist with some of the destination file names.\n"
                                   L"Do you want to overwrite?!\n"
                                   L"(The existing files will be sent to the recycle bin)",
                                   L"Warning!", MB_ICONWARNING | MB_YESNO);
    if (answer != IDYES) {
        return -2;
    }
    if (announcer.Observed()) {
        std::vector<RenameObserver::StepPaths> steps;
        steps.reserve(takenPaths.size());
        for (const std::wstring& takenPath : takenPaths) {
            steps.push_back({takenPath, {}});
        }
        if (!announcer.AnnounceRun(RenameObserver::Step::Recycle, steps)) {
            return -1;
        }
    }
    for (const std::wstring& takenPath : takenPaths) {
        if (!announcer.Announce(RenameObserver::Step::Recycle, takenPath, {})) {
            return -1;
        }
        DeleteFileOperation recycle(owner, takenPath.c_str(), false, true, true);
        const bool recycled = recycle.Execute();
        announcer.Report(RenameObserver::Step::Recycle, takenPath, {}, recycled);
        if (!recycled) {
            return -1;
        }
    }
    return 0;
}
