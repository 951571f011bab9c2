#include "tests/pass_checks.h"

#include <algorithm>
#include <sstream>

namespace scenes {
namespace {

RECT Rect(LONG x, LONG y, LONG width, LONG height) { return RECT{x, y, x + width, y + height}; }

// A window of the given size centred on the middle of an 800 x 600 parent.
RECT Centred(LONG width, LONG height) { return Rect(400 - width / 2, 300 - height / 2, width, height); }

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// As the finders read a module name: at most 255 characters, upper-cased
// over ASCII letters only.
bool ModuleNameHas(const std::string& name, const char* word) {
    return Upper(name.substr(0, MAX_MODULE_NAME32)).find(word) != std::string::npos;
}

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

const std::vector<std::string>* SnappableModules(const Model& model, HWND top) {
    auto pid = model.process.find(top);
    if (pid == model.process.end() || pid->second == 0 || model.unsnappable.count(pid->second))
        return nullptr;
    auto modules = model.modules.find(pid->second);
    return modules == model.modules.end() ? nullptr : &modules->second;
}

bool SameFrame(const sim::Drawing& d, LONG width, LONG height) {
    const LONG cx = width / 2;
    const LONG cy = height / 2;
    const POINT expected[4] = {{cx, 0}, {cx, height}, {0, cy}, {width, cy}};
    if (d.points.size() != 4 || d.counts != std::vector<DWORD>{2, 2}) return false;
    for (size_t i = 0; i < 4; ++i)
        if (d.points[i].x != expected[i].x || d.points[i].y != expected[i].y) return false;
    return true;
}

// The last GetClientRect answer for the window before a drawing is the
// drawing's own read; the size test must have been passed before that.
bool SizeTestedBefore(HWND window, long drawnAt) {
    const std::vector<sim::ClientRectAnswer>& answers = sim::ClientRectAnswers();
    long ownRead = -1;
    for (const sim::ClientRectAnswer& a : answers)
        if (a.window == window && a.call < drawnAt) ownRead = std::max(ownRead, a.call);
    for (const sim::ClientRectAnswer& a : answers)
        if (a.window == window && a.call < ownRead && a.rect.right - a.rect.left >= 500 &&
            a.rect.bottom - a.rect.top >= 350)
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
    if (!parent) model.process[window] = processId;
    model.windows.push_back(window);
    return window;
}

void SetCaption(Model& model, HWND window, const std::string& caption) {
    sim::SetCaption(window, caption);
    if (sim::IsAlive(window)) model.caption[window] = caption;
}

void AddProcess(Model& model, DWORD processId, std::vector<std::string> modules) {
    model.modules[processId] = modules;
    model.unsnappable.erase(processId);
    sim::AddProcess(processId, std::move(modules));
}

void EndProcess(Model& model, DWORD processId) {
    model.unsnappable.insert(processId);
    sim::EndProcess(processId);
}

void DenySnapshots(Model& model, DWORD processId) {
    model.unsnappable.insert(processId);
    sim::DenySnapshots(processId);
}

Program AddLpiProgram(Model& model, const LpiLayout& layout) {
    Program p;
    p.top = Add(model, nullptr, layout.title, Rect(10, 10, 800, 600));
    HWND a = Add(model, p.top, "", Rect(0, 0, 800, 600));
    HWND b = Add(model, a, "", Rect(0, 0, 800, 600));
    if (layout.help) Add(model, b, layout.helpCaption, Rect(0, 0, 800, 600));
    HWND live = Add(model, b, layout.caption, Rect(0, 0, 800, 600));
    p.videos.push_back(Add(model, live, "", Centred(layout.videoWidth, layout.videoHeight)));
    return p;
}

Program AddDsiProgram(Model& model, const DsiLayout& layout, DWORD processId) {
    Program p;
    p.top = Add(model, nullptr, layout.title, Rect(20, 20, 800, 600), 0, processId);
    HWND a = Add(model, p.top, "", Rect(0, 0, 800, 600));
    HWND b = Add(model, a, "", Rect(0, 0, 800, 600));
    if (layout.help) Add(model, b, layout.helpCaption, Rect(0, 0, 800, 600));
    p.videos.push_back(Add(model, b, "", Centred(layout.videoWidth, layout.videoHeight)));
    return p;
}

Program AddEnvisageProgram(Model& model, const EnvisageLayout& layout, DWORD processId) {
    Program p;
    p.top = Add(model, nullptr, layout.title, Rect(30, 30, 800, 600), 0, processId);
    HWND a = Add(model, p.top, "", Rect(0, 0, 800, 600));
    p.parentOfPanels = Add(model, a, "", Rect(0, 0, 800, 600));
    HWND panel = Add(model, p.parentOfPanels, "", Rect(0, 0, 800, 600));
    p.videos.push_back(Add(model, panel, "", Centred(layout.videoWidth, layout.videoHeight)));
    for (int i = 0; i < layout.trackingPanels; ++i) AddTrackingPanel(model, p, layout.label);
    return p;
}

HWND AddTrackingPanel(Model& model, Program& program, const std::string& label) {
    HWND panel = Add(model, program.parentOfPanels, "", Rect(0, 0, 700, 520));
    HWND video = Add(model, panel, "", Rect(0, 0, 648, 489));
    Add(model, panel, label, Rect(0, 490, 648, 20));
    if (video) program.videos.push_back(video);
    return video;
}

bool UnderLpiProgram(const Model& model, HWND window) {
    // FindWindowA matches the title without regard to case.
    return Upper(CaptionOf(model, TopOf(model, window))) == "MEADE LPI";
}

bool UnderDsiOrEnvisageProgram(const Model& model, HWND window) {
    HWND top = TopOf(model, window);
    if (CaptionOf(model, top) != "AutoStar Envisage") return false;
    const std::vector<std::string>* modules = SnappableModules(model, top);
    if (!modules || modules->empty()) return false;
    if (ModuleNameHas(modules->front(), "DSI")) return true;
    return std::any_of(modules->begin(), modules->end(),
                       [](const std::string& m) { return ModuleNameHas(m, "ENVISAGE"); });
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

    for (const sim::Drawing& d : sim::Drawings()) {
        std::ostringstream where;
        where << "cross on window " << d.window << " (call " << d.call << ")";
        if (d.pen != sim::StockObject(WHITE_PEN)) problem(where.str() + ": not the white pen");
        if (SameFrame(d, 640, 480)) {
            ++report.lpiCrosses;
            if (!UnderLpiProgram(model, d.window))
                problem(where.str() + ": LPI frame on a window not under \"Meade LPI\"");
        } else if (SameFrame(d, 648, 489)) {
            ++report.dsiCrosses;
            if (!UnderDsiOrEnvisageProgram(model, d.window))
                problem(where.str() + ": DSI frame on a window of neither the DSI nor the Envisage program");
        } else {
            problem(where.str() + ": lines of neither frame");
        }
        if (!SizeTestedBefore(d.window, d.call))
            problem(where.str() + ": drawn without being seen video-sized first");
    }
    if (report.lpiCrosses > 1)
        problem(std::to_string(report.lpiCrosses) + " crosses with the LPI frame, expected at most 1");
    if (report.dsiCrosses > 5)
        problem(std::to_string(report.dsiCrosses) + " crosses with the DSI frame, expected at most 5");
    if (sim::Drawings().size() > 6)
        problem(std::to_string(sim::Drawings().size()) + " crosses in one pass, expected at most 6");
    return report;
}

}  // namespace scenes
