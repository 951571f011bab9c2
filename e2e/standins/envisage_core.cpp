// A module whose name carries "envisage", loaded by the Envisage stand-in
// after its own executable so that it is not the first module of the process.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
