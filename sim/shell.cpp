// The simulated window system's side for the program's shell: windows with
// their procedures, the message queue, painting, resources and a modal
// dialog, as the platform documents them. Every call is logged with its
// arguments, which is how the shell's tests see what it did.
#include "sim/state.h"

namespace sim {
namespace {

constexpr std::uintptr_t MODULE_BASE = 0x400000;
constexpr std::uintptr_t ICON_BASE = 0x600000;
constexpr std::uintptr_t ACCEL_BASE = 0x680000;
constexpr std::uintptr_t ARROW_HANDLE = 0x6F0004;
constexpr LPARAM ALT_CONTEXT = 1 << 29;  // key message lParam: Alt was down

bool IsModule(HINSTANCE instance) { return instance == ModuleInstance(); }

UINT ResourceId(LPCSTR name) { return static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name)); }

template <typename Table>
bool IsResource(HINSTANCE instance, LPCSTR name, const Table& ids) {
    return IsModule(instance) && IS_INTRESOURCE(name) && ids.count(ResourceId(name));
}

const ClassRec* FindClass(HINSTANCE instance, LPCSTR name) {
    for (const ClassRec& c : S().classes)
        if (c.instance == instance && !IS_INTRESOURCE(name) && EqualIgnoringCase(c.name, name))
            return &c;
    return nullptr;
}

// SendMessage to a shell window: straight into its procedure.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRec* w = Lookup(window);
    if (!w || !w->proc) return 0;
    return Outside([&, proc = w->proc] { return proc(window, message, wParam, lParam); });
}

std::vector<std::string> MessageArgs(const MSG* msg) {
    if (!msg) return {Arg(nullptr)};
    return {Arg(msg->hwnd), Arg(msg->message), Arg(msg->wParam), Arg(msg->lParam)};
}

}  // namespace

const HWND CREATED_WINDOW = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xC0DE));
const HWND DIALOG_BOX = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xD1A0));

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(MODULE_BASE); }

void AddStringResource(UINT id, const std::string& text) { S().strings[id] = text; }
void AddIconResource(UINT id) { S().icons.insert(id); }
void AddAcceleratorResource(UINT id, const std::vector<ACCEL>& entries) {
    S().accelerators[id] = entries;
}
void AddDialogResource(UINT id) { S().dialogs.insert(id); }

HICON IconHandle(UINT id) { return reinterpret_cast<HICON>(ICON_BASE + 4 * std::uintptr_t{id}); }
HACCEL AcceleratorHandle(UINT id) {
    return reinterpret_cast<HACCEL>(ACCEL_BASE + 4 * std::uintptr_t{id});
}
HCURSOR StandardArrow() { return reinterpret_cast<HCURSOR>(ARROW_HANDLE); }

void QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    S().queue.push_back(MSG{window, message, wParam, lParam, 0, {}});
}

HWND CreatedWindow() { return S().created; }

void ScriptDialog(const std::vector<WORD>& controls) { S().dialogScript = controls; }

}  // namespace sim

using sim::Arg;
using sim::Op;
using sim::S;

// Fails, as the platform does, for a record whose cbSize is not the
// record's size and for a name already registered by the module.
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* c) {
    sim::PlatformCall call(
        Op::RegisterClassExA,
        c ? std::vector<std::string>{Arg(c->cbSize), Arg(c->style), Arg(c->lpfnWndProc),
                                     Arg(c->cbClsExtra), Arg(c->cbWndExtra), Arg(c->hInstance),
                                     Arg(c->hIcon), Arg(c->hCursor), Arg(c->hbrBackground),
                                     Arg(c->lpszMenuName), Arg(c->lpszClassName), Arg(c->hIconSm)}
          : std::vector<std::string>{Arg(nullptr)});
    if (call.Fails() || !c || c->cbSize != sizeof(WNDCLASSEXA) || !c->lpszClassName ||
        IS_INTRESOURCE(c->lpszClassName) || !c->lpfnWndProc ||
        sim::FindClass(c->hInstance, c->lpszClassName))
        return 0;
    S().classes.push_back(sim::ClassRec{c->hInstance, c->lpszClassName, c->lpfnWndProc});
    return static_cast<ATOM>(0xC000 + S().classes.size());
}

