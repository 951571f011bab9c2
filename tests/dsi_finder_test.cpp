// The DSI finder: which "AutoStar Envisage" window it takes by its first
// module, and the descent from there to the live video window.
#include "discovery/finders.h"
#include "tests/capture_scenes.h"

#include <string>
#include <vector>

namespace {

class DsiFinderTest : public SimTest {};

TEST_F(DsiFinderTest, TheTitleMustBeTheWholeCaptionExactly) {
    const struct {
        std::string title;
        bool found;
    } cases[] = {
        {"AutoStar Envisage", true},
        {"autostar envisage", false},
        {"AUTOSTAR ENVISAGE", false},
        {"AutoStar Envisage ", false},
        {" AutoStar Envisage", false},
        {"AutoStar Envisag", false},
        {"AutoStar Envisage X", false},
        {"AutoStar Envisage - DSI Imager", false},     // 30 characters: all compared
        {"AutoStar Envisage - DSI Imager 2", false},   // cut to 30, still more than the title
        {"", false},
    };
    for (const auto& c : cases) {
        sim::Reset();
        DsiScene s = BuildDsiScene(DSI_PROCESS, {"DSI.exe"}, c.title);
        EXPECT_EQ(FindDsiLiveWindow(), c.found ? s.video : nullptr) << '"' << c.title << '"';
    }
}

TEST_F(DsiFinderTest, OnlyTheFirstModuleNameIsSearchedForDsiInAnyCase) {
    const std::string long255 = std::string(252, 'x') + "dsi";
    const std::string long300 = std::string(280, 'x') + "DSI.exe";  // cut before "DSI"
    const struct {
        std::vector<std::string> modules;
        bool found;
    } cases[] = {
        {{"DSI.exe"}, true},
        {{"dsi.exe"}, true},
        {{"AutoStarDsiPro.EXE", "kernel32.dll"}, true},
        {{"imager_dSi.exe"}, true},
        {{"\xc4\xe9" "DSI\xff.exe"}, true},          // bytes above 127 around it
        {{long255}, true},                            // at the very end of the field
        {{long300}, false},
        {{"Envisage.exe", "DSI.dll"}, false},         // later entries are not looked at
        {{"Envisage.exe", "dsi.dll", "DSI.dll"}, false},
        {{"DS.exe"}, false},
        {{"D-S-I.exe"}, false},
        {{"DS\xc9.exe"}, false},                      // not an ASCII "I"
        {{}, false},                                  // Module32First fails
    };
    for (const auto& c : cases) {
        sim::Reset();
        DsiScene s = BuildDsiScene(DSI_PROCESS, c.modules);
        std::string first = c.modules.empty() ? "(none)" : c.modules[0];
        EXPECT_EQ(FindDsiLiveWindow(), c.found ? s.video : nullptr) << "first module " << first;
        EXPECT_EQ(sim::CallCount(sim::Op::Module32Next), 0) << "first module " << first;
    }
}

TEST_F(DsiFinderTest, TheFirstMatchingWindowInZOrderWinsAndEndsTheEnumeration) {
    DsiScene lower = BuildDsiScene(101);
    sim::AddWindow(nullptr, "Unrelated", Rect(0, 0, 800, 600), 0, 300);
    DsiScene upper = BuildDsiScene(102);
    sim::AddWindow(nullptr, "Above both", Rect(0, 0, 800, 600), 0, 301);

    EXPECT_EQ(FindDsiLiveWindow(), upper.video);
    EXPECT_NE(upper.video, lower.video);
    EXPECT_EQ(sim::CallCount(sim::Op::CreateToolhelp32Snapshot), 1)
        << "the lower window's process was looked at";
    EXPECT_EQ(sim::CallCount(sim::Op::CloseHandle), 1);
}

// A window whose process cannot be looked into is passed over, and the
// enumeration goes on to the window below it.
TEST_F(DsiFinderTest, AWindowWhoseProcessCannotBeReadIsSkipped) {
    enum Trouble { ENDED, DENIED, UNKNOWN, NO_OWNER, NO_MODULES, SNAPSHOT_FAILS, FIRST_FAILS };
    const struct {
        Trouble trouble;
        const char* name;
    } cases[] = {
        {ENDED, "process ended"},
        {DENIED, "access denied"},
        {UNKNOWN, "no such process"},
        {NO_OWNER, "process id 0"},
        {NO_MODULES, "empty module list"},
        {SNAPSHOT_FAILS, "CreateToolhelp32Snapshot fails"},
        {FIRST_FAILS, "Module32First fails"},
    };
    for (const auto& c : cases) {
        sim::Reset();
        DsiScene good = BuildDsiScene(101);
        // The troubled window is on top and would match if it could be read.
        if (c.trouble == NO_OWNER) {
            // Process 0 would be this very process, here made to look like DSI.
            sim::AddProcess(sim::CURRENT_PROCESS_ID, {"DSI.exe"});
            BuildDsiWindows(0, "AutoStar Envisage");
        } else if (c.trouble == UNKNOWN) {
            BuildDsiWindows(103, "AutoStar Envisage");
        } else {
            std::vector<std::string> modules = {"DSI.exe"};
            if (c.trouble == NO_MODULES) modules.clear();
            BuildDsiScene(102, modules);
        }
        if (c.trouble == ENDED) sim::EndProcess(102);
        if (c.trouble == DENIED) sim::DenySnapshots(102);
        if (c.trouble == SNAPSHOT_FAILS) sim::FailCall(sim::Op::CreateToolhelp32Snapshot);
        if (c.trouble == FIRST_FAILS) sim::FailCall(sim::Op::Module32First);

        EXPECT_EQ(FindDsiLiveWindow(), good.video) << c.name;
        EXPECT_EQ(sim::OpenSnapshots(), 0) << c.name;
    }
}

// Only one "Help" window is stepped over, to its next sibling, which is
// size-tested whatever its caption; no caption is read after the step.
TEST_F(DsiFinderTest, HelpIsSteppedOverToAnUncheckedSibling) {
    const struct {
        std::vector<std::string> captions;  // b's children, topmost first, all covering the centre
        std::vector<LONG> widths;
        int expected;                       // index of the window found, or -1
    } cases[] = {
        {{"Help", ""}, {648, 648}, 1},
        {{"Help", "Live"}, {648, 648}, 1},
        {{"Help", "Help"}, {648, 648}, 1},        // a second "Help" is taken as it is
        {{"Help", "Other", ""}, {648, 648, 648}, 1},
        {{"Help"}, {648}, -1},                    // no sibling to step to
        {{"Help", ""}, {648, 499}, -1},           // the sibling is too small
        {{"Help", ""}, {499, 648}, 1},            // the size of "Help" itself is never asked
        {{"help", ""}, {499, 648}, -1},           // case-sensitive: no step, too small
        {{"help", ""}, {648, 500}, 0},
        {{"Live", ""}, {648, 648}, 0},
        {{"", "Help"}, {648, 648}, 0},
    };
    for (const auto& c : cases) {
        sim::Reset();
        sim::AddProcess(DSI_PROCESS, {"DSI.exe"});
        HWND top = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 800, 600), 0,
                                  DSI_PROCESS);
        HWND a = sim::AddWindow(top, "", Rect(0, 0, 800, 600));
        HWND b = sim::AddWindow(a, "", Rect(0, 0, 800, 600));
        std::vector<HWND> windows;
        for (size_t i = 0; i < c.captions.size(); ++i)
            windows.push_back(sim::AddWindow(b, c.captions[i], Rect(0, 0, c.widths[i], 489)));
        // Every window reaching the centre (400, 300) is at least 400 wide.
        HWND expected = c.expected < 0 ? nullptr : windows[static_cast<size_t>(c.expected)];
        std::string label = c.captions[0] + "/" + std::to_string(c.captions.size());
        EXPECT_EQ(FindDsiLiveWindow(), expected) << label;
        EXPECT_EQ(sim::CallCount(sim::Op::GetWindowTextA), 2)
            << label << ": the title and one caption, nothing after the step";
    }
}

