// The program's one window: a 100 x 100 frame that starts minimised and
// carries the overlay timer, the menu and the About box.
#pragma once

#include "discovery/platform.h"

constexpr UINT_PTR OVERLAY_TIMER_ID = 1;
constexpr UINT OVERLAY_PERIOD_MS = 100;
constexpr int MAIN_WINDOW_SIZE = 100;
// Capacity of the title and class-name buffers, terminator included.
constexpr int RESOURCE_TEXT_CAPACITY = 100;

void RegisterMainWindowClass(HINSTANCE instance);
bool CreateMainWindow(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
