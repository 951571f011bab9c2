// A whole observing night and more, compressed: overlay passes over a
// desktop whose capture programs start, quit and restart, whose windows
// vanish in the middle of a pass and whose tracking panels come and go.
// Every pass is judged by scenes::CheckPass; the run prints how fast the
// passes went and the most device contexts and snapshots ever open at once.
//   overlay_soak [--passes N] [--seed S]
#include "overlay/overlay_pass.h"
#include "tests/pass_checks.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Night {
    scenes::Model model;
    std::mt19937 random;
    scenes::Program lpi, dsi, envisage;  // top is none while the program is not running
    DWORD nextProcess = 100;
    long started = 0, quit = 0, panelsAdded = 0, panelsRemoved = 0, vanishedMidPass = 0,
         failedCalls = 0;

    explicit Night(unsigned seed) : random(seed) {}
    bool OneIn(int n) { return std::uniform_int_distribution<int>(1, n)(random) == 1; }
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
};

// The windows on the way from the program's top-level window down to each
// of its videos: the ones whose loss matters to a pass.
std::vector<HWND> WindowsOnTheWay(const scenes::Model& model, const scenes::Program& program) {
    std::vector<HWND> found;
    for (HWND at : program.videos) {
        for (; at && at != program.top; at = model.parent.at(at))
            if (sim::IsAlive(at)) found.push_back(at);
    }
    if (sim::IsAlive(program.top)) found.push_back(program.top);
    return found;
}

void Quit(Night& night, scenes::Program& program) {
    sim::DestroyWindow(program.top);
    auto pid = night.model.process.find(program.top);
    if (pid != night.model.process.end() && pid->second) scenes::EndProcess(night.model, pid->second);
    program = scenes::Program{};
    ++night.quit;
}

void StartOrQuit(Night& night) {
    if (night.OneIn(40)) {
        if (night.lpi.top) {
            Quit(night, night.lpi);
        } else {
            scenes::LpiLayout layout;
            layout.help = night.OneIn(2);
            night.lpi = scenes::AddLpiProgram(night.model, layout);
            ++night.started;
        }
    }
    if (night.OneIn(40)) {
        if (night.dsi.top) {
            Quit(night, night.dsi);
        } else {
            DWORD pid = night.nextProcess++;
            scenes::AddProcess(night.model, pid, {"DSI_Imager.exe", "kernel32.dll"});
            scenes::DsiLayout layout;
            layout.help = night.OneIn(2);
            night.dsi = scenes::AddDsiProgram(night.model, layout, pid);
            ++night.started;
        }
    }
    if (night.OneIn(40)) {
        if (night.envisage.top) {
            Quit(night, night.envisage);
        } else {
            DWORD pid = night.nextProcess++;
            scenes::AddProcess(night.model, pid, {"AutoStar.exe", "kernel32.dll", "Envisage.dll"});
            scenes::EnvisageLayout layout;
            layout.trackingPanels = night.Below(6);
            night.envisage = scenes::AddEnvisageProgram(night.model, layout, pid);
            ++night.started;
        }
    }
}

void ChangePanels(Night& night) {
    scenes::Program& env = night.envisage;
    if (!env.top) return;
    if (night.OneIn(10) && env.videos.size() < 8) {
        scenes::AddTrackingPanel(night.model, env, night.OneIn(4) ? "Tracking" : "TRACKING");
        ++night.panelsAdded;
    }
    if (night.OneIn(10) && env.videos.size() > 1) {
        // Any panel but the main one; those below it then end the walk early
        // or move up, as the program would show them.
        size_t i = 1 + static_cast<size_t>(night.Below(static_cast<int>(env.videos.size() - 1)));
        sim::DestroyWindow(night.model.parent[env.videos[i]]);
        env.videos.erase(env.videos.begin() + static_cast<long>(i));
        ++night.panelsRemoved;
    }
}

