#include "overlay/overlay_pass.h"

#include "discovery/finders.h"
#include "overlay/crosshair.h"

bool OverlayLpi() {
    HWND window = FindLpiLiveWindow();
    if (!window) return false;
    DrawCrosshair(window, FRAME_LPI);
    return true;
}

bool OverlayEnvisage() {
    HWND list[ENVISAGE_LIST_SIZE];
    int count = FindEnvisageLiveWindows(list);
    if (count == 0) return false;
    for (int i = 0; i < count; ++i) DrawCrosshair(list[i], FRAME_DSI);
    return true;
}

bool OverlayDsi() {
    HWND window = FindDsiLiveWindow();
    if (!window) return false;
    DrawCrosshair(window, FRAME_DSI);
    return true;
}

void RunOverlayPass() {
    OverlayLpi();
    OverlayEnvisage();
    OverlayDsi();
}
