// Scene building, fault injection and accounting for the simulated window
// system: tests build what they need here, run the system's code against
// sim/win32.h, and read back what was called, drawn and left open.
#pragma once

#include "sim/win32.h"

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

namespace sim {

// Every platform operation the simulation counts and can fail, the overlay's
// then the shell's, written once for the enumeration and for OpName.
#define SIM_OPERATIONS(X)                                                                         \
    X(FindWindowA) X(EnumWindows) X(GetWindowTextA) X(GetClientRect) X(ChildWindowFromPoint)     \
    X(GetWindow) X(GetWindowThreadProcessId) X(CreateToolhelp32Snapshot) X(Module32First)        \
    X(Module32Next) X(CloseHandle) X(GetDC) X(ReleaseDC) X(GetStockObject) X(SelectObject)       \
    X(PolyPolyline) X(RegisterClassExA) X(CreateWindowExA) X(SetWindowPos) X(ShowWindow)         \
    X(UpdateWindow) X(SetTimer) X(GetMessageA) X(TranslateAcceleratorA) X(TranslateMessage)      \
    X(DispatchMessageA) X(DefWindowProcA) X(DestroyWindow) X(PostQuitMessage) X(BeginPaint)      \
    X(EndPaint) X(LoadStringA) X(LoadIconA) X(LoadCursorA) X(LoadAcceleratorsA)                  \
    X(DialogBoxParamA) X(EndDialog)
#define SIM_ENUMERATOR(name) name,
enum class Op { SIM_OPERATIONS(SIM_ENUMERATOR) Count };
#undef SIM_ENUMERATOR
const char* OpName(Op op);

// Forgets every window, process, handle, resource, message, fault and record.
void Reset();

// ---- The desktop ----

// Window flags for AddWindow.
constexpr unsigned HIDDEN = 1;
constexpr unsigned DISABLED = 2;

// Adds a window whose client area is `rect` in the parent's client
// coordinates (simulated windows have no frame). A top-level window goes to
// the top of the Z-order, as a newly shown one does; a child goes below its
// siblings, as CreateWindow places children, and belongs to its parent's
// process, not to `processId`.
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

// The stock object GetStockObject(index) returns, for comparisons.
HGDIOBJ StockObject(int index);

// ---- The program's module, message queue and dialog ----

// The program's own module, whose resources the loader functions find.
HINSTANCE ModuleInstance();

void AddStringResource(UINT id, const std::string& text);
void AddIconResource(UINT id);
void AddAcceleratorResource(UINT id, const std::vector<ACCEL>& entries);
void AddDialogResource(UINT id);

// The handles the loaders give for the module's resources and the arrow.
HICON IconHandle(UINT id);
HACCEL AcceleratorHandle(UINT id);
HCURSOR StandardArrow();

// The scripted queue of posted and input messages GetMessageA takes from.
// A message for CREATED_WINDOW goes to the window CreateWindowExA made last;
// a scripted WM_QUIT ends the loop with its wParam. Then a pending
// PostQuitMessage gives WM_QUIT; with nothing left the platform would wait
// forever, so GetMessageA ends the loop with QUEUE_RAN_DRY_CODE.
extern const HWND CREATED_WINDOW;
constexpr WPARAM QUEUE_RAN_DRY_CODE = 0x7E57;
void QueueMessage(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
HWND CreatedWindow();

// The box of the modal dialog DialogBoxParamA runs. After WM_INITDIALOG it
// receives WM_COMMAND from each of these controls in turn (a click on OK is
// IDOK, Esc or the close button is IDCANCEL), until the dialog procedure
// ends the dialog. A dialog that is never ended gives -1.
extern const HWND DIALOG_BOX;
void ScriptDialog(const std::vector<WORD>& controls);

// What DefWindowProcA gives for messages it does not act on.
constexpr LRESULT DEFAULT_PROC_RESULT = 0x5A5A;

// ---- Faults ----

// FailCall makes the nth next call of `op` fail as the platform fails it
// (counting from 1); FailAlways makes every call fail. A failed call changes
// nothing, except that GetMessageA's -1 leaves rubbish in the message.
// ShowWindow, TranslateMessage, DispatchMessageA, DefWindowProcA,
// PostQuitMessage and EndPaint have no failure to give and ignore a fault.
void FailCall(Op op, int nth = 1);
void FailAlways(Op op);
// Destroys `window` once `calls` more platform calls have returned.
void DestroyAfterCalls(HWND window, int calls);

// ---- Accounting ----

// Whether a platform call is under way (not counting the caller's code it
// calls back), for tools that must not count the simulation's own work.
bool InsidePlatformCall();
long CallCount(Op op);
long TotalCalls();
void ResetCallCounts();

// The shell's calls in order with their arguments as Arg writes them (a
// record by its fields). The overlay's calls are only counted: a long run
// makes millions; what they did is recorded as drawings and answers below.
struct ShellCall {
    Op op;
    std::vector<std::string> args;
};
const std::vector<ShellCall>& ShellCalls();

// How an argument is written in the log: numbers in decimal, handles and
// pointers in hex (null as "0"), texts quoted, resource numbers as "#109".
std::string TextArg(const char* text);
std::string HexArg(std::uintptr_t value);
template <typename T>
std::string Arg(T value) {
    if constexpr (std::is_integral_v<T>) return std::to_string(static_cast<long long>(value));
    else if constexpr (std::is_null_pointer_v<T>) return "0";
    else if constexpr (std::is_convertible_v<T, const char*>) return TextArg(value);
    else return HexArg(reinterpret_cast<std::uintptr_t>(value));
}

struct Drawing {
    HWND window;       // the window whose device context was drawn on
    HGDIOBJ pen;       // the pen selected at the time
    std::vector<POINT> points;
    std::vector<DWORD> counts;
    long call = 0;     // TotalCalls() when it was drawn, to order records
};
const std::vector<Drawing>& Drawings();
// Keeps call counts but drops drawing records, so a long run stays small.
void SetRecordDrawings(bool record);

// Successful GetClientRect answers, recorded along with the drawings, so a
// check can tell which windows were seen to be video-sized before a draw.
struct ClientRectAnswer {
    HWND window;
    RECT rect;
    long call;         // TotalCalls() when it answered
};
const std::vector<ClientRectAnswer>& ClientRectAnswers();
// Drops the shell's calls, drawings and answers recorded so far, not counts.
void ClearRecords();

// Device contexts and snapshots open now, and the most open at once.
int OpenDCs();
int OpenSnapshots();
int PeakOpenDCs();
int PeakOpenSnapshots();
// Device contexts released with a pen other than their default selected.
int DCsReleasedWithPenSelected();

}  // namespace sim
