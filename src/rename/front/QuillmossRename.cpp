// QuillmossRename.exe: renames files from the command line through the bulk-rename engine.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "diagnostics/DiagnosticStream.h"
#include "rename/OperationRunner.h"
#include "rename/front/RenameFront.h"

namespace {

std::vector<std::wstring> ProgramArguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    if (list == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.emplace_back(list[i]);
    }
    LocalFree(list);
    return arguments;
}

} // namespace

int main()
{
    RenameRequest request = ParseRenameRequest(ProgramArguments());
    switch (request.action) {
    case RenameRequest::Action::Help:
        std::fputs(RenameUsage(), stdout);
        return 0;
    case RenameRequest::Action::BadUsage: {
        const std::wstring units = ToUtf8Units(request.problem);
        const std::string problem(units.begin(), units.end());
        std::fprintf(stderr, "QuillmossRename: %s\n\n%s", problem.c_str(), RenameUsage());
        return 2;
    }
    case RenameRequest::Action::DryRun:
        WriteDryRun(request.paths, DiagnosticStream());
        return 0;
    case RenameRequest::Action::Rename:
        break;
    }

    OperationResult result;
    OperationRunner runner;
    runner.Alphabetize(result, request.paths);
    DiagnosticStream().flush();
    std::fprintf(stderr, "%s\n", SummaryLine(result).c_str());
    return result.statusCode;
}
