#include "tests/pass_checks.h"

#include "tests/sim_layouts.h"

#include <algorithm>
#include <sstream>
#include <utility>

namespace scenes {
namespace {

HWND TopOf(const Model& model, HWND window) {
    for (;;) {
        auto it = model.parent.find(window);
        if (it == model.parent.end() || !it->second) return window;
        window = it->second;
    }
}

std::string CaptionOf(const Model& model, HWND window) {
    auto it = model.caption.find(window);
    return it == model.caption.end() ? std::string() : it->second;
}

const Program* ProgramOf(const Model& model, HWND window) {
    auto it = model.programOf.find(TopOf(model, window));
    return it == model.programOf.end() ? nullptr : &model.programs[it->second];
}

// The last GetClientRect answer for the window before a drawing is the
// drawing's own read; the size test must have been passed before that.
bool SizeTestedBefore(HWND window, long drawnAt) {
    const std::vector<sim::ClientRectAnswer>& answers = sim::ClientRectAnswers();
    long ownRead = -1;
    for (const sim::ClientRectAnswer& a : answers)
        if (a.window == window && a.call < drawnAt) ownRead = std::max(ownRead, a.call);
    for (const sim::ClientRectAnswer& a : answers)
        if (a.window == window && a.call < ownRead &&
            IsVideoSized({a.rect.right - a.rect.left, a.rect.bottom - a.rect.top}))
            return true;
    return false;
}

}  // namespace

HWND Add(Model& model, HWND parent, const std::string& caption, RECT rect, unsigned flags,
         DWORD processId) {
    HWND window = sim::AddWindow(parent, caption, rect, flags, processId);
    if (!window) return nullptr;
    model.parent[window] = parent;
    model.caption[window] = caption;
    model.windows.push_back(window);
    return window;
}

void SetCaption(Model& model, HWND window, const std::string& caption) {
    sim::SetCaption(window, caption);
    if (sim::IsAlive(window)) model.caption[window] = caption;
}

size_t AddProgram(Model& model, const CaptureProgram& program, const LayoutOptions& options,
                  DWORD processId) {
    Program built{&program, program.describe(options), {}, {}};
    built.windows = BuildInSim(built.layout, {0, 0}, processId);
    for (size_t i = 0; i < built.windows.size(); ++i) {
        int parent = built.layout.windows[i].parent;
        model.parent[built.windows[i]] = parent < 0 ? nullptr : built.windows[static_cast<size_t>(parent)];
        model.caption[built.windows[i]] = built.layout.windows[i].caption;
        model.windows.push_back(built.windows[i]);
    }
    LayoutOptions sized = options;
    sized.video = LayoutOptions{}.video;
    for (const Draw& d : program.describe(sized).draws) built.frames.insert(d.frame);
    model.programOf[built.windows[0]] = model.programs.size();
    model.programs.push_back(std::move(built));
    return model.programs.size() - 1;
}

const Most& MostCrosses() {
    static const Most most = [] {
        // The most by each search, with each frame and in all (frame -1).
        std::map<std::pair<std::string, int>, int> best;
        for (const CaptureProgram& program : CapturePrograms())
            for (const Scene& scene : program.scenes) {
                std::map<std::pair<std::string, int>, int> counted;
                for (const Draw& d : Describe(program.name, scene.options).draws) {
                    ++counted[{d.by, d.frame}];
                    ++counted[{d.by, -1}];
                }
                for (const auto& [key, n] : counted) best[key] = std::max(best[key], n);
            }
        Most m;
        for (const auto& [key, n] : best) {
            if (key.second < 0) m.total += n;
            else m.byFrame[static_cast<FrameKind>(key.second)] += n;
        }
        return m;
    }();
    return most;
}

std::string FrameName(FrameKind frame) {
    Cross c = ExpectedCross(frame);
    return std::to_string(c.frameWidth) + "x" + std::to_string(c.frameHeight);
}

PassReport CheckPass(const Model& model, bool selectMayFail) {
    PassReport report;
    auto problem = [&report](const std::string& text) { report.problems.push_back(text); };
    if (sim::OpenDCs() != 0) problem(std::to_string(sim::OpenDCs()) + " device contexts left open");
    if (sim::OpenSnapshots() != 0)
        problem(std::to_string(sim::OpenSnapshots()) + " snapshots left open");
    if (sim::DCsReleasedWithPenSelected() != 0 && !selectMayFail)
        problem(std::to_string(sim::DCsReleasedWithPenSelected()) +
                " device contexts released with the white pen still selected");

    std::map<FrameKind, int> crosses;
    for (const sim::Drawing& d : sim::Drawings()) {
        std::ostringstream at;
        at << "cross on window " << d.window << " (call " << d.call << ")";
        const std::string where = at.str();
        if (d.pen != sim::StockObject(WHITE_PEN)) problem(where + ": not the white pen");
        const FrameKind* frame = nullptr;
        for (const auto& [kind, most] : MostCrosses().byFrame)
            if (Lines(d) == Lines(kind)) frame = &kind;
        const Program* program = ProgramOf(model, d.window);
        if (!frame) {
            problem(where + ": lines of no frame");
        } else if (!program) {
            problem(where + ": " + FrameName(*frame) + " frame on a window of no capture program");
        } else if (CaptionOf(model, program->windows[0]) != program->layout.windows[0].caption) {
            problem(where + ": on " + program->layout.program + ", whose title reads \"" +
                    CaptionOf(model, program->windows[0]) + "\"");
        } else if (!program->frames.count(*frame)) {
            problem(where + ": " + FrameName(*frame) + " frame on " + program->layout.program +
                    ", whose description never draws with it");
        }
        if (frame) ++crosses[*frame];
        if (!SizeTestedBefore(d.window, d.call))
            problem(where + ": drawn without being seen video-sized first");
    }
    for (const auto& [kind, most] : MostCrosses().byFrame)
        if (crosses[kind] > most)
            problem(std::to_string(crosses[kind]) + " crosses with the " + FrameName(kind) +
                    " frame, expected at most " + std::to_string(most));
    report.crosses = static_cast<int>(sim::Drawings().size());
    if (report.crosses > MostCrosses().total)
        problem(std::to_string(report.crosses) + " crosses in one pass, expected at most " +
                std::to_string(MostCrosses().total));
    return report;
}

}  // namespace scenes
