// The finders of the capture programs' live video windows. Each one walks
// the window tree afresh on every call and keeps nothing between calls.
#pragma once

#include "discovery/platform.h"

// The Meade LPI program's live video window, or none.
HWND FindLpiLiveWindow();

// EnumWindows filters for the two AutoStar Envisage programs' top-level
// windows. `slot` is the address of an HWND, cleared by the caller; a
// matching window is stored there and ends the enumeration.
BOOL CALLBACK DsiProcessFilter(HWND window, LPARAM slot);
BOOL CALLBACK EnvisageProcessFilter(HWND window, LPARAM slot);

// The DSI program's live video window, or none.
HWND FindDsiLiveWindow();

// The Envisage program's list of handles: room for this many, of which at
// most MAX_ENVISAGE_SLOTS are written.
constexpr int ENVISAGE_LIST_SIZE = 8;
constexpr int MAX_ENVISAGE_SLOTS = 5;

// Fills `list` with the Envisage program's main live window and its
// tracking video windows; returns how many of them to draw (0 to 4).
int FindEnvisageLiveWindows(HWND list[ENVISAGE_LIST_SIZE]);
