// QuillmossRename.exe: renames files from the command line through the bulk-rename engine.
#include <windows.h>

#include <cstdio>

#include "bulkrename/RenameFront.h"

int main()
{
    return RunGuarded([] { return RunRenameProgram(SplitArguments(GetCommandLineW())); }, stderr);
}
