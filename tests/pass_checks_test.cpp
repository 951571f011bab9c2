// The rules the fuzz target and the soak run judge every pass by: each one
// must catch the fault it stands for, or the long runs prove nothing. Also
// the simulation's records those rules read.
#include "discovery/probing.h"
#include "overlay/crosshair.h"
#include "overlay/overlay_pass.h"
#include "tests/pass_checks.h"
#include "tests/sim_fixture.h"

#include <functional>
#include <string>
#include <vector>

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

// Every registered program in its usual look, and a big window under none.
struct Scene {
    scenes::Model model;
    HWND stray = nullptr;
    // The first window a program's description draws on, and its frame.
    HWND Video(size_t program) const {
        const scenes::Program& p = model.programs[program];
        return p.windows[static_cast<size_t>(p.layout.draws[0].window)];
    }
    FrameKind Frame(size_t program) const { return model.programs[program].layout.draws[0].frame; }
    // Paints the first program's video by hand, seen video-sized first.
    void PaintFirst(int pen, bool release, bool restore, LONG width = 0, LONG height = 0) const {
        const Cross cross = ExpectedCross(Frame(0));
        IsVideoSized(Video(0));
        Paint(Video(0), width ? width : cross.frameWidth, height ? height : cross.frameHeight, pen,
              release, restore);
    }
};

void Build(Scene& s) {
    for (const CaptureProgram& program : CapturePrograms())
        scenes::AddProgram(s.model, program, OptionsFrom(program.scenes[0].options),
                           static_cast<DWORD>(2 + s.model.programs.size()));
    s.stray = scenes::Add(s.model, nullptr, "Notepad", RECT{0, 0, 800, 600});
}

void SizedCross(HWND window, FrameKind frame) {
    IsVideoSized(window);
    DrawCrosshair(window, frame);
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
    const scenes::Most& most = scenes::MostCrosses();
    std::vector<std::string> overFrames;  // one problem for each frame
    for (const auto& [frame, n] : most.byFrame)
        overFrames.push_back(std::to_string(n + 1) + " crosses with the " + scenes::FrameName(frame) +
                             " frame, expected at most " + std::to_string(n));
    const struct {
        const char* name;
        std::function<void(Scene&)> pass;
        std::vector<std::string> expected;  // parts of the problems reported; none for none
        bool selectMayFail;
    } cases[] = {
        {"a correct pass", [](Scene&) { RunOverlayPass(); }, {}, false},
        {"a context never released", [](Scene& s) { s.PaintFirst(WHITE_PEN, false, true); },
         {"device contexts left open"}, false},
        {"a snapshot never closed",
         [](Scene&) { CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 2); }, {"snapshots left open"}, false},
        {"the pen left in the context", [](Scene& s) { s.PaintFirst(WHITE_PEN, true, false); },
         {"white pen still selected"}, false},
        {"the pen left in the context after a select was made to fail",
         [](Scene& s) { s.PaintFirst(WHITE_PEN, true, false); }, {}, true},
        {"the black pen", [](Scene& s) { s.PaintFirst(BLACK_PEN, true, true); },
         {"not the white pen"}, false},
        {"lines of no frame", [](Scene& s) { s.PaintFirst(WHITE_PEN, true, true, 600, 400); },
         {"lines of no frame"}, false},
        {"a frame on a window under no capture program",
         [](Scene& s) { SizedCross(s.stray, s.Frame(0)); }, {"on a window of no capture program"}, false},
        {"a frame on each program that never draws with it",
         [&most](Scene& s) {
             for (size_t i = 0; i < s.model.programs.size(); ++i)
                 for (const auto& [frame, n] : most.byFrame)
                     if (!s.model.programs[i].frames.count(frame)) SizedCross(s.Video(i), frame);
         },
         {"whose description never draws with it"}, false},
        {"a cross on a program whose title no longer reads as described",
         [](Scene& s) {
             const scenes::Program& p = s.model.programs[0];
             scenes::SetCaption(s.model, p.windows[0], p.layout.windows[0].caption + " 2");
             SizedCross(s.Video(0), s.Frame(0));
         },
         {"whose title reads"}, false},
        {"a window never size-tested", [](Scene& s) { DrawCrosshair(s.Video(0), s.Frame(0)); },
         {"without being seen video-sized"}, false},
        {"a window size-tested only after it was drawn on",
         [](Scene& s) {
             DrawCrosshair(s.Video(0), s.Frame(0));
             IsVideoSized(s.Video(0));
         },
         {"without being seen video-sized"}, false},
        {"a window that was too small",
         [](Scene& s) { SizedCross(scenes::Add(s.model, s.Video(0), "", RECT{0, 0, 499, 350}), s.Frame(0)); },
         {"without being seen video-sized"}, false},
        {"one cross more of each frame than the descriptions allow",
         [&most](Scene& s) {
             for (const auto& [frame, n] : most.byFrame)
                 for (size_t i = 0; i < s.model.programs.size(); ++i)
                     if (s.model.programs[i].frames.count(frame)) {
                         for (int k = 0; k <= n; ++k) SizedCross(s.Video(i), frame);
                         break;
                     }
         },
         overFrames, false},
        {"one cross more than a pass draws",
         [&most](Scene& s) {
             for (int k = 0; k <= most.total; ++k) {
                 size_t i = static_cast<size_t>(k) % s.model.programs.size();
                 SizedCross(s.Video(i), s.Frame(i));
             }
         },
         {std::to_string(most.total + 1) + " crosses in one pass"}, false},
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
        if (c.expected.empty()) {
            EXPECT_TRUE(report.problems.empty()) << c.name << ": expected no problem, got\n" << all;
        }
        for (const std::string& expected : c.expected)
            EXPECT_TRUE(all.find(expected) != std::string::npos)
                << c.name << ": expected a problem containing \"" << expected << "\", got\n" << all;
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
