// Runs the overlay pass over three scenes and prints, per pass: the
// platform calls by operation, the heap allocations made by the system's
// own code, and the time taken on the simulated platform.
#include "overlay/overlay_pass.h"
#include "sim/sim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

// Allocation counting. Allocations made while a simulated platform call is
// under way are the simulation's bookkeeping and are counted apart.
namespace {
long systemAllocations = 0;
long simulationAllocations = 0;

void CountAllocation() {
    if (sim::InsidePlatformCall())
        ++simulationAllocations;
    else
        ++systemAllocations;
}
}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer owns malloc; only operator new is counted there.
#define BENCH_COUNTS_MALLOC 0
void* RawAlloc(std::size_t size) { return std::malloc(size); }
#else
#define BENCH_COUNTS_MALLOC 1
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* malloc(std::size_t size) {
    CountAllocation();
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    CountAllocation();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, std::size_t size) {
    CountAllocation();
    return __libc_realloc(block, size);
}
void* RawAlloc(std::size_t size) { return __libc_malloc(size); }
#endif

void* operator new(std::size_t size) {
    CountAllocation();
    if (void* p = RawAlloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    CountAllocation();
    return RawAlloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

RECT Rect(LONG x, LONG y, LONG width, LONG height) { return RECT{x, y, x + width, y + height}; }

void AddUnrelatedWindows(int count) {
    for (int i = 0; i < count; ++i) {
        DWORD pid = 1000 + static_cast<DWORD>(i);
        sim::AddProcess(pid, {"app" + std::to_string(i) + ".exe", "ntdll.dll", "kernel32.dll"});
        HWND top = sim::AddWindow(nullptr, "Window " + std::to_string(i), Rect(0, 0, 640, 480),
                                  0, pid);
        sim::AddWindow(top, "", Rect(0, 0, 640, 480));
    }
}

void AddLpi() {
    HWND top = sim::AddWindow(nullptr, "Meade LPI", Rect(0, 0, 800, 600), 0, 10);
    HWND a = sim::AddWindow(top, "", Rect(0, 0, 800, 600));
    HWND b = sim::AddWindow(a, "", Rect(0, 0, 800, 600));
    HWND live = sim::AddWindow(b, "Live", Rect(0, 0, 800, 600));
    sim::AddWindow(live, "", Rect(0, 0, 640, 480));
}

void AddDsi() {
    sim::AddProcess(20, {"DSI.exe", "ntdll.dll", "kernel32.dll"});
    HWND top = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 800, 600), 0, 20);
    HWND a = sim::AddWindow(top, "", Rect(0, 0, 800, 600));
    HWND b = sim::AddWindow(a, "", Rect(0, 0, 800, 600));
    sim::AddWindow(b, "", Rect(0, 0, 648, 489));
}

// The main live window and four tracking panels: four crosses.
void AddEnvisage() {
    sim::AddProcess(30, {"AutoStar.exe", "ntdll.dll", "kernel32.dll", "Envisage.dll"});
    HWND top = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 1000, 800), 0, 30);
    HWND a = sim::AddWindow(top, "", Rect(0, 0, 1000, 800));
    HWND b = sim::AddWindow(a, "", Rect(0, 0, 1000, 800));
    HWND panel = sim::AddWindow(b, "", Rect(0, 0, 700, 540));
    sim::AddWindow(panel, "", Rect(0, 0, 648, 489));
    for (int i = 0; i < 5; ++i) {
        HWND tracking = sim::AddWindow(b, "", Rect(0, 0, 700, 540));
        sim::AddWindow(tracking, "", Rect(0, 0, 648, 489));
        sim::AddWindow(tracking, "TRACKING", Rect(0, 500, 120, 20));
    }
}

struct Scene {
    const char* name;
    void (*build)();
    size_t crosses;
};

void SceneNone() { AddUnrelatedWindows(200); }
void SceneLpi() { AddLpi(); }
void SceneAll() {
    AddUnrelatedWindows(100);
    AddDsi();
    AddEnvisage();
    AddUnrelatedWindows(50);
    AddLpi();
    AddUnrelatedWindows(50);
}

bool RunScene(const Scene& scene, long passes) {
    sim::Reset();
    scene.build();

    // One recorded pass to confirm the scene draws what it should.
    sim::SetRecordDrawings(true);
    RunOverlayPass();
    size_t crosses = sim::Drawings().size();
    sim::SetRecordDrawings(false);
    RunOverlayPass();  // warm-up

    sim::ResetCallCounts();
    systemAllocations = simulationAllocations = 0;
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < passes; ++i) RunOverlayPass();
    auto elapsed = std::chrono::steady_clock::now() - start;
    long system = systemAllocations, simulation = simulationAllocations;

    double nsPerPass =
        static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) /
        static_cast<double>(passes);
    std::printf("scene %s: %zu crosses per pass (expected %zu)\n", scene.name, crosses,
                scene.crosses);
    std::printf("  platform calls per pass:");
    long total = 0;
    for (int op = 0; op < static_cast<int>(sim::Op::Count); ++op) {
        long n = sim::CallCount(static_cast<sim::Op>(op));
        if (n == 0) continue;
        total += n;
        std::printf(" %s %.0f,", sim::OpName(static_cast<sim::Op>(op)),
                    static_cast<double>(n) / static_cast<double>(passes));
    }
    std::printf(" total %.0f\n", static_cast<double>(total) / static_cast<double>(passes));
    std::printf("  heap allocations per pass by the system's code: %.2f (target 0)"
                "; by the simulation's bookkeeping, not counted: %.2f\n",
                static_cast<double>(system) / static_cast<double>(passes),
                static_cast<double>(simulation) / static_cast<double>(passes));
    std::printf("  time per pass on the simulated platform: %.0f ns\n", nsPerPass);
    return crosses == scene.crosses;
}

}  // namespace

int main(int argc, char** argv) {
    long passes = 20000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--passes") == 0) passes = std::atol(argv[i + 1]);
    if (passes < 1) passes = 1;

    std::printf("Overlay pass benchmark: %ld passes per scene, against the simulated window "
                "system (times are of the simulation, not of Windows).\n",
                passes);
    std::printf("Allocations counted: global operator new%s, made outside simulated platform "
                "calls.\n",
                BENCH_COUNTS_MALLOC ? " and malloc/calloc/realloc" : " (malloc is the sanitizer's)");
    const Scene scenes[] = {
        {"(a) no capture program, 200 unrelated top-level windows", SceneNone, 0},
        {"(b) the LPI program only", SceneLpi, 1},
        {"(c) all three programs, 200 unrelated top-level windows", SceneAll, 6},
    };
    bool ok = true;
    for (const Scene& scene : scenes) ok = RunScene(scene, passes) && ok;
    return ok ? 0 : 1;
}
