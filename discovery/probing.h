// The two probing rules every finder walks a capture program's window tree
// with: step to the window under the middle, and test for a video-sized one.
#pragma once

#include "discovery/platform.h"

// A video window is at least this large; both bounds are inclusive.
constexpr LONG MIN_VIDEO_WIDTH = 500;
constexpr LONG MIN_VIDEO_HEIGHT = 350;

// Caption reads in the descents: a 16-character buffer read with a
// capacity of 15, so at most 14 characters are compared.
constexpr int CAPTION_BUFFER_SIZE = 16;
constexpr int CAPTION_CAPACITY = 15;

// The middle of a rectangle, truncated toward zero.
POINT CenterOf(const RECT& rect);

// The child under the middle of the window's client area, the window itself
// when no child covers it, or none.
HWND ChildAtCenter(HWND window);

// Every capture program keeps the window the finders look at this many
// centre steps below its top-level window.
constexpr int CENTER_DESCENT_DEPTH = 3;

// Takes `levels` ChildAtCenter steps down from the window; none as soon as
// a step finds none.
HWND DescendByCenters(HWND window, int levels);

// Whether the window's client area is readable and at least video-sized.
bool IsVideoSized(HWND window);

// Reads a caption into an emptied buffer, so a window that vanished before
// the read leaves the empty caption rather than stale or unwritten bytes.
void ReadCaption(HWND window, char* buffer, int capacity);
