// The Meade LPI program shows its live view three levels below its
// top-level window, in a window captioned "Live" that sits under the middle
// of its parent, sometimes behind a "Help" window that covers it. The video
// itself is the child of "Live" under the middle of the parent's area.
#include "discovery/finders.h"
#include "discovery/probing.h"

#include <cstring>

HWND FindLpiLiveWindow() {
    HWND top = FindWindowA(nullptr, "Meade LPI");
    if (!top) return nullptr;
    // b is kept: the video is hit-tested at the middle of its area.
    HWND b = DescendByCenters(top, CENTER_DESCENT_DEPTH - 1);
    if (!b) return nullptr;
    HWND c = ChildAtCenter(b);
    if (!c) return nullptr;

    char caption[CAPTION_BUFFER_SIZE];
    ReadCaption(c, caption, CAPTION_CAPACITY);
    if (std::strcmp(caption, "Help") == 0) {
        // Only one "Help" window is stepped over.
        c = GetWindow(c, GW_HWNDNEXT);
        if (!c) return nullptr;
        ReadCaption(c, caption, CAPTION_CAPACITY);
    }
    if (std::strcmp(caption, "Live") != 0) return nullptr;

    // The video is hit-tested in "Live" at the middle of b's area, not its own.
    RECT parentArea;
    if (!GetClientRect(b, &parentArea)) return nullptr;
    HWND video = ChildWindowFromPoint(c, CenterOf(parentArea));
    if (!video || !IsVideoSized(video)) return nullptr;
    return video;
}
