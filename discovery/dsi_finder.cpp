// The DSI program's top-level window is titled "AutoStar Envisage" and is
// told from the Envisage program's by the first module of its process, its
// own executable, whose name contains "DSI". Its live view lies three levels
// down under the middle of each parent, possibly behind one "Help" window
// whose next sibling is then the video window itself.
#include "discovery/finders.h"
#include "discovery/probing.h"
#include "discovery/process_filter.h"

#include <cstring>

BOOL CALLBACK DsiProcessFilter(HWND window, LPARAM slot) {
    HANDLE snapshot = OpenEnvisageTitledSnapshot(window);
    if (!snapshot) return TRUE;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    bool matches = Module32First(snapshot, &entry) && ModuleNameContains(entry, "DSI");
    CloseHandle(snapshot);
    if (!matches) return TRUE;
    *reinterpret_cast<HWND*>(slot) = window;
    return FALSE;
}

HWND FindDsiLiveWindow() {
    HWND top = nullptr;
    EnumWindows(DsiProcessFilter, reinterpret_cast<LPARAM>(&top));
    if (!top) return nullptr;
    HWND c = DescendByCenters(top, CENTER_DESCENT_DEPTH);
    if (!c) return nullptr;

    char caption[CAPTION_BUFFER_SIZE];
    ReadCaption(c, caption, CAPTION_CAPACITY);
    if (std::strcmp(caption, "Help") == 0) {
        // The sibling is the video window; its caption is not looked at.
        c = GetWindow(c, GW_HWNDNEXT);
        if (!c) return nullptr;
    }
    return IsVideoSized(c) ? c : nullptr;
}
