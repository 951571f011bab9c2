// The simulated window system's side for the program's shell: window
// classes and top-level windows with their procedures, a scripted message
// queue, painting, timers, the module's resources and modal dialogs,
// answering the way the platform documents them.
#include "sim/state.h"

namespace sim {
namespace {

constexpr std::uintptr_t MODULE_BASE = 0x400000;
constexpr std::uintptr_t ICON_BASE = 0x600000;
constexpr std::uintptr_t ACCEL_BASE = 0x680000;
constexpr std::uintptr_t ARROW_HANDLE = 0x6F0004;
constexpr std::uintptr_t SYSTEM_ICON_BASE = 0x6E0000;
constexpr LONG DEFAULT_X = 26, DEFAULT_Y = 26, DEFAULT_WIDTH = 640, DEFAULT_HEIGHT = 480;
constexpr LPARAM ALT_CONTEXT = 1 << 29;  // key message lParam: Alt was down

bool IsModule(HINSTANCE instance) { return instance == ModuleInstance(); }

bool IsResource(LPCSTR name, const std::set<UINT>& ids) {
    return IS_INTRESOURCE(name) &&
           ids.count(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name)));
}

bool SameClassName(const std::string& a, LPCSTR b) {
    return !IS_INTRESOURCE(b) && EqualIgnoringCase(a, b);
}

// SendMessage to a shell window: straight into its procedure.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRec* w = Lookup(window);
    if (!w || !w->proc) return 0;
    WNDPROC proc = w->proc;
    return Outside([&] { return proc(window, message, wParam, lParam); });
}

std::vector<std::string> MessageArgs(const MSG* msg) {
    if (!msg) return {Arg(nullptr)};
    return {Arg(msg->hwnd), Arg(msg->message), Arg(msg->wParam), Arg(msg->lParam)};
}

bool IsVisible(const WindowRec& w) { return !(w.flags & HIDDEN); }

// The window that GetMessageA would hand WM_PAINT to once nothing else waits.
HWND WindowToPaint() {
    for (size_t i = 0; i < S().windows.size(); ++i) {
        const WindowRec& w = S().windows[i];
        if (w.alive && w.needsPaint && IsVisible(w)) return HandleOf(static_cast<int>(i));
    }
    return nullptr;
}

void Validate(WindowRec& w) {
    w.needsPaint = false;
    S().paintRepeats = 0;
}

}  // namespace

const HWND CREATED_WINDOW = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0xC0DE));

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(MODULE_BASE); }

void AddStringResource(UINT id, const std::string& text) { S().strings[id] = text; }
void AddIconResource(UINT id) { S().icons.insert(id); }
void AddMenuResource(UINT id) { S().menus.insert(id); }
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

bool QueueRanDry() { return S().ranDry; }
HWND CreatedWindow() { return S().created; }

void ScriptDialog(const std::vector<WORD>& controls) { S().dialogScript = controls; }
int DialogsLeftOpen() { return S().dialogsLeftOpen; }

void SetDefaultProcResult(LRESULT result) { S().defaultResult = result; }

const std::vector<RegisteredClass>& RegisteredClasses() { return S().classes; }

int ShowCommand(HWND window) {
    WindowRec* w = Lookup(window);
    return w ? w->show : -1;
}

UINT MenuResource(HWND window) {
    WindowRec* w = Lookup(window);
    return w ? w->menu : 0;
}

bool NeedsPaint(HWND window) {
    WindowRec* w = Lookup(window);
    return w && w->needsPaint;
}

UINT TimerPeriod(HWND window, UINT_PTR id) {
    WindowRec* w = Lookup(window);
    if (!w) return 0;
    auto it = w->timers.find(id);
    return it == w->timers.end() ? 0 : it->second;
}


}  // namespace sim

using sim::Arg;
using sim::Op;
using sim::S;

// Fails, as the platform does, for a record whose cbSize is not the
// record's size and for a name already registered by the module.
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    sim::PlatformCall call(Op::RegisterClassExA,
                           {Arg(windowClass ? windowClass->lpszClassName : nullptr)});
    if (call.Fails() || !windowClass || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        !windowClass->lpszClassName || IS_INTRESOURCE(windowClass->lpszClassName) ||
        !windowClass->lpfnWndProc)
        return 0;
    for (const sim::RegisteredClass& c : S().classes)
        if (c.record.hInstance == windowClass->hInstance &&
            sim::SameClassName(c.name, windowClass->lpszClassName))
            return 0;
    S().classes.push_back(sim::RegisteredClass{*windowClass, windowClass->lpszClassName});
    return static_cast<ATOM>(0xC000 + S().classes.size());
}

