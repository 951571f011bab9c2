// The DSI finder: which "AutoStar Envisage" window it takes by its first
// module, and the descent from there to the live video window, against the
// program's layout bent into near misses.
#include "discovery/finders.h"
#include "tests/sim_fixture.h"
#include "tests/sim_layouts.h"

#include <string>
#include <vector>

namespace {

class DsiFinderTest : public SimTest {};
using sim::Op;

TEST_F(DsiFinderTest, OnlyTheFirstModuleNameIsSearchedForDsiInAnyCase) {
    const std::string long255 = std::string(252, 'x') + "dsi";
    const std::string long300 = std::string(280, 'x') + "DSI.exe";  // cut before "DSI"
    const struct {
        std::vector<std::string> modules;
        bool found;
    } cases[] = {
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
        Built dsi = BuildAfresh("dsi");
        sim::AddProcess(BUILD_PROCESS, c.modules);
        std::string first = c.modules.empty() ? "(none)" : c.modules[0];
        EXPECT_EQ(FindDsiLiveWindow(), c.found ? dsi["video"] : nullptr) << "first module " << first;
        EXPECT_EQ(sim::CallCount(Op::Module32Next), 0) << "first module " << first;
    }
}

TEST_F(DsiFinderTest, TheFirstMatchingWindowInZOrderWinsAndEndsTheEnumeration) {
    Built lower = Build("dsi", "", 101);
    sim::AddWindow(nullptr, "Unrelated", Rect(0, 0, 800, 600), 0, 300);
    Built upper = Build("dsi", "", 102);
    sim::AddWindow(nullptr, "Above both", Rect(0, 0, 800, 600), 0, 301);

    EXPECT_EQ(FindDsiLiveWindow(), upper["video"]);
    EXPECT_NE(upper["video"], lower["video"]);
    EXPECT_EQ(sim::CallCount(Op::CreateToolhelp32Snapshot), 1)
        << "the lower window's process was looked at";
    EXPECT_EQ(sim::CallCount(Op::CloseHandle), 1);
}

// Only a "Help" captioned exactly so is stepped over, once, to its next
// sibling, which is size-tested whatever its caption; no caption is read
// after the step.
TEST_F(DsiFinderTest, HelpIsSteppedOverToAnUncheckedSibling) {
    const struct {
        const char* options;
        const char* role;  // the window recaptioned, or gone when the caption is null
        const char* caption;
        const char* found;  // the role found, or none
    } cases[] = {
        {"--help-window", "video", "Live", "video"},
        {"--help-window", "video", "Help", "video"},  // a second "Help" is taken as it is
        {"--help-window", "video", nullptr, nullptr},  // no sibling to step to
        {"--help-window", "help", "help", "help"},     // no step: the help window is video-sized
        {"--help-window", "help", "Live", "help"},
        {"--help-window --video 500x350", "help", "help", nullptr},  // no step, too small
    };
    for (const auto& c : cases) {
        Built dsi = BuildAfresh("dsi", c.options);
        if (c.caption)
            sim::SetCaption(dsi[c.role], c.caption);
        else
            sim::DestroyWindow(dsi[c.role]);
        std::string label = std::string(c.options) + " " + c.role + " " + (c.caption ? c.caption : "gone");
        EXPECT_EQ(FindDsiLiveWindow(), c.found ? dsi[c.found] : nullptr) << label;
        EXPECT_EQ(sim::CallCount(Op::GetWindowTextA), 2)
            << label << ": the title and one caption, nothing after the step";
    }
}

// Every call the search depends on, failing at each of its uses, ends the
// search (or skips the window) without leaving a snapshot open.
TEST_F(DsiFinderTest, EachFailingCallEndsTheSearchQuietly) {
    const Op ops[] = {Op::EnumWindows, Op::GetWindowTextA, Op::GetWindowThreadProcessId,
                      Op::CreateToolhelp32Snapshot, Op::Module32First, Op::GetClientRect,
                      Op::ChildWindowFromPoint, Op::CloseHandle};
    for (Op op : ops) {
        for (int nth = 1; nth <= 5; ++nth) {
            Built dsi = BuildAfresh("dsi");
            sim::FailCall(op, nth);
            HWND found = FindDsiLiveWindow();
            bool faultHit = sim::CallCount(op) >= nth;
            // The result of CloseHandle is not tested, and a failed read of
            // the third-level caption reads as empty, which is not "Help".
            bool survives =
                !faultHit || op == Op::CloseHandle || (op == Op::GetWindowTextA && nth == 2);
            EXPECT_EQ(found, survives ? dsi["video"] : nullptr) << sim::OpName(op) << " #" << nth;
            if (op == Op::CloseHandle && faultHit) {
                // The close was made; the simulated failure kept the snapshot.
                EXPECT_EQ(sim::CallCount(Op::CloseHandle), 1);
                sim::Reset();
            }
        }
    }
}

// A window that vanishes before the hit-test that would find it leaves its
// parent standing for it (every level here is video-sized); one that
// vanishes later ends the search.
TEST_F(DsiFinderTest, WindowsVanishingDuringTheSearchEndItQuietly) {
    Build("dsi");
    FindDsiLiveWindow();
    const long callsPerSearch = sim::TotalCalls();
    // Calls 1 to 6 are the filter's; then GetClientRect and
    // ChildWindowFromPoint in turn for top, a and b.
    const long hitTestCall[] = {0, 8, 10, 12};
    const char* const chain[] = {"top", "a", "b", "video"};
    for (int level = 0; level < 4; ++level) {
        for (long after = 0; after < callsPerSearch; ++after) {
            Built dsi = BuildAfresh("dsi");
            sim::DestroyAfterCalls(dsi[chain[level]], static_cast<int>(after));
            HWND expected = nullptr;
            if (level > 0 && after < hitTestCall[level]) expected = dsi[chain[level - 1]];
            EXPECT_EQ(FindDsiLiveWindow(), expected) << chain[level] << " after " << after;
        }
    }
}

}  // namespace
