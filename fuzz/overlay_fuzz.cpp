// Turns arbitrary bytes into a hostile desktop for the simulated window
// system and runs overlay passes on it. The first byte picks which capture
// programs are laid out properly (so the passes get deep enough to draw);
// the rest bends them into near misses, adds random window trees up to six
// levels deep, injects call failures, refuses snapshots and destroys
// windows between platform calls. Every pass must keep the rules of
// scenes::CheckPass; any broken rule aborts with the reason.
#include "overlay/overlay_pass.h"
#include "tests/pass_checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class Bytes {
public:
    Bytes(const std::uint8_t* data, size_t size) : data_(data), size_(size) {}
    // Runs out into zeros, which always pick the first (proper) choice.
    std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    int Below(int bound) { return Next() % bound; }
    bool OneIn(int n) { return Below(n) == n - 1; }
    template <typename T, size_t N>
    const T& Pick(const T (&choices)[N]) { return choices[Below(static_cast<int>(N))]; }
    // Mostly `proper`, sometimes a near miss from the list.
    template <size_t N>
    std::string ProperOr(const char* proper, const char* const (&nearMisses)[N]) {
        std::uint8_t b = Next();
        return b < 160 ? proper : nearMisses[b % N];
    }
    std::string Text(int maxLength) {
        std::string text;
        int n = Below(maxLength + 1);
        for (int i = 0; i < n; ++i) text += static_cast<char>(Next());
        return text;
    }

private:
    const std::uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

const char* const LPI_TITLES[] = {"Meade LPI", "MEADE lpi", "Meade LPI ", "Meade", "Meade LPI\xA0"};
const char* const ENVISAGE_TITLES[] = {
    "AutoStar Envisage ", "autostar envisage", "AutoStar Envisage - Live",
    "AutoStar Envisage\xE9", "AutoStar Envisage - a 30-chars",   // 30 characters
    "AutoStar Envisage - a 31-chars!",                           // 31 characters
    "AutoStar Envisag"};
const char* const CAPTIONS[] = {
    "Live", "Live ", "live", "LIVE", "Help", "help", "Help ", "TRACKING", "tracking", "TrAcKiNg",
    "TRACKING ", "TRACKIN", "", "Live\xFF", "\xC3\xA9Live", "Help", "abcdefghijklmnopqrstuvwxyz0123",
    "abcdefghijklmnopqrstuvwxyz01234"};
const char* const MODULES[] = {
    "DSI.exe",        "dsi_capture.exe", "Envisage.exe", "envisage.dll", "AutoStar.exe",
    "kernel32.dll",   "\xC4\x64si.dll",  "ENVISAG.dll",  "D-S-I.exe",    "xEnViSaGe\x80.ocx",
    "MSVCRT.DLL",     ""};
const LONG SIZES[] = {648, 640, 500, 499, 501, 350, 349, 351, 0, 1, 100, 800, 2000, -5};

void AddModules(scenes::Model& model, DWORD processId, Bytes& in) {
    std::vector<std::string> modules;
    int count = in.Below(6);
    for (int i = 0; i < count; ++i) {
        if (in.OneIn(8)) {
            // A long name with the word past the 255 characters Tool Help keeps.
            modules.push_back(std::string(254, 'x') + (in.OneIn(2) ? "DSI" : "ENVISAGE"));
        } else {
            modules.push_back(in.OneIn(6) ? in.Text(12) : in.Pick(MODULES));
        }
    }
    scenes::AddProcess(model, processId, modules);
}

// A random tree below `parent`, whose children mostly cover its centre.
void AddTree(scenes::Model& model, HWND parent, LONG width, LONG height, int depth, Bytes& in) {
    if (depth >= 6 || model.windows.size() > 120) return;
    int children = in.Below(depth < 3 ? 4 : 3);
    for (int i = 0; i < children; ++i) {
        LONG w = in.OneIn(4) ? in.Below(256) * 4 : in.Pick(SIZES);
        LONG h = in.OneIn(4) ? in.Below(256) * 3 : in.Pick(SIZES);
        LONG x = width / 2 - w / 2 + (in.Below(5) - 2);
        LONG y = height / 2 - h / 2 + (in.Below(5) - 2);
        if (in.OneIn(4)) {
            x = in.Below(256) * 4;
            y = in.Below(256) * 3;
        }
        unsigned flags = in.OneIn(8) ? sim::HIDDEN : 0;
        if (in.OneIn(8)) flags |= sim::DISABLED;
        std::string caption = in.OneIn(5) ? in.Text(40) : in.Pick(CAPTIONS);
        HWND child = scenes::Add(model, parent, caption, RECT{x, y, x + w, y + h}, flags);
        AddTree(model, child, w, h, depth + 1, in);
    }
}

