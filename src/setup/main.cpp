#include <windows.h>

#include "setup/SetupCommand.h"

// The installer starts this program with a verb and the quoted installation folder. The whole
// task comes from GetCommandLineW, so none of WinMain's arguments is used.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return RunSetup(GetCommandLineW());
}
