// What the two AutoStar Envisage process filters share: both programs show a
// top-level window with the same title and are told apart only by the
// modules their processes have loaded.
#pragma once

#include "discovery/platform.h"

// The top-level title is read into a 32-character buffer with a capacity of
// 31, so at most 30 characters are compared.
constexpr int TITLE_BUFFER_SIZE = 32;
constexpr int TITLE_CAPACITY = 31;

// Module names are upper-cased in a copy of this size.
constexpr int MODULE_NAME_BUFFER_SIZE = 260;

// A module snapshot of the process behind a top-level window titled exactly
// "AutoStar Envisage", or none when the window is to be passed over. A
// snapshot returned must be closed by the caller.
HANDLE OpenEnvisageTitledSnapshot(HWND window);

// Whether the entry's module name, upper-cased over ASCII a to z only,
// contains `upperNeedle`.
bool ModuleNameContains(const MODULEENTRY32& entry, const char* upperNeedle);
