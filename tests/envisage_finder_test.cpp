// The Envisage finder against its program's layout bent into near misses:
// the "AutoStar Envisage" window it takes by any module of its process, the
// main live window, and the walk along the tracking panels with its count.
#include "discovery/finders.h"
#include "tests/sim_fixture.h"
#include "tests/sim_layouts.h"

#include <string>
#include <vector>

namespace {

class EnvisageFinderTest : public SimTest {};

// A list whose untouched entries can be told from written ones.
struct List {
    HWND slots[ENVISAGE_LIST_SIZE];
    List() { for (HWND& h : slots) h = reinterpret_cast<HWND>(0xBAD0); }
};

std::string PanelVideo(int panel) { return "panel " + std::to_string(panel) + " video"; }

// The main window and then at most four panels are gathered and written;
// all but the last gathered are counted; nothing beyond is looked at.
TEST_F(EnvisageFinderTest, CountsTheMainWindowAndAllButTheLastTrackingWindow) {
    const struct {
        const char* options;
        int count;     // returned
        int gathered;  // entries written
        long steps;    // GetWindow calls
    } cases[] = {
        {"--tracking 0", 1, 1, 1},  {"--tracking 1", 1, 2, 4},  {"--tracking 2", 2, 3, 7},
        {"--tracking 3", 3, 4, 10}, {"--tracking 4", 4, 5, 12}, {"--tracking 5", 4, 5, 12},
        {"--tracking 7", 4, 5, 12},
        // A main window too small: nothing, and no panel looked at.
        {"--tracking 3 --video 499x350", 0, 0, 0}, {"--tracking 3 --video 500x349", 0, 0, 0},
    };
    for (const auto& c : cases) {
        Built env = BuildAfresh("envisage", c.options);
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), c.count) << c.options;
        for (int i = 0; i < c.gathered; ++i)
            EXPECT_EQ(list.slots[i], env[i ? PanelVideo(i) : "main video"]) << c.options << ", entry " << i;
        for (int i = c.gathered; i < ENVISAGE_LIST_SIZE; ++i)
            EXPECT_EQ(list.slots[i], reinterpret_cast<HWND>(0xBAD0)) << c.options << ", entry " << i << " written";
        EXPECT_EQ(sim::CallCount(sim::Op::GetWindow), c.steps) << c.options;
    }
}

// The second of three panels decides whether the walk goes on to the third:
// by its label, read in any ASCII case, or by its video's size.
TEST_F(EnvisageFinderTest, TheWalkStopsAtThePanelThatDoesNotFit) {
    const struct {
        std::string label;
        LONG width, height;  // of its video; 0 for the layout's own
        int count;
    } cases[] = {
        {"Tracking", 0, 0, 3},
        {"tRaCkInG", 0, 0, 3},
        {"TRACKING", 500, 350, 3},
        {"TRACKING ", 0, 0, 1},
        {" TRACKING", 0, 0, 1},
        {"TRACKIN", 0, 0, 1},
        {"TRACKINGS", 0, 0, 1},
        {"TRACKING " + std::string(30, 'x'), 0, 0, 1},  // cut at 30, still longer
        {"TR\xc1" "CKING", 0, 0, 1},                     // not an ASCII "A"
        {"", 0, 0, 1},
        {"TRACKING", 499, 489, 1},
        {"TRACKING", 648, 349, 1},
    };
    for (const auto& c : cases) {
        Built env = BuildAfresh("envisage", "--tracking 3");
        sim::SetCaption(env["panel 2 label"], c.label);
        if (c.width) {
            // The panel's video made again at that size, above its label.
            sim::DestroyWindow(env[PanelVideo(2)]);
            sim::DestroyWindow(env["panel 2 label"]);
            sim::AddWindow(env["panel 2"], "", Rect(0, 20, c.width, c.height));
            sim::AddWindow(env["panel 2"], c.label, Rect(0, 0, c.width, 20));
        }
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), c.count)
            << '"' << c.label << "\" " << c.width << " x " << c.height;
    }
}

TEST_F(EnvisageFinderTest, PanelsMissingAPieceEndTheWalk) {
    for (const char* gone : {"panel 2 video", "panel 2 label"}) {
        Built env = BuildAfresh("envisage", "--tracking 3");
        sim::DestroyWindow(env[gone]);
        if (std::string(gone) == "panel 2 video") sim::DestroyWindow(env["panel 2 label"]);
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), 1) << gone;
    }
}