// CW_USEDEFAULT for x gives the default position and ignores y; for the
// width it gives the default size and ignores the height. The class's menu
// is used when no menu is given. WM_NCCREATE and WM_CREATE go to the new
// window's procedure, which can refuse the window.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    sim::PlatformCall call(Op::CreateWindowExA,
                           {Arg(exStyle), Arg(className), Arg(windowName), Arg(style), Arg(x),
                            Arg(y), Arg(width), Arg(height), Arg(parent), Arg(menu),
                            Arg(instance), Arg(param)});
    if (call.Fails() || !className) return nullptr;
    const sim::RegisteredClass* cls = nullptr;
    for (const sim::RegisteredClass& c : S().classes)
        if (c.record.hInstance == instance && sim::SameClassName(c.name, className)) cls = &c;
    if (!cls) return nullptr;
    RECT rect{};
    rect.left = x == CW_USEDEFAULT ? sim::DEFAULT_X : x;
    rect.top = x == CW_USEDEFAULT ? sim::DEFAULT_Y : y;
    rect.right = rect.left + (width == CW_USEDEFAULT ? sim::DEFAULT_WIDTH : width);
    rect.bottom = rect.top + (width == CW_USEDEFAULT ? sim::DEFAULT_HEIGHT : height);
    HWND window = sim::AddWindow(parent, windowName ? windowName : "", rect, sim::HIDDEN);
    if (!window) return nullptr;
    sim::WindowRec& w = *sim::Lookup(window);
    w.proc = cls->record.lpfnWndProc;
    if (menu)
        w.menu = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(menu));
    else if (sim::IsResource(cls->record.lpszMenuName, S().menus))
        w.menu = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(cls->record.lpszMenuName));
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
    sim::PlatformCall call(Op::SetWindowPos, {Arg(window), Arg(insertAfter), Arg(x), Arg(y),
                                              Arg(cx), Arg(cy), Arg(flags)});
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w) return FALSE;
    if (!(flags & SWP_NOMOVE)) {
        w->rect.right += x - w->rect.left;
        w->rect.bottom += y - w->rect.top;
        w->rect.left = x;
        w->rect.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        w->rect.right = w->rect.left + cx;
        w->rect.bottom = w->rect.top + cy;
    }
    return TRUE;
}

// Returns whether the window was visible before.
BOOL WINAPI ShowWindow(HWND window, int showState) {
    sim::PlatformCall call(Op::ShowWindow, {Arg(window), Arg(showState)});
    sim::WindowRec* w = sim::Lookup(window);
    if (!w) return FALSE;
    BOOL wasVisible = sim::IsVisible(*w);
    w->show = showState;
    if (showState == SW_HIDE) {
        w->flags |= sim::HIDDEN;
    } else {
        w->flags &= ~sim::HIDDEN;
        w->needsPaint = true;
    }
    return wasVisible;
}

// Sends WM_PAINT straight to the procedure when the window needs painting.
BOOL WINAPI UpdateWindow(HWND window) {
    sim::PlatformCall call(Op::UpdateWindow, {Arg(window)});
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w) return FALSE;
    if (w->needsPaint && sim::IsVisible(*w)) sim::Send(window, WM_PAINT, 0, 0);
    return TRUE;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC callback) {
    sim::PlatformCall call(Op::SetTimer, {Arg(window), Arg(id), Arg(period), Arg(callback)});
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w) return 0;
    w->timers[id] = period;
    return id ? id : 1;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
    sim::PlatformCall call(Op::GetMessageA, {Arg(window), Arg(filterMin), Arg(filterMax)});
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
    if (t.quit) {
        *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(*t.quit), 0, 0, {}};
        t.quit.reset();
        return 0;
    }
    // A window left unpainted is offered WM_PAINT again and again; the
    // platform would spin here, the simulation stops.
    if (HWND paint = sim::WindowToPaint()) {
        t.paintRepeats = paint == t.lastPainted ? t.paintRepeats + 1 : 1;
        t.lastPainted = paint;
        if (t.paintRepeats <= 2) {
            *message = MSG{paint, WM_PAINT, 0, 0, 0, {}};
            return 1;
        }
    }
    t.ranDry = true;
    *message = MSG{nullptr, WM_QUIT, sim::QUEUE_RAN_DRY_CODE, 0, 0, {}};
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
    sim::PlatformCall call(Op::DefWindowProcA,
                           {Arg(window), Arg(message), Arg(wParam), Arg(lParam)});
    switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_CREATE:
    case WM_DESTROY:
    case WM_NCDESTROY: return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) sim::Send(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_PAINT:
        if (sim::WindowRec* w = sim::Lookup(window)) sim::Validate(*w);
        return 0;
    default: return S().defaultResult;
    }
}

