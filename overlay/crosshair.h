// The white cross painted straight into a capture program's video window.
#pragma once

#include "discovery/platform.h"

// The nominal video frame the cross is centred on.
enum FrameKind {
    FRAME_LPI,  // 640 x 480, centre (320, 240)
    FRAME_DSI,  // 648 x 489, centre (324, 244)
};

constexpr LONG LPI_FRAME_WIDTH = 640;
constexpr LONG LPI_FRAME_HEIGHT = 480;
constexpr LONG DSI_FRAME_WIDTH = 648;
constexpr LONG DSI_FRAME_HEIGHT = 489;

// Draws one vertical and one horizontal line through the frame's centre
// with the stock white pen. The window's own size only has to be readable;
// whatever falls outside its client area is clipped by the device context.
void DrawCrosshair(HWND window, FrameKind kind);
