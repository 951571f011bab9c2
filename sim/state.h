// The simulated window system's one state, shared by its files. Reset()
// replaces all of it at once, so no test inherits anything from the one
// before.
#pragma once

#include "sim/sim.h"

#include <array>
#include <deque>
#include <map>
#include <optional>
#include <set>

namespace sim {

struct WindowRec {
    bool alive = true;
    int parent = -1;             // index, -1 for a top-level window
    std::vector<int> children;   // Z-order, topmost first
    std::string caption;
    RECT rect{};                 // in the parent's client coordinates
    unsigned flags = 0;
    DWORD processId = 0;
    WNDPROC proc = nullptr;  // only the program's own windows, made by CreateWindowExA
};

struct ProcessRec {
    std::vector<std::string> modules;
    bool ended = false, denied = false;
};

struct SnapshotRec {
    DWORD processId = 0;
    std::vector<std::string> modules;
    size_t next = 0;  // the entry Module32Next hands out next
};

struct DcRec {
    HWND window = nullptr;
    HGDIOBJ pen = nullptr;
};

struct ClassRec {
    HINSTANCE instance;
    std::string name;
    WNDPROC proc;
};

struct Fault {
    Op op;
    int remaining;  // calls of `op` still to pass; -1 means always fail
};

struct PendingDestroy {
    HWND window;
    int callsLeft;
};

struct State {
    // The desktop the overlay searches and draws on.
    std::vector<WindowRec> windows;
    std::vector<int> topLevel;  // Z-order, topmost first
    std::map<DWORD, ProcessRec> processes;
    std::map<std::uintptr_t, SnapshotRec> snapshots;
    std::map<std::uintptr_t, DcRec> dcs;
    std::uintptr_t nextSnapshot = 0x50000, nextDc = 0x70000;

    // The program's module, its windows, queue and dialog.
    std::vector<ClassRec> classes;
    std::map<UINT, std::string> strings;
    std::set<UINT> icons, dialogs;
    std::map<UINT, std::vector<ACCEL>> accelerators;
    std::deque<MSG> queue;
    std::optional<int> quit;  // PostQuitMessage's exit code, until taken
    HWND created = nullptr;
    std::vector<WORD> dialogScript;
    bool dialogOpen = false;
    std::optional<INT_PTR> dialogResult;  // EndDialog's

    // Faults still to come, and what was counted and recorded.
    std::vector<Fault> faults;
    std::vector<PendingDestroy> destroys;
    std::array<long, static_cast<size_t>(Op::Count)> calls{};
    std::vector<ShellCall> shellCalls;
    int penLeftSelected = 0;
    std::vector<Drawing> drawings;
    std::vector<ClientRectAnswer> clientRects;
    bool recordDrawings = true;
    int peakDCs = 0, peakSnapshots = 0;
};

State& S();

// The record behind a live window handle, or null; the handle of a record.
WindowRec* Lookup(HWND window);
HWND HandleOf(int index);
// A device context on `window` with the default pen, for GetDC and
// BeginPaint; closing it gives false when it is not open.
HDC OpenDc(HWND window);
bool CloseDc(HDC dc);
// Compares titles and class names ignoring ASCII case, as the platform does.
bool EqualIgnoringCase(const std::string& a, const char* b);
// Copies text into a caller's buffer the way the platform does: cut to the
// buffer (capacity at least 1), always terminated. Gives the length copied.
int CopyText(const std::string& text, char* buffer, size_t capacity);

// Opened at the start of every platform call: carries out the destructions
// due, counts the call, logs a shell call's arguments and takes an injected
// fault. While one is open, InsidePlatformCall() is true.
class PlatformCall {
public:
    explicit PlatformCall(Op op);
    PlatformCall(Op op, std::vector<std::string> args);
    template <typename... Args>
    PlatformCall(Op op, const Args&... args)
        : PlatformCall(op, std::vector<std::string>{Arg(args)...}) {}
    ~PlatformCall();
    PlatformCall(const PlatformCall&) = delete;
    PlatformCall& operator=(const PlatformCall&) = delete;
    // Whether the call must fail as the platform fails it.
    bool Fails() const { return fails_; }

private:
    bool fails_;
};

// Runs a call back into the caller's code (a window procedure, an
// enumeration filter) from inside a platform call, as the caller's own work.
extern int callDepth;
template <typename Callback>
auto Outside(Callback callback) {
    int saved = callDepth;
    callDepth = 0;
    auto result = callback();
    callDepth = saved;
    return result;
}

}  // namespace sim