// A hidden window of the class (its size is not modelled). WM_NCCREATE and
// WM_CREATE go to its procedure, which can refuse the window.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    sim::PlatformCall call(Op::CreateWindowExA, exStyle, className, windowName, style, x, y, width,
                           height, parent, menu, instance, param);
    const sim::ClassRec* cls = className ? sim::FindClass(instance, className) : nullptr;
    if (call.Fails() || !cls) return nullptr;
    HWND window = sim::AddWindow(parent, windowName ? windowName : "", RECT{}, sim::HIDDEN);
    if (!window) return nullptr;
    sim::Lookup(window)->proc = cls->proc;
    if (!sim::Send(window, WM_NCCREATE, 0, 0)) {
        sim::DestroyWindow(window);
        return nullptr;
    }
    if (sim::Send(window, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window);
        return nullptr;
    }
    S().created = window;
    return window;
}

BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    sim::PlatformCall call(Op::SetWindowPos, window, insertAfter, x, y, cx, cy, flags);
    return !call.Fails() && sim::IsAlive(window);
}

// Returns whether the window was visible before.
BOOL WINAPI ShowWindow(HWND window, int showState) {
    sim::PlatformCall call(Op::ShowWindow, window, showState);
    sim::WindowRec* w = sim::Lookup(window);
    if (!w) return FALSE;
    BOOL wasVisible = !(w->flags & sim::HIDDEN);
    w->flags &= ~sim::HIDDEN;
    if (showState == SW_HIDE) w->flags |= sim::HIDDEN;
    return wasVisible;
}

// A shown window has everything to paint: WM_PAINT goes straight to it.
BOOL WINAPI UpdateWindow(HWND window) {
    sim::PlatformCall call(Op::UpdateWindow, window);
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w) return FALSE;
    if (!(w->flags & sim::HIDDEN)) sim::Send(window, WM_PAINT, 0, 0);
    return TRUE;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC callback) {
    sim::PlatformCall call(Op::SetTimer, window, id, period, callback);
    if (call.Fails() || !sim::IsAlive(window)) return 0;
    return id ? id : 1;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
    sim::PlatformCall call(Op::GetMessageA, window, filterMin, filterMax);
    if (call.Fails()) {
        if (message) *message = MSG{reinterpret_cast<HWND>(0xBAD0), 0xBAD, 0xBAD, 0xBAD, 0, {}};
        return -1;
    }
    if (!message || (window && !sim::IsAlive(window))) return -1;
    sim::State& t = S();
    if (!t.queue.empty()) {
        *message = t.queue.front();
        t.queue.pop_front();
        if (message->hwnd == sim::CREATED_WINDOW) message->hwnd = t.created;
        return message->message == WM_QUIT ? 0 : 1;
    }
    *message = MSG{nullptr, WM_QUIT, t.quit ? static_cast<WPARAM>(*t.quit) : sim::QUEUE_RAN_DRY_CODE,
                   0, 0, {}};
    t.quit.reset();
    return 0;
}

// Character accelerators (no FVIRTKEY) match WM_SYSCHAR when they want Alt
// and WM_CHAR when they do not. A match sends WM_COMMAND with the command in
// the low word and 1 in the high word to `window`.
int WINAPI TranslateAcceleratorA(HWND window, HACCEL table, LPMSG message) {
    std::vector<std::string> args{Arg(window), Arg(table)};
    for (std::string& a : sim::MessageArgs(message)) args.push_back(std::move(a));
    sim::PlatformCall call(Op::TranslateAcceleratorA, std::move(args));
    if (call.Fails() || !message || !sim::IsAlive(window)) return 0;
    for (auto& [id, entries] : S().accelerators) {
        if (table != sim::AcceleratorHandle(id)) continue;
        for (const ACCEL& a : entries) {
            if (a.fVirt & FVIRTKEY || message->wParam != a.key) continue;
            bool alt = (message->lParam & sim::ALT_CONTEXT) != 0;
            bool matches = (a.fVirt & FALT) ? message->message == WM_SYSCHAR && alt
                                            : message->message == WM_CHAR && !alt;
            if (!matches) continue;
            sim::Send(window, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
            return 1;
        }
    }
    return 0;
}

BOOL WINAPI TranslateMessage(const MSG* message) {
    sim::PlatformCall call(Op::TranslateMessage, sim::MessageArgs(message));
    return FALSE;
}

// A message for no window, or for a window that is gone, is not delivered.
LRESULT WINAPI DispatchMessageA(const MSG* message) {
    sim::PlatformCall call(Op::DispatchMessageA, sim::MessageArgs(message));
    if (!message || !message->hwnd) return 0;
    return sim::Send(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    sim::PlatformCall call(Op::DefWindowProcA, window, message, wParam, lParam);
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_CREATE:
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_PAINT: return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) sim::Send(window, WM_CLOSE, 0, 0);
        return 0;
    default: return sim::DEFAULT_PROC_RESULT;
    }
}

