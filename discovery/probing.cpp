#include "discovery/probing.h"

POINT CenterOf(const RECT& rect) {
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

HWND ChildAtCenter(HWND window) {
    RECT client;
    if (!GetClientRect(window, &client)) return nullptr;
    return ChildWindowFromPoint(window, CenterOf(client));
}

HWND DescendByCenters(HWND window, int levels) {
    for (int level = 0; level < levels && window; ++level) window = ChildAtCenter(window);
    return window;
}

bool IsVideoSized(HWND window) {
    RECT client;
    if (!GetClientRect(window, &client)) return false;
    return client.right - client.left >= MIN_VIDEO_WIDTH &&
           client.bottom - client.top >= MIN_VIDEO_HEIGHT;
}

void ReadCaption(HWND window, char* buffer, int capacity) {
    buffer[0] = '\0';
    GetWindowTextA(window, buffer, capacity);
}
