// Scenes of windows and the questions asked of them, written once and
// evaluated twice: against the simulated window system in the host build and
// against real windows under Wine. Both sides print one line per answer, so
// the simulation is held to the real one by comparing the two outputs.
#pragma once

#include "discovery/platform.h"

#include <vector>

namespace conformance {

constexpr unsigned HIDDEN = 1;
constexpr unsigned DISABLED = 2;

// One window: a top-level one when `parent` is null. The rectangle is its
// client area in the parent's client coordinates (or on the screen); the
// windows are made without frames, so client and window rectangles agree.
struct WindowSpec {
    const char* name;
    const char* parent;
    const char* caption;
    LONG x, y, width, height;
    unsigned flags;
};

enum class Ask {
    ChildAt,      // ChildWindowFromPoint(window, {x, y})
    ChildAtCenter,
    Text,         // GetWindowTextA(window, buffer, capacity), buffer prefilled
    Next,         // GetWindow(window, GW_HWNDNEXT)
    FirstChild,   // GetWindow(window, GW_CHILD)
    Find,         // FindWindowA(NULL, text)
    ClientRect,   // GetClientRect(window)
    VideoSized,   // IsVideoSized(window)
    Process,      // GetWindowThreadProcessId(window), slot prefilled
    Enumerate,    // EnumWindows: the scene's top-level windows in order
    Destroy,      // the window goes away; later questions use its stale handle
    FindLpi,      // FindLpiLiveWindow()
    FindDsi,      // FindDsiLiveWindow()
    FindEnvisage, // FindEnvisageLiveWindows(list): the count and the windows
};

struct Question {
    Ask ask;
    const char* window;  // by name; for Find, the title
    LONG x = 0, y = 0;   // for ChildAt; for Text, x is the capacity
};

// A capture program's windows as its description (layouts/) lays them out,
// the top-level one hidden; each is named by its role after `prefix`. The
// window of the role `recaptioned` is made with `caption` instead.
struct PlacedLayout {
    const char* prefix;
    const char* program;
    const char* options;
    const char* recaptioned = "";
    const char* caption = "";
};

struct Scene {
    const char* name;
    std::vector<WindowSpec> windows;
    std::vector<Question> questions;
    std::vector<PlacedLayout> layouts = {};  // made after `windows`, in order
};

const std::vector<Scene>& Scenes();

// How each side makes and removes windows. Every window belongs to the
// side's own process, whatever modules a layout lists.
struct Desk {
    HWND (*create)(const WindowSpec& spec, HWND parent);
    void (*destroy)(HWND window);
    DWORD processId;  // the process that owns the windows made
};

// Builds each scene on the desk, prints its answers and takes it down again.
void RunScenes(const Desk& desk);

}  // namespace conformance
