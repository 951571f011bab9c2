// Asks each scene's questions through the platform's own names and prints
// one canonical line per answer. Windows are printed by their names in the
// scene, so the lines mean the same on both sides whatever the handles are.
#include "discovery/finders.h"
#include "discovery/probing.h"
#include "e2e/conformance/scenes.h"
#include "layouts/layout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace conformance {

namespace {

constexpr char FILLER = '#';

struct Built {
    std::map<std::string, HWND> byName;
    std::map<HWND, std::string> names;
};

std::string NameOf(const Built& built, HWND window) {
    if (!window) return "none";
    auto it = built.names.find(window);
    return it == built.names.end() ? "another window" : it->second;
}

HWND Lookup(const Built& built, const char* name) {
    auto it = built.byName.find(name ? name : "");
    return it == built.byName.end() ? nullptr : it->second;
}

// The buffer as it stands after the call, up to its terminator or its end,
// with bytes the call never wrote shown as they were.
std::string Shown(const char* buffer, size_t size) {
    const size_t n = static_cast<size_t>(std::find(buffer, buffer + size, '\0') - buffer);
    return "\"" + std::string(buffer, n) + "\"" + (n == size ? " unterminated" : "");
}

std::string Answer(const Question& q, const Desk& desk, Built& built) {
    HWND w = Lookup(built, q.window);
    switch (q.ask) {
    case Ask::ChildAt: return NameOf(built, ChildWindowFromPoint(w, POINT{q.x, q.y}));
    case Ask::ChildAtCenter: return NameOf(built, ChildAtCenter(w));
    case Ask::Text: {
        char buffer[64];
        std::memset(buffer, FILLER, sizeof buffer);
        int n = GetWindowTextA(w, buffer, static_cast<int>(q.x));
        return std::to_string(n) + " " + Shown(buffer, sizeof buffer);
    }
    case Ask::Next: return NameOf(built, GetWindow(w, GW_HWNDNEXT));
    case Ask::FirstChild: return NameOf(built, GetWindow(w, GW_CHILD));
    case Ask::Find: return NameOf(built, FindWindowA(nullptr, q.window));
    case Ask::ClientRect: {
        RECT r{-7, -7, -7, -7};
        BOOL ok = GetClientRect(w, &r);
        return std::string(ok ? "ok " : "failed ") + std::to_string(r.left) + "," +
               std::to_string(r.top) + "," + std::to_string(r.right) + "," + std::to_string(r.bottom);
    }
    case Ask::VideoSized: return IsVideoSized(w) ? "yes" : "no";
    case Ask::Process: {
        DWORD id = 0xDEAD;
        DWORD thread = GetWindowThreadProcessId(w, &id);
        const char* who = id == desk.processId ? "this process" : id == 0xDEAD ? "untouched"
                          : id == 0 ? "0" : "another process";
        return std::string("thread ") + (thread ? "nonzero" : "0") + ", slot " + who;
    }
    case Ask::Enumerate: {
        std::vector<HWND> all;
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&all));
        std::string order;  // the scene's windows only
        for (HWND window : all)
            if (built.names.count(window)) order += " " + built.names.at(window);
        return order.empty() ? order : order.substr(1);
    }
    case Ask::Destroy:
        desk.destroy(w);
        return "gone";
    case Ask::FindLpi: return NameOf(built, FindLpiLiveWindow());
    case Ask::FindDsi: return NameOf(built, FindDsiLiveWindow());
    case Ask::FindEnvisage: {
        HWND list[ENVISAGE_LIST_SIZE] = {};
        int n = FindEnvisageLiveWindows(list);
        std::string s = std::to_string(n);
        for (int i = 0; i < n; ++i) s += " " + NameOf(built, list[i]);
        return s;
    }
    }
    return "?";
}

const char* AskName(Ask ask) {
    static const char* const names[] = {
        "ChildWindowFromPoint", "ChildAtCenter", "GetWindowTextA", "GetWindow next",
        "GetWindow child", "FindWindowA", "GetClientRect", "IsVideoSized",
        "GetWindowThreadProcessId", "EnumWindows", "destroy", "FindLpiLiveWindow",
        "FindDsiLiveWindow", "FindEnvisageLiveWindows"};
    static_assert(sizeof names / sizeof names[0] == static_cast<size_t>(Ask::FindEnvisage) + 1);
    return names[static_cast<size_t>(ask)];
}

}  // namespace

void RunScenes(const Desk& desk) {
    for (const Scene& scene : Scenes()) {
        Built built;
        std::vector<std::string> tops;
        auto create = [&](const WindowSpec& spec) {
            HWND parent = Lookup(built, spec.parent);
            HWND w = desk.create(spec, parent);
            if (!w) {
                std::printf("%s | create %s | failed\n", scene.name, spec.name);
                return;
            }
            built.byName[spec.name] = w;
            built.names[w] = spec.name;
            if (!parent) tops.push_back(spec.name);
        };
        for (const WindowSpec& spec : scene.windows) create(spec);
        for (const PlacedLayout& placed : scene.layouts) {
            Layout layout = Describe(placed.program, placed.options);
            std::vector<std::string> names;
            for (const LayoutWindow& w : layout.windows) {
                names.push_back(placed.prefix + w.role);
                const RECT& r = w.rect;
                const char* parent = w.parent < 0 ? nullptr : names[static_cast<size_t>(w.parent)].c_str();
                const char* caption = w.role == placed.recaptioned ? placed.caption : w.caption.c_str();
                create(WindowSpec{names.back().c_str(), parent, caption, r.left, r.top,
                                  r.right - r.left, r.bottom - r.top, w.parent < 0 ? HIDDEN : 0u});
            }
        }
        for (const Question& q : scene.questions) {
            std::string answer = Answer(q, desk, built);
            std::printf("%s | %s %s", scene.name, AskName(q.ask), q.window ? q.window : "");
            if (q.ask == Ask::ChildAt)
                std::printf(" %ld,%ld", static_cast<long>(q.x), static_cast<long>(q.y));
            if (q.ask == Ask::Text) std::printf(" capacity %ld", static_cast<long>(q.x));
            std::printf(" | %s\n", answer.c_str());
        }
        // Top-level windows take their children with them.
        for (const std::string& top : tops) desk.destroy(Lookup(built, top.c_str()));
    }
    std::fflush(stdout);
}

}  // namespace conformance
