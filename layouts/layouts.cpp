#include "layouts/layout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>

namespace {

std::vector<CaptureProgram>& Registry() {
    static std::vector<CaptureProgram> programs;
    return programs;
}

[[noreturn]] void Stop(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::abort();
}

}  // namespace

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

Cross ExpectedCross(FrameKind kind) {
    return kind == FRAME_LPI ? Cross{320, 240, 640, 480} : Cross{324, 244, 648, 489};
}

bool ParseLayoutOptions(const std::vector<std::string>& words, LayoutOptions& options,
                        std::vector<std::string>& rest, std::string& error) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const char* value = i + 1 < words.size() ? words[i + 1].c_str() : nullptr;
        bool ok = true;
        if (word == "--help-window") {
            options.help = true;
        } else if (word == "--no-own-module") {
            options.ownModule = false;
        } else if (value && word == "--video") {
            long width = 0, height = 0;
            ok = std::sscanf(value, "%ldx%ld", &width, &height) == 2, ++i;
            options.video = {static_cast<LONG>(width), static_cast<LONG>(height)};
        } else if (value && word == "--tracking") {
            options.tracking = std::atoi(value), ++i;
        } else if (value && word == "--label") {
            options.label = value, ++i;
        } else if (value && word == "--other-panel-at") {
            options.otherPanelAt = std::atoi(value), ++i;
        } else if (value && word == "--load") {
            options.modules.push_back(value), ++i;
        } else if (word.rfind("--", 0) == 0 && value) {
            rest.push_back(word), rest.push_back(value), ++i;
        } else {
            ok = false;
        }
        if (!ok) {
            error = "bad option " + word;
            return false;
        }
    }
    return true;
}

const std::vector<CaptureProgram>& CapturePrograms() {
    return Registry();
}

const CaptureProgram* FindCaptureProgram(const std::string& name) {
    for (const CaptureProgram& program : Registry())
        if (name == program.name) return &program;
    return nullptr;
}

LayoutOptions OptionsFrom(const std::string& words) {
    std::istringstream in(words);
    std::vector<std::string> split{std::istream_iterator<std::string>(in), {}}, rest;
    LayoutOptions options;
    std::string error;
    if (!ParseLayoutOptions(split, options, rest, error) || !rest.empty())
        Stop("layout options \"" + words + "\": " + (error.empty() ? "not a layout's" : error));
    return options;
}

Layout Describe(const std::string& program, const std::string& options) {
    const CaptureProgram* found = FindCaptureProgram(program);
    if (!found) Stop("no capture program " + program);
    return found->describe(OptionsFrom(options));
}

bool RegisterCaptureProgram(const CaptureProgram& program) {
    std::vector<CaptureProgram>& programs = Registry();
    programs.push_back(program);
    std::stable_sort(programs.begin(), programs.end(),
                     [](const CaptureProgram& a, const CaptureProgram& b) {
                         return a.passOrder < b.passOrder;
                     });
    return true;
}

bool IsVideoSized(VideoSize size) {
    return size.width >= 500 && size.height >= 350;
}

bool LoadsModuleNamed(const Layout& layout, const char* upperWord) {
    return std::any_of(layout.modules.begin(), layout.modules.end(), [&](const std::string& m) {
        return Upper(m).find(upperWord) != std::string::npos;
    });
}

void AddNestedLevels(Layout& layout, const std::string& title, VideoSize size) {
    const RECT whole{0, 0, size.width, size.height};
    layout.windows = {{-1, title, whole, "top"}, {0, "", whole, "a"}, {1, "", whole, "b"}};
}

VideoSize AddHelpOverVideo(Layout& layout, VideoSize video) {
    constexpr LONG X = 70, Y = 65;  // the margin left around it
    const RECT help{X, Y, video.width - X, video.height - Y};
    layout.windows.push_back({2, "Help", help, "help", true});
    return VideoSize{help.right - help.left, help.bottom - help.top};
}
