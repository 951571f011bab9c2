// The About box.
#pragma once

#include "discovery/platform.h"

// Closes the box on OK (Enter) with 1 and on Cancel (Esc, close button) with 2.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
