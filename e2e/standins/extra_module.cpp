// An empty module, built under names the process filters look for
// (envisage_core.dll, dsi_extra.dll), for stand-ins to load after their own
// executable so that the module is not the first of the process.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
