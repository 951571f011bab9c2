// The rules the fuzz target and the soak run judge every pass by: each one
// must catch the fault it stands for, or the long runs prove nothing. Also
// the simulation's records those rules read.
#include "discovery/finders.h"
#include "discovery/probing.h"
#include "overlay/crosshair.h"
#include "tests/pass_checks.h"
#include "tests/sim_fixture.h"

#include <functional>
#include <string>

namespace {

// Paints a cross by hand, so a test can draw the way a faulty pass would.
void Paint(HWND window, LONG width, LONG height, int pen = WHITE_PEN, bool release = true,
           bool restore = true) {
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, GetStockObject(pen));
    const POINT points[4] = {{width / 2, 0}, {width / 2, height}, {0, height / 2}, {width, height / 2}};
    const DWORD counts[2] = {2, 2};
    PolyPolyline(dc, points, counts, 2);
    if (restore) SelectObject(dc, previous);
    if (release) ReleaseDC(window, dc);
}

struct Scene {
    scenes::Model model;
    scenes::Program lpi, dsi, envisage;
    HWND stray = nullptr;  // a big window under no capture program
};

void Build(Scene& s) {
    s.lpi = scenes::AddLpiProgram(s.model, {});
    scenes::AddProcess(s.model, 2, {"DSI.exe"});
    s.dsi = scenes::AddDsiProgram(s.model, {}, 2);
    scenes::AddProcess(s.model, 3, {"AutoStar.exe", "Envisage.dll"});
    scenes::EnvisageLayout env;
    env.trackingPanels = 5;
    s.envisage = scenes::AddEnvisageProgram(s.model, env, 3);
    s.stray = scenes::Add(s.model, nullptr, "Notepad", RECT{0, 0, 800, 600});
}

class CheckPassTest : public SimTest {
protected:
    void TearDown() override {
        // Some cases leave things open on purpose; the rules under test saw them.
        sim::Reset();
        SimTest::TearDown();
    }
};

TEST_F(CheckPassTest, EachBrokenRuleIsReported) {
    const struct {
        const char* name;
        std::function<void(Scene&)> pass;
        const char* expected;  // part of the problem reported, or "" for none
        bool selectMayFail;
    } cases[] = {
        {"a proper LPI step",
         [](Scene&) { DrawCrosshair(FindLpiLiveWindow(), FRAME_LPI); }, "", false},
        {"size-tested DSI and Envisage windows",
         [](Scene& s) {
             for (HWND w : {s.dsi.videos[0], s.envisage.videos[0], s.envisage.videos[1]}) {
                 IsVideoSized(w);
                 DrawCrosshair(w, FRAME_DSI);
             }
         },
         "", false},
        {"a context never released",
         [](Scene& s) { IsVideoSized(s.lpi.videos[0]); Paint(s.lpi.videos[0], 640, 480, WHITE_PEN, false); },
         "device contexts left open", false},
        {"a snapshot never closed",
         [](Scene&) { CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 2); }, "snapshots left open", false},
        {"the pen left in the context",
         [](Scene& s) { IsVideoSized(s.lpi.videos[0]); Paint(s.lpi.videos[0], 640, 480, WHITE_PEN, true, false); },
         "white pen still selected", false},
        {"the pen left in the context after a select was made to fail",
         [](Scene& s) { IsVideoSized(s.lpi.videos[0]); Paint(s.lpi.videos[0], 640, 480, WHITE_PEN, true, false); },
         "", true},
        {"the black pen",
         [](Scene& s) { IsVideoSized(s.lpi.videos[0]); Paint(s.lpi.videos[0], 640, 480, BLACK_PEN); },
         "not the white pen", false},
        {"the LPI frame on the DSI program",
         [](Scene& s) { IsVideoSized(s.dsi.videos[0]); DrawCrosshair(s.dsi.videos[0], FRAME_LPI); },
         "LPI frame on a window not under", false},
        {"the DSI frame on the LPI program",
         [](Scene& s) { IsVideoSized(s.lpi.videos[0]); DrawCrosshair(s.lpi.videos[0], FRAME_DSI); },
         "DSI frame on a window of neither", false},
        {"the DSI frame on a stray window",
         [](Scene& s) { IsVideoSized(s.stray); DrawCrosshair(s.stray, FRAME_DSI); },
         "DSI frame on a window of neither", false},
        {"lines of no frame",
         [](Scene& s) { IsVideoSized(s.lpi.videos[0]); Paint(s.lpi.videos[0], 600, 400); },
         "lines of neither frame", false},
        {"a window never size-tested",
         [](Scene& s) { DrawCrosshair(s.lpi.videos[0], FRAME_LPI); },
         "without being seen video-sized", false},
        {"a window size-tested only after it was drawn on",
         [](Scene& s) { DrawCrosshair(s.lpi.videos[0], FRAME_LPI); IsVideoSized(s.lpi.videos[0]); },
         "without being seen video-sized", false},
        {"a window that was too small",
         [](Scene& s) {
             HWND small = scenes::Add(s.model, s.lpi.videos[0], "", RECT{0, 0, 499, 350});
             IsVideoSized(small);
             DrawCrosshair(small, FRAME_LPI);
         },
         "without being seen video-sized", false},
        {"two LPI crosses",
         [](Scene& s) {
             for (int i = 0; i < 2; ++i) { IsVideoSized(s.lpi.videos[0]); DrawCrosshair(s.lpi.videos[0], FRAME_LPI); }
         },
         "2 crosses with the LPI frame", false},
        {"six DSI crosses",
         [](Scene& s) {
             for (HWND w : s.envisage.videos) { IsVideoSized(w); DrawCrosshair(w, FRAME_DSI); }
         },
         "6 crosses with the DSI frame", false},
        {"seven crosses",
         [](Scene& s) {
             for (HWND w : s.envisage.videos) { IsVideoSized(w); DrawCrosshair(w, FRAME_DSI); }
             IsVideoSized(s.lpi.videos[0]);
             DrawCrosshair(s.lpi.videos[0], FRAME_LPI);
         },
         "7 crosses in one pass", false},
    };
    for (const auto& c : cases) {
        sim::Reset();
        Scene s;
        Build(s);
        sim::ClearRecords();
        c.pass(s);
        scenes::PassReport report = scenes::CheckPass(s.model, c.selectMayFail);
        std::string all;
        for (const std::string& p : report.problems) all += p + "\n";
        if (*c.expected == '\0') {
            EXPECT_TRUE(report.problems.empty()) << c.name << ": expected no problem, got\n" << all;
        } else {
            EXPECT_TRUE(all.find(c.expected) != std::string::npos)
                << c.name << ": expected a problem containing \"" << c.expected << "\", got\n"
                << all;
        }
    }
}