TEST_F(DsiFinderTest, VideoSizeBoundsAreInclusive) {
    const struct {
        LONG width, height;
        bool found;
    } cases[] = {
        {500, 350, true}, {499, 350, false}, {500, 349, false}, {648, 489, true},
    };
    for (const auto& c : cases) {
        sim::Reset();
        sim::AddProcess(DSI_PROCESS, {"DSI.exe"});
        HWND top = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 800, 600), 0,
                                  DSI_PROCESS);
        HWND a = sim::AddWindow(top, "", Rect(0, 0, 800, 600));
        HWND b = sim::AddWindow(a, "", Rect(0, 0, 800, 600));
        HWND video = sim::AddWindow(b, "", Rect(0, 0, c.width, c.height));
        EXPECT_EQ(FindDsiLiveWindow(), c.found ? video : nullptr) << c.width << " x " << c.height;
    }
}

// Every call the search depends on, failing at each of its uses, ends the
// search (or skips the window) without leaving a snapshot open.
TEST_F(DsiFinderTest, EachFailingCallEndsTheSearchQuietly) {
    const sim::Op ops[] = {
        sim::Op::EnumWindows,   sim::Op::GetWindowTextA,         sim::Op::GetWindowThreadProcessId,
        sim::Op::CreateToolhelp32Snapshot, sim::Op::Module32First, sim::Op::GetClientRect,
        sim::Op::ChildWindowFromPoint, sim::Op::CloseHandle,
    };
    for (sim::Op op : ops) {
        for (int nth = 1; nth <= 5; ++nth) {
            sim::Reset();
            DsiScene s = BuildDsiScene();
            sim::FailCall(op, nth);
            HWND found = FindDsiLiveWindow();
            bool faultHit = sim::CallCount(op) >= nth;
            // The result of CloseHandle is not tested, and a failed read of
            // the third-level caption reads as empty, which is not "Help".
            bool survives = !faultHit || op == sim::Op::CloseHandle ||
                            (op == sim::Op::GetWindowTextA && nth == 2);
            EXPECT_EQ(found, survives ? s.video : nullptr) << sim::OpName(op) << " #" << nth;
            if (op == sim::Op::CloseHandle && faultHit) {
                // The close was made; the simulated failure kept the snapshot.
                EXPECT_EQ(sim::CallCount(sim::Op::CloseHandle), 1);
                sim::Reset();
            }
        }
    }
}