void AddPrograms(scenes::Model& model, Bytes& in) {
    std::uint8_t programs = in.Next();
    if (programs & 1) {
        scenes::LpiLayout lpi;
        lpi.title = in.ProperOr("Meade LPI", LPI_TITLES);
        lpi.help = in.OneIn(2);
        lpi.helpCaption = in.ProperOr("Help", CAPTIONS);
        lpi.caption = in.ProperOr("Live", CAPTIONS);
        if (in.OneIn(3)) lpi.videoWidth = in.Pick(SIZES);
        if (in.OneIn(3)) lpi.videoHeight = in.Pick(SIZES);
        scenes::AddLpiProgram(model, lpi);
    }
    if (programs & 2) {
        scenes::DsiLayout dsi;
        dsi.title = in.ProperOr("AutoStar Envisage", ENVISAGE_TITLES);
        dsi.help = in.OneIn(2);
        dsi.helpCaption = in.ProperOr("Help", CAPTIONS);
        if (in.OneIn(3)) dsi.videoWidth = in.Pick(SIZES);
        if (in.OneIn(3)) dsi.videoHeight = in.Pick(SIZES);
        scenes::AddProcess(model, 2, {in.ProperOr("DSI.exe", MODULES), "kernel32.dll"});
        scenes::AddDsiProgram(model, dsi, 2);
    }
    if (programs & 4) {
        scenes::EnvisageLayout env;
        env.title = in.ProperOr("AutoStar Envisage", ENVISAGE_TITLES);
        if (in.OneIn(3)) env.videoWidth = in.Pick(SIZES);
        if (in.OneIn(3)) env.videoHeight = in.Pick(SIZES);
        env.trackingPanels = in.Below(8);
        env.label = in.ProperOr("TRACKING", CAPTIONS);
        scenes::AddProcess(model, 3, {"AutoStar.exe", "kernel32.dll", in.ProperOr("Envisage.dll", MODULES)});
        scenes::AddEnvisageProgram(model, env, 3);
    }
    // Further top-level windows, with random trees and processes.
    int extra = (programs >> 3) % 4;
    for (int i = 0; i < extra; ++i) {
        DWORD pid = static_cast<DWORD>(4 + in.Below(4));
        if (in.OneIn(2)) AddModules(model, pid, in);
        std::string title = in.OneIn(2) ? in.Pick(ENVISAGE_TITLES)
                          : in.OneIn(2) ? std::string("AutoStar Envisage")
                                        : in.Pick(LPI_TITLES);
        LONG w = in.Pick(SIZES), h = in.Pick(SIZES);
        HWND top = scenes::Add(model, nullptr, title, RECT{0, 0, w, h}, 0, in.OneIn(6) ? 0 : pid);
        AddTree(model, top, w, h, 1, in);
    }
    // Panels and trees hung inside the proper programs as well.
    if (!model.windows.empty() && in.OneIn(2)) {
        HWND host = model.windows[static_cast<size_t>(in.Below(static_cast<int>(model.windows.size())))];
        AddTree(model, host, 800, 600, 3 + in.Below(3), in);
    }
}

HWND AnyWindow(const scenes::Model& model, Bytes& in) {
    if (model.windows.empty()) return nullptr;
    return model.windows[static_cast<size_t>(in.Next()) % model.windows.size()];
}

// Any call may fail except the two that give things back: when ReleaseDC
// or CloseHandle itself fails there is nothing left for the caller to do,
// so those are left out rather than read as leaks.
sim::Op AnyFailingOp(Bytes& in) {
    static const sim::Op ops[] = {
        sim::Op::FindWindowA,   sim::Op::EnumWindows,
        sim::Op::GetWindowTextA, sim::Op::GetClientRect,
        sim::Op::ChildWindowFromPoint, sim::Op::GetWindow,
        sim::Op::GetWindowThreadProcessId, sim::Op::CreateToolhelp32Snapshot,
        sim::Op::Module32First, sim::Op::Module32Next,
        sim::Op::GetDC,         sim::Op::GetStockObject,
        sim::Op::SelectObject,  sim::Op::PolyPolyline};
    return in.Pick(ops);
}

// Returns whether SelectObject may fail, which may leave the pen in a
// context whose restoring select failed.
bool InjectFaults(scenes::Model& model, Bytes& in) {
    bool selectMayFail = false;
    int faults = in.Below(5);
    for (int i = 0; i < faults; ++i) {
        switch (in.Below(6)) {
        case 0:
        case 1: {
            // Arguments are read one at a time: gcc and clang order calls' arguments
            // differently, and a replay must build the same scene under both.
            sim::Op op = AnyFailingOp(in);
            sim::FailCall(op, 1 + in.Below(60));
            selectMayFail |= op == sim::Op::SelectObject;
            break;
        }
        case 2:
            if (in.OneIn(4)) {
                sim::Op op = AnyFailingOp(in);
                sim::FailAlways(op);
                selectMayFail |= op == sim::Op::SelectObject;
            }
            break;
        case 3: scenes::DenySnapshots(model, static_cast<DWORD>(2 + in.Below(6))); break;
        case 4: scenes::EndProcess(model, static_cast<DWORD>(2 + in.Below(6))); break;
        default:
            if (HWND w = AnyWindow(model, in)) sim::DestroyAfterCalls(w, in.Below(120));
            break;
        }
    }
    return selectMayFail;
}

// Between passes the programs go on living: windows come and go.
void Churn(scenes::Model& model, Bytes& in) {
    switch (in.Below(5)) {
    case 0: if (HWND w = AnyWindow(model, in)) sim::DestroyWindow(w); break;
    case 1: if (HWND w = AnyWindow(model, in)) scenes::SetCaption(model, w, in.Pick(CAPTIONS)); break;
    case 2: if (HWND w = AnyWindow(model, in)) AddTree(model, w, 800, 600, 4, in); break;
    case 3: if (HWND w = AnyWindow(model, in)) sim::DestroyAfterCalls(w, in.Below(120)); break;
    default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    sim::Reset();
    scenes::Model model;
    Bytes in(data, size);
    AddPrograms(model, in);
    bool selectMayFail = InjectFaults(model, in);
    int passes = 1 + in.Below(4);
    for (int pass = 0; pass < passes; ++pass) {
        sim::ClearRecords();
        RunOverlayPass();
        scenes::PassReport report = scenes::CheckPass(model, selectMayFail);
        if (!report.problems.empty()) {
            for (const std::string& p : report.problems) std::fprintf(stderr, "pass %d: %s\n", pass + 1, p.c_str());
            std::abort();
        }
        Churn(model, in);
    }
    return 0;
}
