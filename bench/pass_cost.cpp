// Where the time of a tick goes on a real window system (Windows, or Wine
// here): runs the overlay pass, each finder, the drawing and the single
// platform calls they are made of many times over whatever capture
// programs are running, and prints wall and CPU time per call.
//   pass_cost [repeats]
#include "discovery/finders.h"
#include "discovery/probing.h"
#include "overlay/crosshair.h"
#include "overlay/overlay_pass.h"

#include <cstdio>
#include <cstdlib>

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// User and kernel time of this thread, in seconds.
double ThreadCpu() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

template <typename Step>
void Time(const char* name, int repeats, Step step) {
    double wall = Now(), cpu = ThreadCpu();
    for (int i = 0; i < repeats; ++i) step();
    wall = Now() - wall;
    cpu = ThreadCpu() - cpu;
    std::printf("  %-44s %9.1f us wall %9.1f us CPU\n", name, 1e6 * wall / repeats,
                1e6 * cpu / repeats);
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = argc > 1 ? std::atoi(argv[1]) : 200;
    if (repeats < 1) repeats = 1;

    HWND lpi = FindLpiLiveWindow();
    HWND lpiTop = FindWindowA(nullptr, "Meade LPI");
    HWND envisage[ENVISAGE_LIST_SIZE] = {};
    int envisageCount = FindEnvisageLiveWindows(envisage);
    HWND dsi = FindDsiLiveWindow();
    int topLevel = 0;
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&topLevel));
    std::printf("pass cost: %d repeats; %d top-level windows; LPI %s, Envisage %d, DSI %s\n",
                repeats, topLevel, lpi ? "found" : "absent", envisageCount,
                dsi ? "found" : "absent");

    Time("RunOverlayPass", repeats, [] { RunOverlayPass(); });
    Time("FindLpiLiveWindow", repeats, [] { FindLpiLiveWindow(); });
    Time("FindEnvisageLiveWindows", repeats, [] {
        HWND list[ENVISAGE_LIST_SIZE];
        FindEnvisageLiveWindows(list);
    });
    Time("FindDsiLiveWindow", repeats, [] { FindDsiLiveWindow(); });
    if (lpi) Time("DrawCrosshair", repeats, [lpi] { DrawCrosshair(lpi, FRAME_LPI); });

    Time("FindWindowA", repeats, [] { FindWindowA(nullptr, "Meade LPI"); });
    Time("EnumWindows (counting only)", repeats, [] {
        int n = 0;
        EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&n));
    });
    if (lpiTop) {
        Time("GetWindowTextA (another process's window)", repeats, [lpiTop] {
            char text[32];
            GetWindowTextA(lpiTop, text, sizeof text);
        });
        Time("GetWindowThreadProcessId", repeats, [lpiTop] {
            DWORD pid = 0;
            GetWindowThreadProcessId(lpiTop, &pid);
        });
        Time("ChildAtCenter (GetClientRect + hit-test)", repeats, [lpiTop] { ChildAtCenter(lpiTop); });
    }
    if (lpi) {
        Time("GetClientRect", repeats, [lpi] {
            RECT r;
            GetClientRect(lpi, &r);
        });
        Time("GetDC + ReleaseDC", repeats, [lpi] { ReleaseDC(lpi, GetDC(lpi)); });
    }
    if (dsi) {
        DWORD pid = 0;
        GetWindowThreadProcessId(GetAncestor(dsi, GA_ROOT), &pid);
        Time("CreateToolhelp32Snapshot + CloseHandle", repeats, [pid] {
            HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
            if (snapshot != INVALID_HANDLE_VALUE) CloseHandle(snapshot);
        });
    }
    return 0;
}