TEST_F(EnvisageFinderTest, AnyModuleNamingEnvisageInAnyCaseIsEnough) {
    const std::string long255 = std::string(247, 'x') + "envisage";
    const std::string long300 = std::string(250, 'x') + "ENVISAGE.dll";  // cut inside the word
    const struct {
        std::vector<std::string> modules;
        bool found;
        long nexts;  // Module32Next calls: the walk stops at the first match
    } cases[] = {
        {{"Envisage.exe"}, true, 0},
        {{"ENVISAGE.EXE"}, true, 0},
        {{"autostar.exe", "ntdll.dll", "eNvIsAgE_core.dll"}, true, 2},
        {{"DSI.exe", "envisage.dll", "ENVISAGE2.dll"}, true, 1},
        {{"\xe9" "envisage\xe9.dll"}, true, 0},
        {{"a.exe", long255}, true, 1},
        {{"a.exe", long300}, false, 2},
        {{"DSI.exe", "kernel32.dll"}, false, 2},
        {{"envisag.exe", "nvisage.dll", "ENVI SAGE.dll"}, false, 3},
        {{}, false, 0},
    };
    for (const auto& c : cases) {
        Built env = BuildAfresh("envisage");
        sim::AddProcess(BUILD_PROCESS, c.modules);
        List list;
        std::string label = c.modules.empty() ? "(none)" : c.modules.back();
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), c.found ? 1 : 0) << label;
        EXPECT_EQ(list.slots[0], c.found ? env["main video"] : reinterpret_cast<HWND>(0xBAD0))
            << label;
        EXPECT_EQ(sim::CallCount(sim::Op::Module32Next), c.nexts) << label;
    }
}

// Before the main window is accepted every failure gives 0; while walking
// the panels a failure only ends the walk.
TEST_F(EnvisageFinderTest, FailuresBeforeTheMainWindowGiveNothingLaterOnlyEndTheWalk) {
    const struct {
        sim::Op op;
        int nth;
        int count;
    } cases[] = {
        {sim::Op::EnumWindows, 1, 0},
        {sim::Op::GetWindowTextA, 1, 0},  // the title
        {sim::Op::GetWindowThreadProcessId, 1, 0},
        {sim::Op::CreateToolhelp32Snapshot, 1, 0},
        {sim::Op::Module32First, 1, 0},
        {sim::Op::Module32Next, 1, 0},    // the module sits second
        {sim::Op::GetClientRect, 1, 0},
        {sim::Op::GetClientRect, 4, 0},
        {sim::Op::GetClientRect, 5, 0},   // the main window's size
        {sim::Op::ChildWindowFromPoint, 4, 0},
        {sim::Op::GetWindow, 1, 1},       // first panel's sibling step
        {sim::Op::GetWindow, 2, 1},       // its video
        {sim::Op::GetWindow, 3, 1},       // its label
        {sim::Op::GetClientRect, 6, 1},   // its video's size
        {sim::Op::GetWindowTextA, 2, 1},  // its label: read as empty
        {sim::Op::GetWindow, 4, 1},       // second panel: one panel gathered
        {sim::Op::GetWindowTextA, 3, 1},
        {sim::Op::GetWindow, 7, 2},       // third panel: two gathered
        {sim::Op::GetWindowTextA, 5, 3},  // fourth label
    };
    for (const auto& c : cases) {
        BuildAfresh("envisage", "--tracking 4");
        sim::FailCall(c.op, c.nth);
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), c.count)
            << sim::OpName(c.op) << " #" << c.nth;
    }
}

// The third tracking video vanishing at any point of the walk: until its
// label has been found the walk ends before it (main and first panel are
// drawn); after that it is gathered like the others.
TEST_F(EnvisageFinderTest, AVideoVanishingDuringTheWalkEndsItThere) {
    Build("envisage", "--tracking 4");
    List list;
    ASSERT_EQ(FindEnvisageLiveWindows(list.slots), 4);
    const long callsPerSearch = sim::TotalCalls();
    int previous = 2;
    for (long after = 0; after <= callsPerSearch; ++after) {
        Built env = BuildAfresh("envisage", "--tracking 4");
        sim::DestroyAfterCalls(env[PanelVideo(3)], static_cast<int>(after));
        int count = FindEnvisageLiveWindows(list.slots);
        EXPECT_TRUE(count == 2 || count == 4) << "after " << after << ": " << count;
        EXPECT_GE(count, previous) << "after " << after;
        previous = count;
    }
    EXPECT_EQ(previous, 4);
}

}  // namespace
