// Sends only the association-changed event. Under Wine that event itself starts a helper
// process, so the tests learn from this program how many processes the event alone accounts for.
#include <windows.h>
#include <shlobj.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return 0;
}