// A window that vanishes before the hit-test that would find it leaves its
// parent standing for it (every level here is video-sized); one that
// vanishes later ends the search.
TEST_F(DsiFinderTest, WindowsVanishingDuringTheSearchEndItQuietly) {
    BuildDsiScene();
    FindDsiLiveWindow();
    const long callsPerSearch = sim::TotalCalls();
    // Calls 1 to 6 are the filter's; then GetClientRect and
    // ChildWindowFromPoint in turn for top, a and b.
    const long hitTestCall[] = {0, 8, 10, 12};
    for (int level = 0; level < 4; ++level) {
        for (long after = 0; after < callsPerSearch; ++after) {
            sim::Reset();
            DsiScene s = BuildDsiScene();
            HWND chain[] = {s.top, s.a, s.b, s.video};
            sim::DestroyAfterCalls(chain[level], static_cast<int>(after));
            HWND expected = nullptr;
            if (level > 0 && after < hitTestCall[level]) expected = chain[level - 1];
            EXPECT_EQ(FindDsiLiveWindow(), expected) << "level " << level << " after " << after;
        }
    }
}

TEST_F(DsiFinderTest, TheFilterStoresAMatchInTheSlotAndStops) {
    DsiScene dsi = BuildDsiScene();
    HWND other = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 10, 10), 0, 300);
    sim::AddProcess(300, {"Envisage.exe"});

    const struct {
        HWND window;
        BOOL result;
        HWND slot;
    } cases[] = {
        {dsi.top, FALSE, dsi.top},
        {other, TRUE, nullptr},
        {dsi.video, TRUE, nullptr},  // untitled child of the same process
    };
    for (const auto& c : cases) {
        HWND slot = nullptr;
        EXPECT_EQ(DsiProcessFilter(c.window, reinterpret_cast<LPARAM>(&slot)), c.result);
        EXPECT_EQ(slot, c.slot);
    }
}

}  // namespace
