// A whole observing night and more, compressed: overlay passes over a
// desktop whose capture programs (every registered one) start in any of
// their scenes, quit and restart, and whose windows vanish between passes
// and in the middle of one. Every pass is judged by scenes::CheckPass; the
// run prints how fast the passes went and the most device contexts and
// snapshots ever open at once.
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

struct Running {
    size_t program = 0;  // in model.programs
    DWORD processId = 0;
};

struct Night {
    scenes::Model model;
    std::mt19937 random;
    std::vector<Running> running;  // by registered program; no process while it is not running
    DWORD nextProcess = 100;
    long started = 0, quit = 0, windowsRemoved = 0, vanishedMidPass = 0, failedCalls = 0;

    explicit Night(unsigned seed) : random(seed), running(CapturePrograms().size()) {}
    bool OneIn(int n) { return std::uniform_int_distribution<int>(1, n)(random) == 1; }
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    template <typename T>
    const T& Any(const std::vector<T>& items) { return items[static_cast<size_t>(Below(static_cast<int>(items.size())))]; }
    const scenes::Program* Program(const Running& r) const {
        return r.processId ? &model.programs[r.program] : nullptr;
    }
};

// The windows on the way from the program's top-level window down to each
// one its description draws on: the ones whose loss matters to a pass.
std::vector<HWND> WindowsOnTheWay(const scenes::Program& program) {
    std::vector<HWND> found;
    for (const Draw& draw : program.layout.draws)
        for (int at = draw.window; at >= 0; at = program.layout.windows[static_cast<size_t>(at)].parent)
            if (sim::IsAlive(program.windows[static_cast<size_t>(at)]))
                found.push_back(program.windows[static_cast<size_t>(at)]);
    return found;
}

void Quit(Night& night, Running& running) {
    sim::DestroyWindow(night.model.programs[running.program].windows[0]);
    sim::EndProcess(running.processId);
    running = Running{};
    ++night.quit;
}

void StartOrQuit(Night& night) {
    for (size_t i = 0; i < night.running.size(); ++i) {
        if (!night.OneIn(40)) continue;
        Running& running = night.running[i];
        if (running.processId) {
            Quit(night, running);
        } else {
            const CaptureProgram& program = CapturePrograms()[i];
            running.processId = night.nextProcess++;
            running.program = scenes::AddProgram(night.model, program,
                                                 OptionsFrom(night.Any(program.scenes).options),
                                                 running.processId);
            ++night.started;
        }
    }
}

// A window of a running program other than its top-level one goes away,
// as a tracking panel or a help window does.
void RemoveAWindow(Night& night) {
    if (!night.OneIn(20)) return;
    const scenes::Program* program = night.Program(night.Any(night.running));
    if (!program || program->windows.size() < 2) return;
    sim::DestroyWindow(program->windows[1 + static_cast<size_t>(night.Below(static_cast<int>(program->windows.size() - 1)))]);
    ++night.windowsRemoved;
}

// Some window of a running program goes away after a few more platform
// calls, in the middle of the coming pass.
void VanishMidPass(Night& night) {
    if (!night.OneIn(8)) return;
    Running& running = night.running[static_cast<size_t>(night.Below(static_cast<int>(night.running.size())))];
    const scenes::Program* program = night.Program(running);
    if (!program) return;
    std::vector<HWND> windows = WindowsOnTheWay(*program);
    if (windows.empty()) return;
    HWND victim = night.Any(windows);
    sim::DestroyAfterCalls(victim, night.Below(60));
    ++night.vanishedMidPass;
    // A program whose top-level window went is treated as having quit.
    if (victim == program->windows[0]) {
        running = Running{};
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
        sim::AddProcess(pid, {"app" + std::to_string(i) + ".exe", "kernel32.dll"});
        // Now and then titled after a capture program's help.
        const std::string title =
            i % 5 ? "Untitled" : Describe(night.Any(CapturePrograms()).name).windows[0].caption + " - Help";
        HWND top = scenes::Add(night.model, nullptr, title, RECT{0, 0, 640, 480}, 0, pid);
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
    const int most = scenes::MostCrosses().total;
    long crosses = 0, passesWithTheMost = 0;
    auto begin = std::chrono::steady_clock::now();
    for (long pass = 1; pass <= passes; ++pass) {
        StartOrQuit(night);
        RemoveAWindow(night);
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
        crosses += report.crosses;
        if (report.crosses == most) ++passesWithTheMost;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    char line[512];
    std::snprintf(line, sizeof line,
                  "soak: %ld passes in %.1f s, %.0f passes/s; peak open device contexts %d, "
                  "peak open snapshots %d (expected 1 and 1); %ld crosses (%ld passes with the most, %d); "
                  "programs started %ld, quit %ld; windows removed %ld; windows vanished "
                  "mid-pass %ld; calls made to fail %ld\n",
                  passes, seconds, static_cast<double>(passes) / seconds, sim::PeakOpenDCs(),
                  sim::PeakOpenSnapshots(), crosses, passesWithTheMost, most, night.started,
                  night.quit, night.windowsRemoved, night.vanishedMidPass, night.failedCalls);
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
