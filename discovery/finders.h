// The finders of the capture programs' live video windows. Each one walks
// the window tree afresh on every call and keeps nothing between calls.
#pragma once

#include "discovery/platform.h"

// The Meade LPI program's live video window, or none.
HWND FindLpiLiveWindow();