// Only the program's own windows: a thread cannot destroy another's.
// WM_DESTROY and WM_NCDESTROY reach the procedure before the window goes;
// its timers go with it.
BOOL WINAPI DestroyWindow(HWND window) {
    sim::PlatformCall call(Op::DestroyWindow, {Arg(window)});
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w || !w->proc) return FALSE;
    sim::Send(window, WM_DESTROY, 0, 0);
    sim::Send(window, WM_NCDESTROY, 0, 0);
    sim::DestroyWindow(window);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    sim::PlatformCall call(Op::PostQuitMessage, {Arg(exitCode)});
    S().quit = exitCode;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    sim::PlatformCall call(Op::BeginPaint, {Arg(window)});
    sim::WindowRec* w = sim::Lookup(window);
    if (call.Fails() || !w || !paint) return nullptr;
    *paint = PAINTSTRUCT{};
    paint->hdc = sim::OpenDc(window);
    paint->rcPaint = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    sim::Validate(*w);
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    sim::PlatformCall call(Op::EndPaint, {Arg(window), Arg(paint ? paint->hdc : nullptr)});
    if (paint) sim::CloseDc(paint->hdc);
    return TRUE;
}

// A string the module lacks leaves an empty buffer and gives 0; a longer
// one is cut to the buffer, which is always terminated.
int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int capacity) {
    sim::PlatformCall call(Op::LoadStringA, {Arg(instance), Arg(id), Arg(capacity)});
    if (call.Fails() || !buffer || capacity <= 0) return 0;
    auto it = S().strings.find(id);
    if (!sim::IsModule(instance) || it == S().strings.end()) {
        buffer[0] = '\0';
        return 0;
    }
    return sim::CopyText(it->second, buffer, static_cast<size_t>(capacity));
}

// No module: the system's icons. Otherwise the module's icon groups.
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    sim::PlatformCall call(Op::LoadIconA, {Arg(instance), Arg(name)});
    if (call.Fails()) return nullptr;
    if (!instance) {
        if (!IS_INTRESOURCE(name)) return nullptr;
        std::uintptr_t id = reinterpret_cast<std::uintptr_t>(name);
        return reinterpret_cast<HICON>(sim::SYSTEM_ICON_BASE + id);
    }
    if (!sim::IsModule(instance) || !sim::IsResource(name, S().icons)) return nullptr;
    return sim::IconHandle(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name)));
}

// The module carries no cursors; the system's arrow needs no module.
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    sim::PlatformCall call(Op::LoadCursorA, {Arg(instance), Arg(name)});
    return !call.Fails() && !instance && name == IDC_ARROW ? sim::StandardArrow() : nullptr;
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR name) {
    sim::PlatformCall call(Op::LoadAcceleratorsA, {Arg(instance), Arg(name)});
    if (call.Fails() || !sim::IsModule(instance) || !IS_INTRESOURCE(name))
        return nullptr;
    auto id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name));
    return S().accelerators.count(id) ? sim::AcceleratorHandle(id) : nullptr;
}

// Runs the dialog's modal loop on the script of ScriptDialog. Gives -1 when
// the template is missing and 0 when the owner is not a window.
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND parent,
                               DLGPROC dialogProc, LPARAM initParam) {
    sim::PlatformCall call(Op::DialogBoxParamA, {Arg(instance), Arg(templateName), Arg(parent),
                                                 Arg(dialogProc), Arg(initParam)});
    if (call.Fails() || !sim::IsModule(instance) || !sim::IsResource(templateName, S().dialogs) ||
        !dialogProc)
        return -1;
    if (parent && !sim::IsAlive(parent)) return 0;
    HWND dialog = sim::AddWindow(nullptr, "About", RECT{0, 0, 345, 122});
    sim::Lookup(dialog)->dialog = true;
    sim::Outside([&] { return dialogProc(dialog, WM_INITDIALOG, 0, initParam); });
    for (WORD control : std::vector<WORD>(S().dialogScript)) {
        if (sim::Lookup(dialog)->endedWith) break;
        S().dialogScript.erase(S().dialogScript.begin());
        WPARAM click = MAKEWPARAM(control, BN_CLICKED);
        sim::Outside([&] { return dialogProc(dialog, WM_COMMAND, click, 0); });
    }
    std::optional<INT_PTR> result = sim::Lookup(dialog)->endedWith;
    sim::DestroyWindow(dialog);
    if (!result) ++S().dialogsLeftOpen;
    return result.value_or(-1);
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    sim::PlatformCall call(Op::EndDialog, {Arg(dialog), Arg(result)});
    sim::WindowRec* w = sim::Lookup(dialog);
    if (call.Fails() || !w || !w->dialog) return FALSE;
    w->endedWith = result;
    return TRUE;
}
