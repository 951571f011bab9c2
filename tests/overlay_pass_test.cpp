// One overlay pass over the capture programs as their descriptions lay them
// out: every registered scene, also at the bounds of a video's size, and all
// programs at once, draws exactly the crosses its layout lists, in order.
#include "overlay/overlay_pass.h"
#include "tests/sim_fixture.h"
#include "tests/sim_layouts.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

class OverlayPassTest : public SimTest {};

// Each program's search as a step of the pass, in tick order.
const struct Step {
    const char* search;
    bool (*run)();
} STEPS[] = {{"lpi", OverlayLpi}, {"envisage", OverlayEnvisage}, {"dsi", OverlayDsi}};

struct Expected {
    HWND window;
    FrameKind frame;
};

// What the built layouts list, in tick order: each program's search in
// turn, over every program built; none by the search `lost`.
std::vector<Expected> Listed(const std::vector<Built>& built, const std::string& lost = "") {
    std::vector<Expected> all;
    for (const CaptureProgram& search : CapturePrograms())
        for (const Built& b : built)
            for (const Draw& d : b.layout.draws)
                if (d.by == search.name && d.by != lost)
                    all.push_back({b.windows[static_cast<size_t>(d.window)], d.frame});
    return all;
}

void ExpectCrosses(const std::vector<Expected>& expected, const std::string& scene) {
    const std::vector<sim::Drawing>& drawn = sim::Drawings();
    ASSERT_EQ(drawn.size(), expected.size()) << scene;
    for (size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_EQ(drawn[i].window, expected[i].window) << scene << ", cross " << i;
        EXPECT_EQ(drawn[i].pen, sim::StockObject(WHITE_PEN)) << scene << ", cross " << i;
        EXPECT_EQ(Lines(drawn[i]), Lines(expected[i].frame)) << scene << ", cross " << i;
    }
    EXPECT_EQ(sim::OpenDCs(), 0) << scene;
    EXPECT_EQ(sim::OpenSnapshots(), 0) << scene;
    EXPECT_EQ(sim::DCsReleasedWithPenSelected(), 0) << scene;
}

// Unrelated windows around the programs: one below them with the title two
// of them share, one above.
void AddUnrelatedWindows(bool above) {
    sim::AddProcess(900, {"explorer.exe"});
    sim::AddWindow(nullptr, above ? "Notepad" : "AutoStar Envisage", RECT{0, 0, 800, 600}, 0, 900);
}

TEST_F(OverlayPassTest, EveryScenesCrossesAreExactlyThoseItsLayoutLists) {
    const char* const sizes[] = {"", " --video 500x350", " --video 499x350", " --video 500x349"};
    for (const CaptureProgram& program : CapturePrograms())
        for (const Scene& scene : program.scenes)
            for (const char* size : sizes) {
                sim::Reset();
                AddUnrelatedWindows(false);
                std::vector<Built> built{Build(program.name, scene.options + std::string(size))};
                AddUnrelatedWindows(true);
                RunOverlayPass();
                ExpectCrosses(Listed(built), scene.name + std::string(size));
            }
}

// Each step says whether its search found a window: whether the layout lists
// a cross by that search.
TEST_F(OverlayPassTest, EachStepReportsWhetherItFoundAWindow) {
    for (const CaptureProgram& program : CapturePrograms())
        for (const Scene& scene : program.scenes) {
            sim::Reset();
            Built built = Build(program.name, scene.options);
            for (const Step& s : STEPS) {
                bool listed = std::any_of(built.layout.draws.begin(), built.layout.draws.end(),
                                          [&](const Draw& d) { return d.by == s.search; });
                EXPECT_EQ(s.run(), listed) << scene.name << ", step " << s.search;
            }
        }
}

