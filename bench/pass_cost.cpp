// Where the time of a tick goes on a real window system (Windows, or Wine
// here): runs the overlay pass, each finder, the drawing and a module
// snapshot many times over whatever capture programs are running, and
// prints wall and CPU time per call.
//   pass_cost [repeats]
#include "discovery/finders.h"
#include "discovery/process_filter.h"
#include "overlay/crosshair.h"
#include "overlay/overlay_pass.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
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

int repeats = 200;

// Prints and returns the wall time of one step, in microseconds.
template <typename Step>
double Time(const char* name, Step step) {
    double wall = Now(), cpu = ThreadCpu();
    for (int i = 0; i < repeats; ++i) step();
    wall = 1e6 * (Now() - wall) / repeats;
    cpu = 1e6 * (ThreadCpu() - cpu) / repeats;
    std::printf("  %-44s %9.1f us wall %9.1f us CPU\n", name, wall, cpu);
    return wall;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// A process filter's enumeration, counting the module snapshots it takes:
// one for each window it is offered that is titled "AutoStar Envisage".
struct CountedFilter {
    WNDENUMPROC filter;
    HWND found;
    int& snapshots;  // added to
};

BOOL CALLBACK CountSnapshots(HWND window, LPARAM counted) {
    auto& c = *reinterpret_cast<CountedFilter*>(counted);
    if (HANDLE snapshot = OpenEnvisageTitledSnapshot(window)) {
        ++c.snapshots;
        CloseHandle(snapshot);
    }
    return c.filter(window, reinterpret_cast<LPARAM>(&c.found));
}

int SnapshotsPerPass() {
    int total = 0;
    for (WNDENUMPROC filter : {EnvisageProcessFilter, DsiProcessFilter}) {
        CountedFilter counted{filter, nullptr, total};
        EnumWindows(CountSnapshots, reinterpret_cast<LPARAM>(&counted));
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) repeats = std::max(1, std::atoi(argv[1]));
    HWND lpi = FindLpiLiveWindow();
    HWND envisage[ENVISAGE_LIST_SIZE] = {};
    int envisageCount = FindEnvisageLiveWindows(envisage);
    HWND dsi = FindDsiLiveWindow();
    int topLevel = 0;
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&topLevel));
    std::printf("pass cost: %d repeats; %d top-level windows; LPI %s, Envisage %d, DSI %s\n",
                repeats, topLevel, lpi ? "found" : "absent", envisageCount,
                dsi ? "found" : "absent");

    // The pass, its parts, and what dominates them: a module snapshot of
    // another process, which the DSI and Envisage filters take every tick.
    double pass = Time("RunOverlayPass", [] { RunOverlayPass(); });
    Time("FindLpiLiveWindow", [] { FindLpiLiveWindow(); });
    Time("FindEnvisageLiveWindows", [&] { FindEnvisageLiveWindows(envisage); });
    Time("FindDsiLiveWindow", [] { FindDsiLiveWindow(); });
    if (lpi) Time("DrawCrosshair", [lpi] { DrawCrosshair(lpi, FRAME_LPI); });
    if (dsi) {
        DWORD pid = 0;
        GetWindowThreadProcessId(GetAncestor(dsi, GA_ROOT), &pid);
        double snapshotTime = Time("CreateToolhelp32Snapshot + CloseHandle", [pid] {
            HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
            if (snapshot != INVALID_HANDLE_VALUE) CloseHandle(snapshot);
        });
        int snapshots = SnapshotsPerPass();
        std::printf("module snapshots: %d a pass, %.0f%% of its wall time\n", snapshots,
                    100.0 * snapshots * snapshotTime / pass);
    }
    return 0;
}
