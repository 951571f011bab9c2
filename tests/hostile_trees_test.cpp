// Window trees that do not look like the capture programs' own, found by
// the fuzz target and the soak run: whatever they hold, the overlay must
// draw only inside the program it found.
#include "discovery/finders.h"
#include "overlay/overlay_pass.h"
#include "tests/sim_fixture.h"
#include "tests/sim_layouts.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

class HostileTreesTest : public SimTest {};

// Another program's top-level window laid out like a tracking panel: a
// video-sized first child followed by a label reading "TRACKING".
HWND AddLookalikePanel(DWORD processId) {
    sim::AddProcess(processId, {"other.exe"});
    HWND top = sim::AddWindow(nullptr, "Some other program", Rect(0, 0, 700, 540), 0, processId);
    HWND video = sim::AddWindow(top, "", Rect(0, 0, 648, 489));
    sim::AddWindow(top, "TRACKING", Rect(0, 500, 120, 20));
    return video;
}

// When nothing covers the middle of the Envisage window, the centre descent
// stays on the top-level window itself. Its next siblings are then other
// programs' top-level windows, which are never tracking panels; where the
// descent does reach a panel, its sibling panels are walked as before.
TEST_F(HostileTreesTest, TheTrackingWalkNeverLeavesTheEnvisageWindow) {
    const struct {
        const char* gone;  // the window taken from the program's tree, with all below it
        int lookalikes;    // other programs' windows below the Envisage one
        int count;         // expected from the finder
    } cases[] = {
        {"a", 1, 1}, {"a", 3, 1}, {"a", 5, 1},
        {"b", 3, 1},        // one level of children over the middle
        {nullptr, 3, 3},    // the program whole: main and two of three panels
    };
    for (const auto& c : cases) {
        sim::Reset();
        std::vector<HWND> foreign;
        // Made first, so they lie below the Envisage window in Z-order.
        for (int i = 0; i < c.lookalikes; ++i) foreign.push_back(AddLookalikePanel(500 + static_cast<DWORD>(i)));
        Built env = Build("envisage", "--tracking 3");
        if (c.gone) sim::DestroyWindow(env[c.gone]);
        const std::string name = std::string(c.gone ? c.gone : "nothing") + " gone";

        HWND list[ENVISAGE_LIST_SIZE] = {};
        int count = FindEnvisageLiveWindows(list);
        EXPECT_EQ(count, c.count) << name << ", " << c.lookalikes;
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(std::count(foreign.begin(), foreign.end(), list[i]), 0)
                << name << ": entry " << i << " is another program's window";

        sim::ClearRecords();
        RunOverlayPass();
        for (const sim::Drawing& d : sim::Drawings())
            EXPECT_EQ(std::count(foreign.begin(), foreign.end(), d.window), 0)
                << name << ": a cross drawn into another program's window";
    }
}

}  // namespace
