// Window trees that do not look like the capture programs' own, found by
// the fuzz target and the soak run: whatever they hold, the overlay must
// draw only inside the program it found.
#include "discovery/finders.h"
#include "overlay/overlay_pass.h"
#include "tests/capture_scenes.h"

#include <algorithm>

namespace {

class HostileTreesTest : public SimTest {};

// Another program's top-level window laid out like a tracking panel: a
// video-sized first child followed by a label reading "TRACKING".
HWND AddLookalikePanel(DWORD processId) {
    HWND top = sim::AddWindow(nullptr, "Some other program", Rect(0, 0, 700, 540), 0, processId);
    HWND video = sim::AddWindow(top, "", Rect(0, 0, 648, 489));
    sim::AddWindow(top, "TRACKING", Rect(0, 500, 120, 20));
    return video;
}

// When nothing covers the middle of the Envisage window, the centre
// descent stays on the top-level window itself. Its next siblings are then
// other programs' top-level windows, which are never tracking panels.
TEST_F(HostileTreesTest, TheTrackingWalkNeverLeavesTheEnvisageWindow) {
    const struct {
        const char* name;
        int lookalikes;        // other programs' windows below the Envisage one
        int childLevels;       // levels of children over the Envisage window's middle
        int count;             // expected from the finder
    } cases[] = {
        {"no child, one lookalike below", 1, 0, 1},
        {"no child, three lookalikes below", 3, 0, 1},
        {"no child, five lookalikes below", 5, 0, 1},
        {"one level of children, lookalikes below", 3, 1, 1},
    };
    for (const auto& c : cases) {
        sim::Reset();
        std::vector<HWND> foreign;
        // Added first, so they lie below the Envisage window in Z-order.
        for (int i = 0; i < c.lookalikes; ++i) {
            sim::AddProcess(500 + static_cast<DWORD>(i), {"other.exe"});
            foreign.insert(foreign.begin(), AddLookalikePanel(500 + static_cast<DWORD>(i)));
        }
        sim::AddProcess(ENVISAGE_PROCESS, {"Envisage.exe"});
        HWND top = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 700, 540), 0,
                                  ENVISAGE_PROCESS);
        HWND level = top;
        for (int i = 0; i < c.childLevels; ++i) level = sim::AddWindow(level, "", Rect(0, 0, 700, 540));

        HWND list[ENVISAGE_LIST_SIZE] = {};
        int count = FindEnvisageLiveWindows(list);
        EXPECT_EQ(count, c.count) << c.name;
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(std::count(foreign.begin(), foreign.end(), list[i]), 0)
                << c.name << ": entry " << i << " is another program's window";

        sim::ClearRecords();
        RunOverlayPass();
        for (const sim::Drawing& d : sim::Drawings())
            EXPECT_EQ(std::count(foreign.begin(), foreign.end(), d.window), 0)
                << c.name << ": a cross drawn into another program's window";
    }
}

// Where the descent does reach a panel inside the program, its sibling
// panels are walked as before.
TEST_F(HostileTreesTest, PanelsInsideTheProgramAreStillWalked) {
    EnvisageScene s = BuildEnvisageScene(3);
    AddLookalikePanel(600);
    HWND list[ENVISAGE_LIST_SIZE] = {};
    EXPECT_EQ(FindEnvisageLiveWindows(list), 3);
    EXPECT_EQ(list[0], s.main);
    EXPECT_EQ(list[1], s.tracking[0]);
    EXPECT_EQ(list[2], s.tracking[1]);
}

}  // namespace
