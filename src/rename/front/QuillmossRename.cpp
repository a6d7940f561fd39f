// QuillmossRename.exe: renames files from the command line through the bulk-rename engine.
#include <windows.h>

#include <cstdio>

#include "rename/front/RenameFront.h"

int main()
{
    return RunGuarded([] { return RunRenameProgram(SplitArguments(GetCommandLineW())); }, stderr);
}
