// What one overlay pass costs on the simulated platform, in three scenes:
// calls against the least needed, heap allocations, and time.
#include "overlay/overlay_pass.h"
#include "sim/sim.h"
#include "tests/sim_layouts.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// Allocation counting. Allocations made while a simulated platform call is
// under way are the simulation's bookkeeping and are counted apart.
long allocations[2];  // by the system's code, by the simulation
void CountAllocation() { ++allocations[sim::InsidePlatformCall() ? 1 : 0]; }

// The fewest platform calls that could find and draw everything in a
// scene, and the calls the pass makes on top of those by design; the
// measured count must be exactly their sum.
struct CallBudget {
    long least;
    long secondEnumeration;  // DSI and Envisage filters each walk the top-level windows
    long parentReread;       // the LPI finder reads the Live window's parent's rectangle again
    long drawReads;          // DrawCrosshair reads the client rectangle the size test just read
    long extraPens;          // the stock pen is fetched for every cross, not once
    long Total() const { return least + secondEnumeration + parentReread + drawReads + extraPens; }
};

// A scene, from the bottom of the Z-order up: unrelated top-level windows
// (program null, `count` of them) and the programs as their descriptions
// lay them out.
struct Step {
    const char* program;
    const char* options;
    int count;
};

struct Case {
    const char* name;
    std::vector<Step> steps;
    CallBudget calls;
};

bool RunScene(const Case& scene, long passes) {
    sim::Reset();
    size_t expected = 0;
    DWORD nextProcess = 10;
    for (const Step& step : scene.steps) {
        if (step.program)
            expected += Build(step.program, step.options, nextProcess += 10).layout.draws.size();
        for (int i = 0; i < step.count; ++i) {
            DWORD pid = 1000 + static_cast<DWORD>(i);
            sim::AddProcess(pid, {"app" + std::to_string(i) + ".exe", "ntdll.dll", "kernel32.dll"});
            HWND top = sim::AddWindow(nullptr, "Window " + std::to_string(i), RECT{0, 0, 640, 480}, 0, pid);
            sim::AddWindow(top, "", RECT{0, 0, 640, 480});
        }
    }

    // One recorded pass to confirm the scene draws what it should.
    sim::SetRecordDrawings(true);
    RunOverlayPass();
    size_t crosses = sim::Drawings().size();
    sim::SetRecordDrawings(false);
    RunOverlayPass();  // warm-up

    sim::ResetCallCounts();
    allocations[0] = allocations[1] = 0;
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < passes; ++i) RunOverlayPass();
    auto elapsed = std::chrono::steady_clock::now() - start;
    auto perPass = [passes](double n) { return n / static_cast<double>(passes); };

    std::printf("scene %s: %zu crosses per pass (expected %zu)\n", scene.name, crosses, expected);
    std::printf("  platform calls per pass:");
    for (int op = 0; op < static_cast<int>(sim::Op::Count); ++op)
        if (long n = sim::CallCount(static_cast<sim::Op>(op)))
            std::printf(" %s %.0f,", sim::OpName(static_cast<sim::Op>(op)), perPass(n));
    const long total = sim::TotalCalls();
    std::printf(" total %.0f\n", perPass(total));
    const CallBudget& b = scene.calls;
    long measured = total / passes;
    std::printf("  calls per pass against the least needed: measured %ld, least %ld; on top: "
                "%ld second enumeration, %ld LPI parent re-read, %ld client reads by the "
                "drawing, %ld extra pen fetches; unexplained %ld\n",
                measured, b.least, b.secondEnumeration, b.parentReread, b.drawReads, b.extraPens,
                measured - b.Total());
    std::printf("  heap allocations per pass by the system's code: %.2f (target 0)"
                "; by the simulation's bookkeeping, not counted: %.2f\n",
                perPass(allocations[0]), perPass(allocations[1]));
    std::printf("  time per pass on the simulated platform: %.0f ns\n",
                perPass(std::chrono::duration<double, std::nano>(elapsed).count()));
    return crosses == expected && total == b.Total() * passes;
}

}  // namespace

// gcc says so with __SANITIZE_ADDRESS__, clang only through __has_feature.
#ifndef __has_feature
#define __has_feature(feature) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
// The sanitizer owns malloc; only operator new is counted there.
#define BENCH_COUNTS_MALLOC 0
void* RawAlloc(std::size_t size) { return std::malloc(size); }
#else
#define BENCH_COUNTS_MALLOC 1
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* malloc(std::size_t size) { return CountAllocation(), __libc_malloc(size); }
extern "C" void* calloc(std::size_t n, std::size_t size) { return CountAllocation(), __libc_calloc(n, size); }
extern "C" void* realloc(void* p, std::size_t size) { return CountAllocation(), __libc_realloc(p, size); }
void* RawAlloc(std::size_t size) { return __libc_malloc(size); }
#endif

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    CountAllocation();
    return RawAlloc(size ? size : 1);
}
void* operator new(std::size_t size) {
    if (void* p = operator new(size, std::nothrow)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

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
    // The least, counted by hand from each scene's layout:
    //  finding LPI: FindWindowA, three levels of GetClientRect and
    //    ChildWindowFromPoint, one caption, one hit-test in "Live" and one
    //    size test: 10;
    //  one enumeration for both AutoStar filters: EnumWindows, one title per
    //    top-level window up to the last match, and for each "AutoStar
    //    Envisage" window its process, snapshot, modules read until decided
    //    and the close;
    //  Envisage: four levels (8), a size test, five calls per tracking panel
    //    walked; DSI: three levels (6), a caption and a size test;
    //  drawing: the pen once, then GetDC, two selects, PolyPolyline and
    //    ReleaseDC per cross.
    // Scene (c) from the top of the Z-order: 50 unrelated, LPI, 50
    // unrelated, Envisage (modules: 1 first + 1 next), DSI, 100 unrelated.
    const Case scenes[] = {
        {"(a) no capture program, 200 unrelated top-level windows", {{nullptr, "", 200}},
         {1 + 1 + 200, 1 + 200, 0, 0, 0}},
        {"(b) the LPI program only", {{"lpi", "", 0}}, {10 + (1 + 1) + (1 + 5), 1 + 1, 1, 1, 0}},
        {"(c) all three programs, 200 unrelated top-level windows",
         {{nullptr, "", 100}, {"dsi", "", 0}, {"envisage", "--tracking 5", 50}, {"lpi", "", 50}},
         {10 + (1 + 103 + 5 + 4) + (8 + 1 + 4 * 5) + (6 + 1 + 1) + (1 + 6 * 5),
          // Envisage's walk stops at its window (1 + 102 titles + 5); DSI's
          // goes one further and reads the Envisage window's first module
          // again (1 + 103 + 4 + 4); one shared walk would take 113.
          (1 + 102 + 5) + (1 + 103 + 4 + 4) - 113, 1, 6, 5}},
    };
    bool ok = true;
    for (const Case& scene : scenes) ok = RunScene(scene, passes) && ok;
    return ok ? 0 : 1;
}
