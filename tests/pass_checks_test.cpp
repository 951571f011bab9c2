// The rules the fuzz target and the soak run judge every pass by: each one
// must catch the fault it stands for, or the long runs prove nothing.
#include "discovery/probing.h"
#include "overlay/crosshair.h"
#include "overlay/overlay_pass.h"
#include "tests/pass_checks.h"
#include "tests/sim_fixture.h"

#include <functional>
#include <string>
#include <vector>

namespace {

// Every registered program in its usual look, and a big window under none.
struct Scene {
    scenes::Model model;
    HWND stray;
    Scene() {
        for (const CaptureProgram& program : CapturePrograms())
            scenes::AddProgram(model, program, OptionsFrom(program.scenes[0].options),
                               static_cast<DWORD>(2 + model.programs.size()));
        stray = scenes::Add(model, nullptr, "Notepad", RECT{0, 0, 800, 600});
    }
    // The first window a program's description draws on, and its frame.
    HWND Video(size_t program) const {
        const scenes::Program& p = model.programs[program];
        return p.windows[static_cast<size_t>(p.layout.draws[0].window)];
    }
    FrameKind Frame(size_t program) const { return model.programs[program].layout.draws[0].frame; }
};

void SizedCross(HWND window, FrameKind frame) {
    IsVideoSized(window);
    DrawCrosshair(window, frame);
}

// A cross drawn by hand through the middle of width x height, as a faulty
// pass might: in the context's own pen unless one is given.
void CrossByHand(HWND window, LONG width, LONG height, int pen = -1) {
    HDC dc = GetDC(window);
    HGDIOBJ previous = pen < 0 ? nullptr : SelectObject(dc, GetStockObject(pen));
    const POINT points[4] = {{width / 2, 0}, {width / 2, height}, {0, height / 2}, {width, height / 2}};
    const DWORD counts[2] = {2, 2};
    PolyPolyline(dc, points, counts, 2);
    if (previous) SelectObject(dc, previous);
    ReleaseDC(window, dc);
}

class CheckPassTest : public SimTest {};

TEST_F(CheckPassTest, EachBrokenRuleIsReported) {
    const scenes::Most& most = scenes::MostCrosses();
    std::vector<std::string> overFrames;  // one problem for each frame
    for (const auto& [frame, n] : most.byFrame)
        overFrames.push_back(std::to_string(n + 1) + " crosses with the " + scenes::FrameName(frame) +
                             " frame, expected at most " + std::to_string(n));
    const auto penLeft = [](Scene& s) {
        HDC dc = GetDC(s.Video(0));
        SelectObject(dc, GetStockObject(WHITE_PEN));
        ReleaseDC(s.Video(0), dc);
    };
    const struct {
        const char* name;
        std::function<void(Scene&)> pass;
        std::vector<std::string> expected;  // parts of the problems reported; none for none
        bool selectMayFail = false;
    } cases[] = {
        {"a correct pass", [](Scene&) { RunOverlayPass(); }, {}},
        {"a context never released", [](Scene& s) { GetDC(s.Video(0)); }, {"device contexts left open"}},
        {"a snapshot never closed", [](Scene&) { CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 2); },
         {"snapshots left open"}},
        {"the pen left in the context", penLeft, {"white pen still selected"}},
        {"the pen left in the context after a select was made to fail", penLeft, {}, true},
        {"the black pen", [](Scene& s) { CrossByHand(s.Video(0), 640, 480); }, {"not the white pen"}},
        {"lines of no frame", [](Scene& s) { CrossByHand(s.Video(0), 600, 400, WHITE_PEN); },
         {"lines of no frame"}},
        {"a frame on a window under no capture program",
         [](Scene& s) { SizedCross(s.stray, s.Frame(0)); }, {"on a window of no capture program"}},
        {"a frame on each program that never draws with it",
         [&most](Scene& s) {
             for (size_t i = 0; i < s.model.programs.size(); ++i)
                 for (const auto& [frame, n] : most.byFrame)
                     if (!s.model.programs[i].frames.count(frame)) SizedCross(s.Video(i), frame);
         },
         {"whose description never draws with it"}},
        {"a cross on a program whose title no longer reads as described",
         [](Scene& s) {
             const scenes::Program& p = s.model.programs[0];
             scenes::SetCaption(s.model, p.windows[0], p.layout.windows[0].caption + " 2");
             SizedCross(s.Video(0), s.Frame(0));
         },
         {"whose title reads"}},
        {"a window never size-tested", [](Scene& s) { DrawCrosshair(s.Video(0), s.Frame(0)); },
         {"without being seen video-sized"}},
        {"a window size-tested only after it was drawn on",
         [](Scene& s) {
             DrawCrosshair(s.Video(0), s.Frame(0));
             IsVideoSized(s.Video(0));
         },
         {"without being seen video-sized"}},
        {"a window that was too small",
         [](Scene& s) { SizedCross(scenes::Add(s.model, s.Video(0), "", RECT{0, 0, 499, 350}), s.Frame(0)); },
         {"without being seen video-sized"}},
        {"one cross more of each frame than the descriptions allow",
         [&most](Scene& s) {
             for (const auto& [frame, n] : most.byFrame)
                 for (size_t i = 0; i < s.model.programs.size(); ++i)
                     if (s.model.programs[i].frames.count(frame)) {
                         for (int k = 0; k <= n; ++k) SizedCross(s.Video(i), frame);
                         break;
                     }
         },
         overFrames},
        {"one cross more than a pass draws",
         [&most](Scene& s) {
             for (int k = 0; k <= most.total; ++k) {
                 size_t i = static_cast<size_t>(k) % s.model.programs.size();
                 SizedCross(s.Video(i), s.Frame(i));
             }
         },
         {std::to_string(most.total + 1) + " crosses in one pass"}},
    };
    for (const auto& c : cases) {
        Scene s;
        sim::ClearRecords();
        c.pass(s);
        std::string all;
        for (const std::string& p : scenes::CheckPass(s.model, c.selectMayFail)) all += p + "\n";
        EXPECT_TRUE(!c.expected.empty() || all.empty()) << c.name << ": expected no problem, got\n" << all;
        for (const std::string& expected : c.expected)
            EXPECT_NE(all.find(expected), std::string::npos)
                << c.name << ": expected a problem containing \"" << expected << "\", got\n" << all;
        sim::Reset();  // some cases leave things open on purpose; the rules under test saw them
    }
}

}  // namespace
