// The Envisage finder: which "AutoStar Envisage" window it takes by any of
// its process's modules, the main live window, and the walk along the
// tracking panels with the count it gives back.
#include "discovery/finders.h"
#include "tests/capture_scenes.h"

#include <string>
#include <vector>

namespace {

class EnvisageFinderTest : public SimTest {};

// A list whose untouched entries can be told from written ones.
struct List {
    HWND slots[ENVISAGE_LIST_SIZE];
    List() {
        for (HWND& h : slots) h = reinterpret_cast<HWND>(0xBAD0);
    }
};

TEST_F(EnvisageFinderTest, CountsTheMainWindowAndAllButTheLastTrackingWindow) {
    const struct {
        int panels;
        int count;     // returned
        int gathered;  // entries written
    } cases[] = {
        {0, 1, 1}, {1, 1, 2}, {2, 2, 3}, {3, 3, 4}, {4, 4, 5}, {5, 4, 5}, {7, 4, 5},
    };
    for (const auto& c : cases) {
        sim::Reset();
        EnvisageScene s = BuildEnvisageScene(c.panels);
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), c.count) << c.panels << " panels";
        EXPECT_EQ(list.slots[0], s.main) << c.panels << " panels";
        for (int i = 1; i < c.gathered; ++i)
            EXPECT_EQ(list.slots[i], s.tracking[static_cast<size_t>(i - 1)])
                << c.panels << " panels, entry " << i;
        for (int i = c.gathered; i < ENVISAGE_LIST_SIZE; ++i)
            EXPECT_EQ(list.slots[i], reinterpret_cast<HWND>(0xBAD0))
                << c.panels << " panels, entry " << i << " written";
        // Beyond the fourth panel nothing is looked at.
        EXPECT_EQ(sim::CallCount(sim::Op::GetWindow),
                  3 * (c.gathered - 1) + (c.panels < MAX_ENVISAGE_SLOTS - 1 ? 1 : 0))
            << c.panels << " panels";
    }
}

// Panels before the second one count; the second one decides whether the
// walk goes on to the third.
TEST_F(EnvisageFinderTest, TheWalkStopsAtThePanelThatDoesNotFit) {
    const struct {
        std::string label;
        LONG width, height;
        int count;
    } cases[] = {
        {"TRACKING", 648, 489, 3},
        {"tracking", 648, 489, 3},
        {"Tracking", 648, 489, 3},
        {"tRaCkInG", 648, 489, 3},
        {"TRACKING", 500, 350, 3},
        {"TRACKING ", 648, 489, 1},
        {" TRACKING", 648, 489, 1},
        {"TRACKIN", 648, 489, 1},
        {"TRACKINGS", 648, 489, 1},
        {"TRACKING " + std::string(30, 'x'), 648, 489, 1},  // cut at 30, still longer
        {"TR\xc1" "CKING", 648, 489, 1},                     // not an ASCII "A"
        {"Live", 648, 489, 1},
        {"", 648, 489, 1},
        {"TRACKING", 499, 489, 1},
        {"TRACKING", 648, 349, 1},
    };
    for (const auto& c : cases) {
        sim::Reset();
        EnvisageScene s = BuildEnvisageScene(1);
        AddTrackingPanel(s.b, c.label, c.width, c.height);
        AddTrackingPanel(s.b);
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), c.count)
            << '"' << c.label << "\" " << c.width << " x " << c.height;
    }
}

TEST_F(EnvisageFinderTest, PanelsMissingAPieceEndTheWalk) {
    enum Shape { NO_CHILD, NO_LABEL };
    const Shape shapes[] = {NO_CHILD, NO_LABEL};
    for (Shape shape : shapes) {
        sim::Reset();
        EnvisageScene s = BuildEnvisageScene(1);
        HWND panel = sim::AddWindow(s.b, "", Rect(0, 0, 700, 540));
        if (shape == NO_LABEL) sim::AddWindow(panel, "", Rect(0, 0, 648, 489));
        AddTrackingPanel(s.b);
        AddTrackingPanel(s.b);
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), 1) << "shape " << shape;
    }
}

TEST_F(EnvisageFinderTest, ASmallMainWindowGivesNothingAndNoPanelIsLookedAt) {
    const struct {
        LONG width, height;
        int count;
    } cases[] = {
        {500, 350, 3}, {499, 350, 0}, {500, 349, 0}, {360, 280, 0},  // all cover the centre
    };
    for (const auto& c : cases) {
        sim::Reset();
        BuildEnvisageScene(3, ENVISAGE_PROCESS, {"Envisage.exe"}, c.width, c.height);
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), c.count) << c.width << " x " << c.height;
        if (c.count == 0) {
            EXPECT_EQ(sim::CallCount(sim::Op::GetWindow), 0);
        }
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
        sim::Reset();
        EnvisageScene s = BuildEnvisageScene(0, ENVISAGE_PROCESS, c.modules);
        List list;
        std::string label = c.modules.empty() ? "(none)" : c.modules.back();
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), c.found ? 1 : 0) << label;
        if (c.found) {
            EXPECT_EQ(list.slots[0], s.main) << label;
        }
        EXPECT_EQ(sim::CallCount(sim::Op::Module32Next), c.nexts) << label;
    }
}

TEST_F(EnvisageFinderTest, OnlyTheExactTitleIsLookedInto) {
    const struct {
        std::string title;
        bool found;
    } cases[] = {
        {"AutoStar Envisage", true},
        {"AutoStar Envisage 2", false},
        {"autostar envisage", false},
        {"AutoStar Envisage - Tracking view", false},
    };
    for (const auto& c : cases) {
        sim::Reset();
        EnvisageScene s = BuildEnvisageScene();
        sim::SetCaption(s.top, c.title);
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), c.found ? 1 : 0) << c.title;
        EXPECT_EQ(sim::CallCount(sim::Op::CreateToolhelp32Snapshot), c.found ? 1 : 0) << c.title;
    }
}

TEST_F(EnvisageFinderTest, AnUnreadableProcessIsSkippedAndTheNextWindowTaken) {
    const struct {
        void (*spoil)(DWORD);
        const char* name;
    } cases[] = {
        {sim::EndProcess, "process ended"},
        {sim::DenySnapshots, "access denied"},
    };
    for (const auto& c : cases) {
        sim::Reset();
        EnvisageScene lower = BuildEnvisageScene(2, 201);
        BuildEnvisageScene(4, 202);
        c.spoil(202);
        List list;
        EXPECT_EQ(FindEnvisageLiveWindows(list.slots), 2) << c.name;
        EXPECT_EQ(list.slots[0], lower.main) << c.name;
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
        sim::Reset();
        BuildEnvisageScene(4, ENVISAGE_PROCESS, {"host.exe", "Envisage.dll"});
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
    BuildEnvisageScene(4);
    List list;
    ASSERT_EQ(FindEnvisageLiveWindows(list.slots), 4);
    const long callsPerSearch = sim::TotalCalls();
    int previous = 2;
    for (long after = 0; after <= callsPerSearch; ++after) {
        sim::Reset();
        EnvisageScene s = BuildEnvisageScene(4);
        sim::DestroyAfterCalls(s.tracking[2], static_cast<int>(after));
        int count = FindEnvisageLiveWindows(list.slots);
        EXPECT_TRUE(count == 2 || count == 4) << "after " << after << ": " << count;
        EXPECT_GE(count, previous) << "after " << after;
        previous = count;
    }
    EXPECT_EQ(previous, 4);
}

}  // namespace
