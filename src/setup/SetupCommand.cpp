#include "setup/SetupCommand.h"

#include <windows.h>
#include <shlobj.h>

#include "setup/ProductDataFolder.h"
#include "setup/RegistrationTool.h"

namespace {

constexpr std::wstring_view libraryNameAndQuote = L"Quillmoss.dll\"";

// The installer removes the library as soon as this program has ended after "/Uninstall" or
// "Rollback": unregistering must be over by then, or regsvr32 finds no library to unregister.
// Bounded, so that a tool that never ends cannot hold the installer forever.
constexpr DWORD unregisterWaitMilliseconds = 60000;

} // namespace

bool IsInstallVerb(std::wstring_view verb)
{
    return verb == L"/Install";
}

std::wstring BuildRegistrationCommand(const CommandLineTokens& tokens)
{
    std::wstring folder = tokens.folder;
    if (!folder.empty()) {
        folder.pop_back();
    }

    std::wstring command;
    if (IsInstallVerb(tokens.verb)) {
        command = L"regsvr32 /s ";
    } else if (tokens.verb == L"/Uninstall" || tokens.verb == L"Rollback") {
        command = L"regsvr32 /s /u ";
    } else {
        return command;
    }
    command += folder;
    command += libraryNameAndQuote;
    return command;
}

int RunSetup(std::wstring_view commandLine)
{
    const CommandLineTokens tokens = SplitCommandLine(commandLine);
    if (IsInstallVerb(tokens.verb)) {
        GetProductDataFolder();
    }
    const std::wstring command = BuildRegistrationCommand(tokens);
    if (!command.empty()) {
        // Registering is left to run on: nothing removes the library after "/Install".
        StartRegistrationTool(command, IsInstallVerb(tokens.verb) ? 0 : unregisterWaitMilliseconds);
    }
    // Sent after every verb, recognised or not, without waiting for regsvr32.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return 0;
}