// A top-level title is taken whole: LPI's in any case (as FindWindowA
// compares), the AutoStar programs' exactly as far as the 30 characters
// read. A window passed over is never looked into (nor LPI's, taken by
// its title alone).
TEST_F(OverlayPassTest, OnlyTheWholeTitleIsTaken) {
    const struct {
        const char* program;
        const char* title;
        bool taken;
    } cases[] = {
        {"lpi", "MEADE lpi", true},
        {"lpi", "Meade LPI - Help", false},
        {"lpi", "Meade LP", false},
        {"dsi", "autostar envisage", false},
        {"dsi", "AutoStar Envisage ", false},
        {"dsi", " AutoStar Envisage", false},
        {"dsi", "AutoStar Envisag", false},
        {"dsi", "AutoStar Envisage - DSI Imager", false},    // 30 characters: all compared
        {"dsi", "AutoStar Envisage - DSI Imager 2", false},  // cut to 30, still longer
        {"dsi", "", false},
        {"envisage", "AUTOSTAR ENVISAGE", false},
        {"envisage", "AutoStar Envisage 2", false},
    };
    for (const auto& c : cases) {
        sim::Reset();
        std::vector<Built> built{Build(c.program, FindCaptureProgram(c.program)->scenes[0].options)};
        sim::SetCaption(built[0]["top"], c.title);
        if (!c.taken) built[0].layout.draws.clear();
        RunOverlayPass();
        ExpectCrosses(Listed(built), c.title);
        EXPECT_EQ(sim::CallCount(sim::Op::CreateToolhelp32Snapshot), 0) << c.title;
    }
}

// A window whose process cannot be looked into is passed over by either
// AutoStar program's search, which goes on to the window below it.
TEST_F(OverlayPassTest, AWindowWhoseProcessCannotBeReadIsPassedOver) {
    const char* const troubles[] = {"process ended", "access denied", "process id 0",
                                    "no modules", "snapshot fails", "first module fails"};
    for (const Step& s : {STEPS[1], STEPS[2]})  // the AutoStar programs'
        for (const std::string trouble : troubles) {
            sim::Reset();
            std::vector<Built> good{Build(s.search, "", 101)};
            // The troubled window is on top and would be taken if it could be
            // read; process 0 would be this very process, made to look alike.
            Built troubled = Build(s.search, "", trouble == "process id 0" ? 0 : 102);
            sim::AddProcess(sim::CURRENT_PROCESS_ID, ProcessModules(troubled.layout));
            if (trouble == "process ended") sim::EndProcess(102);
            if (trouble == "access denied") sim::DenySnapshots(102);
            if (trouble == "no modules") sim::AddProcess(102, {});
            if (trouble == "snapshot fails") sim::FailCall(sim::Op::CreateToolhelp32Snapshot);
            if (trouble == "first module fails") sim::FailCall(sim::Op::Module32First);
            s.run();
            ExpectCrosses(Listed(good), s.search + (": " + trouble));
        }
}

// Every program at once, each in its usual look, draws all its crosses; a
// search or a drawing that fails takes only its own.
TEST_F(OverlayPassTest, AFailingSearchDoesNotStopTheOthers) {
    const struct {
        sim::Op op;
        int nth;            // 0: nothing fails
        const char* loses;  // the search whose crosses go; none: the nth cross goes
    } cases[] = {
        {sim::Op::Count, 0, nullptr},
        {sim::Op::FindWindowA, 1, "lpi"}, {sim::Op::EnumWindows, 1, "envisage"},
        {sim::Op::EnumWindows, 2, "dsi"}, {sim::Op::GetDC, 1, nullptr},
        {sim::Op::GetDC, 2, nullptr},     {sim::Op::GetDC, 4, nullptr},
    };
    for (const auto& c : cases) {
        sim::Reset();
        std::vector<Built> built;
        for (const CaptureProgram& program : CapturePrograms())
            built.push_back(Build(program.name, program.scenes[0].options, 100 + static_cast<DWORD>(built.size())));
        std::vector<Expected> expected = Listed(built, c.loses ? c.loses : "");
        if (!c.loses && c.nth) expected.erase(expected.begin() + (c.nth - 1));
        if (c.nth) sim::FailCall(c.op, c.nth);
        RunOverlayPass();
        ExpectCrosses(expected, c.nth ? std::string(sim::OpName(c.op)) + " #" + std::to_string(c.nth)
                                      : "every program");
    }
}

}  // namespace
