// The window-system operations the finders and the drawing rely on.
// On Windows they are the real user32, gdi32 and Tool Help calls; elsewhere
// the same names come from the simulated window system the tests link against.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>
#else
#include "sim/win32.h"
#endif

// The finders set the record's dwSize to sizeof(MODULEENTRY32): 548 bytes,
// the single-byte record, on 32-bit Windows; larger on 64-bit Windows, which
// refuses anything smaller.
constexpr DWORD MODULE_ENTRY_SIZE = 548;

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(MODULEENTRY32) == MODULE_ENTRY_SIZE,
              "the single-byte module record is 548 bytes on 32-bit Windows");
#endif