// Only the program's own windows: a thread cannot destroy another's.
// WM_DESTROY and WM_NCDESTROY reach the procedure before the window goes.
BOOL WINAPI DestroyWindow(HWND window) {
    sim::PlatformCall call(Op::DestroyWindow, window);
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w || !w->proc) return FALSE;
    sim::Send(window, WM_DESTROY, 0, 0);
    sim::Send(window, WM_NCDESTROY, 0, 0);
    sim::DestroyWindow(window);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    sim::PlatformCall call(Op::PostQuitMessage, exitCode);
    S().quit = exitCode;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    sim::PlatformCall call(Op::BeginPaint, window);
    if (call.Fails() || !sim::IsAlive(window) || !paint) return nullptr;
    *paint = PAINTSTRUCT{};
    paint->hdc = sim::OpenDc(window);
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    sim::PlatformCall call(Op::EndPaint, window);
    if (paint) sim::CloseDc(paint->hdc);
    return TRUE;
}

// A string the module lacks leaves an empty buffer and gives 0; a longer
// one is cut to the buffer, which is always terminated.
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int capacity) {
    sim::PlatformCall call(Op::LoadStringA, instance, id, capacity);
    if (call.Fails() || !buffer || capacity <= 0) return 0;
    auto it = S().strings.find(id);
    bool found = sim::IsModule(instance) && it != S().strings.end();
    return sim::CopyText(found ? it->second : std::string(), buffer, static_cast<size_t>(capacity));
}

// Only the module's own icon groups are modelled.
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    sim::PlatformCall call(Op::LoadIconA, instance, name);
    if (call.Fails() || !sim::IsResource(instance, name, S().icons)) return nullptr;
    return sim::IconHandle(sim::ResourceId(name));
}

// The module carries no cursors; the system's arrow needs no module.
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    sim::PlatformCall call(Op::LoadCursorA, instance, name);
    return !call.Fails() && !instance && name == IDC_ARROW ? sim::StandardArrow() : nullptr;
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name) {
    sim::PlatformCall call(Op::LoadAcceleratorsA, instance, name);
    if (call.Fails() || !sim::IsResource(instance, name, S().accelerators)) return nullptr;
    return sim::AcceleratorHandle(sim::ResourceId(name));
}

// Runs the modal loop of DIALOG_BOX on ScriptDialog's script. Gives -1 for
// a missing template, and when the script ends before the dialog does.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent,
                               DLGPROC dialogProc, LPARAM initParam) {
    sim::PlatformCall call(Op::DialogBoxParamA, instance, templateName, parent, dialogProc,
                           initParam);
    sim::State& t = S();
    if (call.Fails() || !sim::IsResource(instance, templateName, t.dialogs) || !dialogProc ||
        t.dialogOpen)
        return -1;
    t.dialogOpen = true;
    t.dialogResult.reset();
    sim::Outside([&] { return dialogProc(sim::DIALOG_BOX, WM_INITDIALOG, 0, initParam); });
    while (!t.dialogResult && !t.dialogScript.empty()) {
        WPARAM click = MAKEWPARAM(t.dialogScript.front(), BN_CLICKED);
        t.dialogScript.erase(t.dialogScript.begin());
        sim::Outside([&] { return dialogProc(sim::DIALOG_BOX, WM_COMMAND, click, 0); });
    }
    t.dialogOpen = false;
    return t.dialogResult.value_or(-1);
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    sim::PlatformCall call(Op::EndDialog, dialog, result);
    if (call.Fails() || dialog != sim::DIALOG_BOX || !S().dialogOpen) return FALSE;
    S().dialogResult = result;
    return TRUE;
}
