#include "tests/pass_checks.h"

#include "overlay/overlay_pass.h"
#include "tests/sim_layouts.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace scenes {
namespace {

// The program built here whose top-level window `window` lies in, if any.
const Program* ProgramOf(const Model& model, HWND window) {
    while (model.parent.count(window) && model.parent.at(window)) window = model.parent.at(window);
    for (const Program& program : model.programs)
        if (program.windows[0] == window) return &program;
    return nullptr;
}

// The last GetClientRect answer for the window before a drawing is the
// drawing's own read; the size test must have been passed before that.
bool SizeTestedBefore(HWND window, long drawnAt) {
    long ownRead = -1;
    for (const sim::ClientRectAnswer& a : sim::ClientRectAnswers())
        if (a.window == window && a.call < drawnAt) ownRead = std::max(ownRead, a.call);
    for (const sim::ClientRectAnswer& a : sim::ClientRectAnswers())
        if (a.window == window && a.call < ownRead &&
            IsVideoSized({a.rect.right - a.rect.left, a.rect.bottom - a.rect.top}))
            return true;
    return false;
}

struct Bytes {
    const std::uint8_t* data;
    size_t size;
    size_t at = 0;
    std::uint8_t Next() { return at < size ? data[at++] : 0; }
    int Below(int bound) { return Next() % bound; }
    bool OneIn(int n) { return Below(n) == n - 1; }
    template <typename T>
    const T& Pick(const std::vector<T>& choices) { return choices[static_cast<size_t>(Below(static_cast<int>(choices.size())))]; }
    std::string Text(int maxLength) {
        std::string text;
        for (int n = Below(maxLength + 1); n > 0; --n) text += static_cast<char>(Next());
        return text;
    }
};

const std::vector<LONG> SIZES = {648, 640, 500, 499, 501, 350, 349, 351, 0, 1, 100, 800, 2000, -5};

// What the descriptions name, from every registered scene: the top-level
// titles, the other windows' captions, and the module names.
struct Names {
    std::vector<std::string> titles, captions, modules;
};
const Names& Known() {
    static const Names names = [] {
        Names n;
        for (const CaptureProgram& program : CapturePrograms())
            for (const Scene& scene : program.scenes) {
                Layout layout = Describe(program.name, scene.options);
                for (const LayoutWindow& w : layout.windows)
                    (w.parent < 0 ? n.titles : n.captions).push_back(w.caption);
                for (const std::string& module : ProcessModules(layout)) n.modules.push_back(module);
            }
        for (std::vector<std::string>* list : {&n.titles, &n.captions, &n.modules}) {
            std::sort(list->begin(), list->end());
            list->erase(std::unique(list->begin(), list->end()), list->end());
        }
        return n;
    }();
    return names;
}

// A near miss of `text` that no finder takes for it, compared whole in any
// case and cut to its buffer: changed within its first characters.
std::string Miss(std::string text, Bytes& in) {
    size_t at = static_cast<size_t>(in.Below(8)) % std::max<size_t>(1, text.size());
    switch (in.Below(3)) {
    case 0: text.insert(at, 1, static_cast<char>(in.OneIn(2) ? ' ' : '\xA0')); break;
    case 1: if (!text.empty()) text.erase(at, 1); break;
    default: if (!text.empty()) text[at] = text[at] == '#' ? '%' : '#'; break;
    }
    return text;
}

// A caption as the finders may meet it: mostly one the descriptions name,
// or one in another case, longer than a buffer holds, or a near miss.
std::string Caption(Bytes& in) {
    std::string caption = in.Pick(Known().captions);
    switch (in.Below(8)) {
    case 0: for (char& c : caption) c = static_cast<char>(std::isalpha(static_cast<unsigned char>(c)) ? c ^ 32 : c); break;
    case 1: caption += std::string(static_cast<size_t>(in.Below(40)), 'x'); break;
    case 2: caption = Miss(caption, in); break;
    default: break;
    }
    return caption;
}

// A random tree below `parent`, whose children mostly cover its centre.
void AddTree(Model& model, HWND parent, LONG width, LONG height, int depth, Bytes& in) {
    if (depth >= 6 || model.windows.size() > 120) return;
    for (int children = in.Below(depth < 3 ? 4 : 3); children > 0; --children) {
        LONG w = in.OneIn(4) ? in.Below(256) * 4 : in.Pick(SIZES);
        LONG h = in.OneIn(4) ? in.Below(256) * 3 : in.Pick(SIZES);
        LONG x = width / 2 - w / 2 + (in.Below(5) - 2);
        LONG y = height / 2 - h / 2 + (in.Below(5) - 2);
        if (in.OneIn(4)) {
            x = in.Below(256) * 4;
            y = in.Below(256) * 3;
        }
        unsigned flags = in.OneIn(8) ? sim::HIDDEN : 0;
        if (in.OneIn(8)) flags |= sim::DISABLED;
        std::string caption = in.OneIn(5) ? in.Text(40) : Caption(in);
        HWND child = Add(model, parent, caption, RECT{x, y, x + w, y + h}, flags);
        AddTree(model, child, w, h, depth + 1, in);
    }
}

// Processes 2 onwards: one for each registered program, then the others'.
DWORD ProgramProcess(size_t program) { return static_cast<DWORD>(2 + program); }
DWORD AnyProcess(Bytes& in) { return static_cast<DWORD>(2 + in.Below(static_cast<int>(CapturePrograms().size()) + 4)); }

// Another program's top-level window, titled as a near miss of a capture
// program's (so no search looks further into it), with a random tree.
void AddOther(Model& model, Bytes& in) {
    std::string title = Miss(in.Pick(Known().titles), in);
    LONG w = in.Pick(SIZES);
    LONG h = in.Pick(SIZES);
    DWORD pid = static_cast<DWORD>(2 + CapturePrograms().size() + static_cast<size_t>(in.Below(4)));
    HWND top = Add(model, nullptr, title, RECT{0, 0, w, h}, 0, pid);
    AddTree(model, top, w, h, 1, in);
}

void AddPrograms(Model& model, Bytes& in) {
    const std::vector<CaptureProgram>& programs = CapturePrograms();
    const unsigned chosen = in.Next();
    for (unsigned others = programs.size() < 8 ? (chosen >> programs.size()) % 4 : 0; others > 0; --others)
        AddOther(model, in);
    for (size_t i = 0; i < programs.size(); ++i) {
        if (!(chosen >> i & 1)) continue;
        LayoutOptions options = OptionsFrom(in.Pick(programs[i].scenes).options);
        if (in.OneIn(3)) options.video.width = in.Pick(SIZES);
        if (in.OneIn(3)) options.video.height = in.Pick(SIZES);
        if (in.OneIn(3)) options.help = !options.help;
        if (in.OneIn(3)) options.tracking = in.Below(8);
        if (in.OneIn(4)) options.label = Caption(in);
        if (in.OneIn(4)) options.otherPanelAt = in.Below(8);
        if (in.OneIn(4)) options.ownModule = !options.ownModule;
        if (in.OneIn(4)) {  // one more module, maybe a near miss of a known one
            const std::string& module = in.Pick(Known().modules);
            options.modules.push_back(in.OneIn(3) ? Miss(module, in) : module);
        }
        const Program& built = model.programs[AddProgram(model, programs[i], options, ProgramProcess(i))];
        if (in.OneIn(4)) SetCaption(model, built.windows[0], Miss(built.layout.windows[0].caption, in));
        for (int bends = built.windows.size() > 1 ? in.Below(3) : 0; bends > 0; --bends) {
            HWND window = built.windows[1 + static_cast<size_t>(in.Below(static_cast<int>(built.windows.size() - 1)))];
            SetCaption(model, window, Caption(in));
        }
    }
    // Panels and trees hung inside the programs as well.
    if (!model.windows.empty() && in.OneIn(2)) {
        HWND host = model.windows[static_cast<size_t>(in.Below(static_cast<int>(model.windows.size())))];
        AddTree(model, host, 800, 600, 3 + in.Below(3), in);
    }
}

HWND AnyWindow(const Model& model, Bytes& in) {
    return model.windows.empty() ? nullptr
                                 : model.windows[static_cast<size_t>(in.Next()) % model.windows.size()];
}

// Any call may fail except the two that give things back: when ReleaseDC
// or CloseHandle itself fails there is nothing left for the caller to do,
// so those are left out rather than read as leaks. Picking SelectObject sets
// `selectMayFail`: a context may then go back with the pen still in it.
sim::Op AnyFailingOp(Bytes& in, bool& selectMayFail) {
    using sim::Op;
    static const std::vector<Op> ops = {
        Op::FindWindowA, Op::EnumWindows, Op::GetWindowTextA, Op::GetClientRect,
        Op::ChildWindowFromPoint, Op::GetWindow, Op::GetWindowThreadProcessId,
        Op::CreateToolhelp32Snapshot, Op::Module32First, Op::Module32Next,
        Op::GetDC, Op::GetStockObject, Op::SelectObject, Op::PolyPolyline};
    const Op op = in.Pick(ops);
    selectMayFail |= op == Op::SelectObject;
    return op;
}

// Returns whether SelectObject may fail.
bool InjectFaults(Model& model, Bytes& in) {
    bool selectMayFail = false;
    for (int faults = in.Below(5); faults > 0; --faults) {
        switch (in.Below(6)) {
        case 0:
        case 1: {
            // Arguments are read one at a time: gcc and clang order calls' arguments
            // differently, and a replay must build the same scene under both.
            sim::Op op = AnyFailingOp(in, selectMayFail);
            sim::FailCall(op, 1 + in.Below(60));
            break;
        }
        case 2: if (in.OneIn(4)) sim::FailAlways(AnyFailingOp(in, selectMayFail)); break;
        case 3: sim::DenySnapshots(AnyProcess(in)); break;
        case 4: sim::EndProcess(AnyProcess(in)); break;
        default: if (HWND w = AnyWindow(model, in)) sim::DestroyAfterCalls(w, in.Below(120)); break;
        }
    }
    return selectMayFail;
}

// Between passes the programs go on living: windows come and go.
void Churn(Model& model, Bytes& in) {
    switch (in.Below(5)) {
    case 0: if (HWND w = AnyWindow(model, in)) sim::DestroyWindow(w); break;
    case 1: if (HWND w = AnyWindow(model, in)) SetCaption(model, w, Caption(in)); break;
    case 2: if (HWND w = AnyWindow(model, in)) AddTree(model, w, 800, 600, 4, in); break;
    case 3: if (HWND w = AnyWindow(model, in)) sim::DestroyAfterCalls(w, in.Below(120)); break;
    default: break;
    }
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
    Program built{program.describe(options), {}, {}};
    sim::AddProcess(processId, ProcessModules(built.layout));
    for (const LayoutWindow& w : built.layout.windows) {
        HWND parent = w.parent < 0 ? nullptr : built.windows[static_cast<size_t>(w.parent)];
        built.windows.push_back(Add(model, parent, w.caption, w.rect, 0, processId));
    }
    LayoutOptions sized = options;
    sized.video = LayoutOptions{}.video;
    for (const Draw& d : program.describe(sized).draws) built.frames.insert(d.frame);
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

std::vector<std::string> CheckPass(const Model& model, bool selectMayFail) {
    std::vector<std::string> problems;
    auto problem = [&problems](const std::string& text) { problems.push_back(text); };
    if (sim::OpenDCs() != 0) problem(std::to_string(sim::OpenDCs()) + " device contexts left open");
    if (sim::OpenSnapshots() != 0)
        problem(std::to_string(sim::OpenSnapshots()) + " snapshots left open");
    if (sim::DCsReleasedWithPenSelected() != 0 && !selectMayFail)
        problem(std::to_string(sim::DCsReleasedWithPenSelected()) +
                " device contexts released with the white pen still selected");

    std::map<FrameKind, int> crosses;
    for (const sim::Drawing& d : sim::Drawings()) {
        const std::string where =
            "cross on window " + sim::Arg(d.window) + " (call " + std::to_string(d.call) + ")";
        if (d.pen != sim::StockObject(WHITE_PEN)) problem(where + ": not the white pen");
        const FrameKind* frame = nullptr;
        for (const auto& [kind, most] : MostCrosses().byFrame)
            if (Lines(d) == Lines(kind)) frame = &kind;
        const Program* program = ProgramOf(model, d.window);
        const std::string title = program ? model.caption.at(program->windows[0]) : "";
        if (!frame) {
            problem(where + ": lines of no frame");
        } else if (!program) {
            problem(where + ": " + FrameName(*frame) + " frame on a window of no capture program");
        } else if (title != program->layout.windows[0].caption) {
            problem(where + ": on " + program->layout.program + ", whose title reads \"" + title + "\"");
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
    const size_t all = sim::Drawings().size();
    if (all > static_cast<size_t>(MostCrosses().total))
        problem(std::to_string(all) + " crosses in one pass, expected at most " +
                std::to_string(MostCrosses().total));
    return problems;
}

DesktopReport RunHostileDesktop(const std::uint8_t* data, size_t size) {
    sim::Reset();
    Model model;
    Bytes in{data, size};
    AddPrograms(model, in);
    bool selectMayFail = InjectFaults(model, in);
    DesktopReport report;
    for (int passes = 1 + in.Below(4); passes > 0 && report.problems.empty(); --passes) {
        sim::ClearRecords();
        RunOverlayPass();
        report.crosses.push_back(static_cast<int>(sim::Drawings().size()));
        for (const std::string& p : CheckPass(model, selectMayFail))
            report.problems.push_back("pass " + std::to_string(report.crosses.size()) + ": " + p);
        Churn(model, in);
    }
    return report;
}

}  // namespace scenes