TEST_F(CheckPassTest, OnlyTheDsiAndEnvisageProgramsAcceptTheDsiFrame) {
    const std::string longName = std::string(254, 'x') + "DSI.exe";  // the word falls past 255
    const struct {
        const char* title;
        std::vector<std::string> modules;
        DWORD processId;
        bool ended, denied;
        bool accepted;
    } cases[] = {
        {"AutoStar Envisage", {"DSI.exe"}, 2, false, false, true},
        {"AutoStar Envisage", {"my_dsi.EXE", "x.dll"}, 2, false, false, true},
        {"AutoStar Envisage", {"AutoStar.exe", "DSI.dll"}, 2, false, false, false},
        {"AutoStar Envisage", {"AutoStar.exe", "x.dll", "envisage.ocx"}, 2, false, false, true},
        {"AutoStar Envisage", {"AutoStar.exe", "ENVISAG.dll"}, 2, false, false, false},
        {"AutoStar Envisage", {longName}, 2, false, false, false},
        {"AutoStar Envisage", {}, 2, false, false, false},
        {"AutoStar Envisage", {"DSI.exe"}, 0, false, false, false},
        {"AutoStar Envisage", {"DSI.exe"}, 2, true, false, false},
        {"AutoStar Envisage", {"DSI.exe"}, 2, false, true, false},
        {"AutoStar Envisage ", {"DSI.exe"}, 2, false, false, false},
        {"autostar envisage", {"DSI.exe"}, 2, false, false, false},
    };
    for (const auto& c : cases) {
        sim::Reset();
        scenes::Model model;
        scenes::AddProcess(model, c.processId, c.modules);
        if (c.ended) scenes::EndProcess(model, c.processId);
        if (c.denied) scenes::DenySnapshots(model, c.processId);
        HWND top = scenes::Add(model, nullptr, c.title, RECT{0, 0, 800, 600}, 0, c.processId);
        HWND deep = scenes::Add(model, scenes::Add(model, top, "", RECT{0, 0, 800, 600}), "",
                                RECT{0, 0, 800, 600});
        EXPECT_EQ(scenes::UnderDsiOrEnvisageProgram(model, deep), c.accepted)
            << '"' << c.title << "\" process " << c.processId
            << (c.modules.empty() ? "" : " first module " + c.modules[0].substr(0, 20));
    }
}

class SimRecordsTest : public SimTest {};

TEST_F(SimRecordsTest, PeaksCountWhatWasOpenAtOnce) {
    HWND w = sim::AddWindow(nullptr, "", Rect(0, 0, 10, 10));
    sim::AddProcess(7, {"a.exe"});
    HDC first = GetDC(w);
    HDC second = GetDC(w);
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 7);
    ReleaseDC(w, first);
    ReleaseDC(w, second);
    CloseHandle(snap);
    HDC third = GetDC(w);
    ReleaseDC(w, third);
    EXPECT_EQ(sim::PeakOpenDCs(), 2);
    EXPECT_EQ(sim::PeakOpenSnapshots(), 1);
    EXPECT_EQ(sim::OpenDCs(), 0);
    sim::Reset();
    EXPECT_EQ(sim::PeakOpenDCs(), 0);
}

TEST_F(SimRecordsTest, ClientRectAnswersAreTheSuccessfulOnesInCallOrder) {
    HWND big = sim::AddWindow(nullptr, "", Rect(5, 5, 640, 480));
    HWND gone = sim::AddWindow(nullptr, "", Rect(0, 0, 10, 10));
    sim::DestroyWindow(gone);
    RECT r;
    GetClientRect(big, &r);
    GetClientRect(gone, &r);
    sim::FailCall(sim::Op::GetClientRect);
    GetClientRect(big, &r);
    DrawCrosshair(big, FRAME_LPI);

    const auto& answers = sim::ClientRectAnswers();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].window, big);
    EXPECT_EQ(answers[0].rect.right, 640);
    EXPECT_EQ(answers[0].rect.bottom, 480);
    EXPECT_EQ(answers[0].call, 1);
    EXPECT_EQ(answers[1].call, 4);  // DrawCrosshair's own read
    ASSERT_EQ(sim::Drawings().size(), 1u);
    EXPECT_GT(sim::Drawings()[0].call, answers[1].call);

    sim::ClearRecords();
    EXPECT_TRUE(sim::ClientRectAnswers().empty());
    EXPECT_TRUE(sim::Drawings().empty());
    EXPECT_GT(sim::TotalCalls(), 0) << "clearing records keeps the counts";
}

}  // namespace
