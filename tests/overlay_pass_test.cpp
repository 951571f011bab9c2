// One overlay pass over the capture programs that happen to be running:
// which windows get a cross, with which frame, and in which order.
#include "overlay/overlay_pass.h"
#include "tests/capture_scenes.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

class OverlayPassTest : public SimTest {};

struct Cross {
    HWND window;
    LONG cx, cy, width, height;  // the frame the lines were drawn through
};

const Cross LpiCross(HWND w) { return {w, 320, 240, 640, 480}; }
const Cross DsiCross(HWND w) { return {w, 324, 244, 648, 489}; }

void ExpectCrosses(const std::vector<Cross>& expected, const std::string& scene) {
    const std::vector<sim::Drawing>& drawn = sim::Drawings();
    ASSERT_EQ(drawn.size(), expected.size()) << scene;
    for (size_t i = 0; i < expected.size(); ++i) {
        const Cross& e = expected[i];
        const sim::Drawing& d = drawn[i];
        EXPECT_EQ(d.window, e.window) << scene << ", cross " << i;
        EXPECT_EQ(d.pen, sim::StockObject(WHITE_PEN)) << scene << ", cross " << i;
        ASSERT_EQ(d.points.size(), 4u) << scene << ", cross " << i;
        const POINT want[4] = {{e.cx, 0}, {e.cx, e.height}, {0, e.cy}, {e.width, e.cy}};
        for (size_t p = 0; p < 4; ++p) {
            EXPECT_EQ(d.points[p].x, want[p].x) << scene << ", cross " << i << ", point " << p;
            EXPECT_EQ(d.points[p].y, want[p].y) << scene << ", cross " << i << ", point " << p;
        }
    }
}

TEST_F(OverlayPassTest, EachRunningProgramGetsItsCrossesInOrder) {
    enum Programs { NONE = 0, LPI = 1, ENVISAGE = 2, DSI = 4 };
    const struct {
        unsigned programs;
        int trackingPanels;
        const char* name;
    } cases[] = {
        {NONE, 0, "nothing running"},
        {LPI, 0, "LPI only"},
        {ENVISAGE, 2, "Envisage with two tracking panels"},
        {DSI, 0, "DSI only"},
        {LPI | ENVISAGE | DSI, 4, "all three, four tracking panels"},
        {LPI | ENVISAGE | DSI, 9, "all three, nine tracking panels"},
        {ENVISAGE | DSI, 1, "Envisage with one tracking panel, and DSI"},
    };
    for (const auto& c : cases) {
        sim::Reset();
        // Unrelated windows, one of them with the shared title, around the programs.
        sim::AddProcess(900, {"explorer.exe"});
        sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 800, 600), 0, 900);
        std::vector<Cross> lpi, envisage, dsi;
        if (c.programs & DSI) dsi.push_back(DsiCross(BuildDsiScene().video));
        if (c.programs & LPI) lpi.push_back(LpiCross(BuildLpiScene()));
        if (c.programs & ENVISAGE) {
            EnvisageScene s = BuildEnvisageScene(c.trackingPanels);
            envisage.push_back(DsiCross(s.main));
            int drawnPanels = c.trackingPanels <= 1 ? 0 : std::min(c.trackingPanels, 4) - 1;
            for (int i = 0; i < drawnPanels; ++i)
                envisage.push_back(DsiCross(s.tracking[static_cast<size_t>(i)]));
        }
        sim::AddWindow(nullptr, "Notepad", Rect(0, 0, 800, 600), 0, 900);

        RunOverlayPass();
        std::vector<Cross> expected = lpi;
        expected.insert(expected.end(), envisage.begin(), envisage.end());
        expected.insert(expected.end(), dsi.begin(), dsi.end());
        ASSERT_LE(expected.size(), 6u);
        ExpectCrosses(expected, c.name);
        // All three searches run whatever the others found.
        EXPECT_EQ(sim::CallCount(sim::Op::FindWindowA), 1) << c.name;
        EXPECT_EQ(sim::CallCount(sim::Op::EnumWindows), 2) << c.name;
    }
}

TEST_F(OverlayPassTest, EachStepReportsWhetherItFoundAWindow) {
    const struct {
        bool lpi, envisage, dsi;
    } cases[] = {
        {false, false, false}, {true, false, false}, {false, true, false},
        {false, false, true},  {true, true, true},
    };
    for (const auto& c : cases) {
        sim::Reset();
        if (c.lpi) BuildLpiScene();
        if (c.envisage) BuildEnvisageScene();
        if (c.dsi) BuildDsiScene();
        EXPECT_EQ(OverlayLpi(), c.lpi);
        EXPECT_EQ(OverlayEnvisage(), c.envisage);
        EXPECT_EQ(OverlayDsi(), c.dsi);
        EXPECT_EQ(sim::Drawings().size(), size_t{c.lpi} + c.envisage + c.dsi);
    }
}

// A process with both a DSI first module and an Envisage module passes
// both filters; each finder walks the same window tree its own way.
TEST_F(OverlayPassTest, OneWindowPassingBothFiltersIsWalkedByBoth) {
    sim::AddProcess(300, {"DSI.exe", "Envisage.dll"});
    HWND top = sim::AddWindow(nullptr, "AutoStar Envisage", Rect(0, 0, 1000, 800), 0, 300);
    HWND a = sim::AddWindow(top, "", Rect(0, 0, 1000, 800));
    HWND b = sim::AddWindow(a, "", Rect(0, 0, 1000, 800));
    HWND panel = sim::AddWindow(b, "", Rect(0, 0, 700, 540));  // the DSI finder's video
    HWND video = sim::AddWindow(panel, "", Rect(0, 0, 648, 489));
    HWND tracking = AddTrackingPanel(b);
    AddTrackingPanel(b);

    RunOverlayPass();
    // Envisage first: the main video and the first of two tracking windows;
    // then DSI, which takes the panel under b's centre as its video window.
    ExpectCrosses({DsiCross(video), DsiCross(tracking), DsiCross(panel)}, "both filters");
    EXPECT_EQ(sim::CallCount(sim::Op::CreateToolhelp32Snapshot), 2);
}

// A step that fails does not keep the later ones from drawing.
TEST_F(OverlayPassTest, AFailingSearchDoesNotStopTheOthers) {
    const struct {
        sim::Op op;
        int nth;
        bool lpi, envisage, dsi;
    } cases[] = {
        {sim::Op::FindWindowA, 1, false, true, true},
        {sim::Op::EnumWindows, 1, true, false, true},
        {sim::Op::EnumWindows, 2, true, true, false},
        {sim::Op::GetDC, 1, false, true, true},
        {sim::Op::GetDC, 2, true, false, true},
        {sim::Op::GetDC, 3, true, true, false},
    };
    for (const auto& c : cases) {
        sim::Reset();
        HWND lpi = BuildLpiScene();
        HWND envisage = BuildEnvisageScene().main;
        HWND dsi = BuildDsiScene().video;
        sim::FailCall(c.op, c.nth);
        RunOverlayPass();
        std::vector<Cross> expected;
        if (c.lpi) expected.push_back(LpiCross(lpi));
        if (c.envisage) expected.push_back(DsiCross(envisage));
        if (c.dsi) expected.push_back(DsiCross(dsi));
        ExpectCrosses(expected, std::string(sim::OpName(c.op)) + " #" + std::to_string(c.nth));
    }
}

}  // namespace