// Some window of a running program goes away after a few more platform
// calls, in the middle of the coming pass.
void VanishMidPass(Night& night) {
    if (!night.OneIn(8)) return;
    scenes::Program* programs[] = {&night.lpi, &night.dsi, &night.envisage};
    scenes::Program& program = *programs[night.Below(3)];
    if (!program.top) return;
    std::vector<HWND> windows = WindowsOnTheWay(night.model, program);
    if (windows.empty()) return;
    HWND victim = windows[static_cast<size_t>(night.Below(static_cast<int>(windows.size())))];
    sim::DestroyAfterCalls(victim, night.Below(60));
    ++night.vanishedMidPass;
    // A program whose top-level window went is treated as having quit.
    for (scenes::Program* p : programs)
        if (p->top == victim) {
            *p = scenes::Program{};
            ++night.quit;
        }
}

void FailSomeCall(Night& night) {
    if (!night.OneIn(50)) return;
    static const sim::Op ops[] = {
        sim::Op::GetWindowTextA, sim::Op::GetClientRect, sim::Op::ChildWindowFromPoint,
        sim::Op::GetWindow, sim::Op::CreateToolhelp32Snapshot, sim::Op::Module32First,
        sim::Op::Module32Next, sim::Op::GetDC, sim::Op::PolyPolyline};
    sim::FailCall(ops[night.Below(static_cast<int>(sizeof ops / sizeof ops[0]))], 1 + night.Below(40));
    ++night.failedCalls;
}

void AddUnrelatedWindows(Night& night, int count) {
    for (int i = 0; i < count; ++i) {
        DWORD pid = night.nextProcess++;
        scenes::AddProcess(night.model, pid, {"app" + std::to_string(i) + ".exe", "kernel32.dll"});
        HWND top = scenes::Add(night.model, nullptr, i % 5 ? "Untitled" : "AutoStar Envisage - Help",
                               RECT{0, 0, 640, 480}, 0, pid);
        scenes::Add(night.model, top, "", RECT{0, 0, 640, 480});
    }
}

}  // namespace

int main(int argc, char** argv) {
    long passes = 100000;
    unsigned seed = 20261208;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--passes") == 0) passes = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--seed") == 0) seed = static_cast<unsigned>(std::atol(argv[i + 1]));
    }

    sim::Reset();
    Night night(seed);
    AddUnrelatedWindows(night, 30);
    long crosses = 0, passesWithAllSix = 0;
    auto begin = std::chrono::steady_clock::now();
    for (long pass = 1; pass <= passes; ++pass) {
        StartOrQuit(night);
        ChangePanels(night);
        VanishMidPass(night);
        FailSomeCall(night);

        sim::ClearRecords();
        RunOverlayPass();
        scenes::PassReport report = scenes::CheckPass(night.model);
        if (!report.problems.empty()) {
            for (const std::string& p : report.problems)
                std::fprintf(stderr, "pass %ld (seed %u): %s\n", pass, seed, p.c_str());
            return 1;
        }
        crosses += report.lpiCrosses + report.dsiCrosses;
        if (report.lpiCrosses + report.dsiCrosses == 6) ++passesWithAllSix;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    char line[512];
    std::snprintf(line, sizeof line,
                  "soak: %ld passes in %.1f s, %.0f passes/s; peak open device contexts %d, "
                  "peak open snapshots %d (expected 1 and 1); %ld crosses (%ld passes with all six); "
                  "programs started %ld, quit %ld; panels added %ld, removed %ld; windows vanished "
                  "mid-pass %ld; calls made to fail %ld\n",
                  passes, seconds, static_cast<double>(passes) / seconds, sim::PeakOpenDCs(),
                  sim::PeakOpenSnapshots(), crosses, passesWithAllSix, night.started, night.quit,
                  night.panelsAdded, night.panelsRemoved, night.vanishedMidPass, night.failedCalls);
    std::fputs(line, stdout);
    if (const char* figures = std::getenv("QUELVANI_FIGURES")) {
        if (std::FILE* out = std::fopen(figures, "a")) {
            std::fputs(line, out);
            std::fclose(out);
        }
    }
    // One of each at a time is all a pass ever needs.
    return sim::PeakOpenDCs() == 1 && sim::PeakOpenSnapshots() == 1 ? 0 : 1;
}
