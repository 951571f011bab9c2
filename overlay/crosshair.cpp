#include "overlay/crosshair.h"

#include "discovery/probing.h"

void DrawCrosshair(HWND window, FrameKind kind) {
    RECT frame;
    if (!GetClientRect(window, &frame)) return;
    frame.right = kind == FRAME_LPI ? LPI_FRAME_WIDTH : DSI_FRAME_WIDTH;
    frame.bottom = kind == FRAME_LPI ? LPI_FRAME_HEIGHT : DSI_FRAME_HEIGHT;

    HDC dc = GetDC(window);
    if (!dc) return;
    HGDIOBJ pen = GetStockObject(WHITE_PEN);
    if (pen) {
        POINT center = CenterOf(frame);
        const POINT points[4] = {
            {center.x, frame.top}, {center.x, frame.bottom},  // vertical
            {frame.left, center.y}, {frame.right, center.y},  // horizontal
        };
        const DWORD counts[2] = {2, 2};
        // Without the white pen in place the cross would come out in
        // whatever pen the context holds, so nothing is drawn then.
        HGDIOBJ previous = SelectObject(dc, pen);
        if (previous) {
            PolyPolyline(dc, points, counts, 2);
            SelectObject(dc, previous);
        }
    }
    ReleaseDC(window, dc);
}
