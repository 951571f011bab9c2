// The simulated window system's side for the program's shell: the module's
// resources, window classes, a scripted message queue, modal dialogs, and a
// record of every shell call with its arguments.
#pragma once

#include "sim/sim.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

namespace sim {

// Forgets classes, shell windows, resources, the queue and the record.
// sim::Reset() leaves them alone; call both.
void ResetShell();

// The instance handle of the program's own module, the one whose resources
// the loader functions find.
HINSTANCE ModuleInstance();

// The module's resources.
void AddStringResource(UINT id, const std::string& text);
void AddIconResource(UINT id);
void AddMenuResource(UINT id);
void AddAcceleratorResource(UINT id, const std::vector<ACCEL>& entries);
void AddDialogResource(UINT id);

// The handles the loaders give for a resource of the module, and the
// system's standard arrow cursor.
HICON IconHandle(UINT id);
HACCEL AcceleratorHandle(UINT id);
HCURSOR StandardArrow();

// The scripted queue GetMessageA takes from, as posted and input messages.
// A message for CREATED_WINDOW goes to the window CreateWindowExA created
// last. A scripted WM_QUIT ends the loop with its wParam. Once the script is
// drained, a pending PostQuitMessage gives WM_QUIT, then a window that still
// needs painting gives WM_PAINT; when nothing is left at all, the real
// platform would wait forever, so GetMessageA records that the queue ran dry
// and ends the loop with QUEUE_RAN_DRY_CODE.
extern const HWND CREATED_WINDOW;
constexpr WPARAM QUEUE_RAN_DRY_CODE = 0x7E57;
void QueueMessage(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// GetMessageA returns -1 for this entry and leaves rubbish in the record.
void QueueGetMessageError();
bool QueueRanDry();
HWND CreatedWindow();

// What a modal dialog receives after WM_INITDIALOG: WM_COMMAND from each of
// these controls in turn (a click on OK is IDOK, Esc or the close button is
// IDCANCEL), until the dialog procedure ends the dialog. A dialog that is
// never ended has its box torn down and DialogBoxParamA gives -1.
void ScriptDialog(const std::vector<WORD>& controls);
int DialogsLeftOpen();

// The result DefWindowProcA gives for messages it does not act on.
void SetDefaultProcResult(LRESULT result);

// Fault injection: every later call of the named function fails as the
// platform fails it (RegisterClassExA, CreateWindowExA, SetTimer,
// LoadIconA, LoadAcceleratorsA).
void FailShellCall(const std::string& name);

// Accounting.
struct ShellCall {
    std::string name;
    std::vector<std::string> args;
};
bool operator==(const ShellCall& a, const ShellCall& b);
void PrintTo(const ShellCall& call, std::ostream* out);
const std::vector<ShellCall>& ShellCalls();
void ClearShellCalls();
std::vector<ShellCall> ShellCallsNamed(const std::string& name);
// The names of the calls, in order, keeping only those in `names`.
std::vector<std::string> ShellCallSequence(const std::vector<std::string>& names);

// How an argument is written in the record: numbers in decimal, handles and
// pointers in hex (null as "0"), texts quoted, resource numbers as "#109".
std::string Arg(const void* pointer);
std::string Arg(std::nullptr_t);
std::string Arg(const char* text);
std::string Arg(char* text);
std::string Arg(long long value);
template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
std::string Arg(T value) {
    return Arg(static_cast<long long>(value));
}
template <typename R, typename... A>
std::string Arg(R(CALLBACK* function)(A...)) {
    return Arg(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(function)));
}

// The last class registered, its name copied out.
struct RegisteredClass {
    WNDCLASSEXA record;
    std::string name;  // empty when given as a number
};
const std::vector<RegisteredClass>& RegisteredClasses();

// A shell window's state: window rectangle in screen coordinates, the last
// show command, its menu resource (0 for none), running timers' periods by id.
RECT WindowRect(HWND window);
int ShowCommand(HWND window);
UINT MenuResource(HWND window);
bool NeedsPaint(HWND window);
UINT TimerPeriod(HWND window, UINT_PTR id);
int OpenPaints();

}  // namespace sim
