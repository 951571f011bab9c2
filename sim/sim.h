// Scene building, fault injection and accounting for the simulated window
// system. Tests build the windows and processes they need here, run the
// system's code against the Win32 names in sim/win32.h, and then read back
// what was drawn and what was left open.
#pragma once

#include "sim/win32.h"

#include <string>
#include <vector>

namespace sim {

// Every platform operation the simulation provides, for call counting and
// fault injection.
enum class Op {
    FindWindowA,
    EnumWindows,
    GetWindowTextA,
    GetClientRect,
    ChildWindowFromPoint,
    GetWindow,
    GetWindowThreadProcessId,
    CreateToolhelp32Snapshot,
    Module32First,
    Module32Next,
    CloseHandle,
    GetDC,
    ReleaseDC,
    GetStockObject,
    SelectObject,
    PolyPolyline,
    Count
};
const char* OpName(Op op);

// Window flags for AddWindow.
constexpr unsigned HIDDEN = 1;
constexpr unsigned DISABLED = 2;

// Forgets every window, process, handle, fault and record.
void Reset();

// Adds a window. `rect` is its client area placed in the parent's client
// coordinates (simulated windows have no frame, so window and client
// rectangles coincide). A top-level window (no parent) goes to the top of
// the Z-order, as a newly shown top-level window does; a child goes below
// its existing siblings, as CreateWindow places children. A child belongs
// to its parent's process; a top-level window to `processId`.
HWND AddWindow(HWND parent, const std::string& caption, RECT rect,
               unsigned flags = 0, DWORD processId = 0);

// Destroys a window and all its descendants. Their handles stay invalid.
void DestroyWindow(HWND window);
void SetCaption(HWND window, const std::string& caption);
bool IsAlive(HWND window);

// The process the system's own code runs in, which a snapshot of process 0
// stands for. Reset gives it a module list of its own; AddProcess replaces it.
constexpr DWORD CURRENT_PROCESS_ID = 0x0C00;

// Adds a process with its module list in load order; the first entry is
// the process's own executable. A process with no modules is allowed.
void AddProcess(DWORD processId, std::vector<std::string> modules);
// The process has exited: its identifier no longer takes a snapshot.
void EndProcess(DWORD processId);
// Snapshots of the process are refused, as for a process of another user.
void DenySnapshots(DWORD processId);

// Fault injection. FailCall makes the nth next call of `op` fail as the
// platform fails it (counting from 1); FailAlways makes every call fail.
void FailCall(Op op, int nth = 1);
void FailAlways(Op op);
// Destroys `window` once `calls` more platform calls have returned.
void DestroyAfterCalls(HWND window, int calls);

// Accounting.
// Whether a platform call is under way (not counting the caller's code it
// calls back), for tools that must not count the simulation's own work.
bool InsidePlatformCall();
long CallCount(Op op);
long TotalCalls();
void ResetCallCounts();
int OpenDCs();
int OpenSnapshots();
// Device contexts that were released with a pen other than their default
// still selected.
int DCsReleasedWithPenSelected();

struct Drawing {
    HWND window;       // the window whose device context was drawn on
    HGDIOBJ pen;       // the pen selected at the time
    std::vector<POINT> points;
    std::vector<DWORD> counts;
};
const std::vector<Drawing>& Drawings();
// Keeps call counts but drops drawing records, so a long run stays small.
void SetRecordDrawings(bool record);

// The stock object GetStockObject(index) returns, for comparisons.
HGDIOBJ StockObject(int index);

}  // namespace sim
