// The capture programs' window layouts, each described once: the window
// tree with its captions and sizes, the title, the process's modules, and
// which windows a correct overlay draws on, in which order and with which
// frame. Every check that needs a capture program's windows, and the
// stand-ins run under Wine, builds them from these descriptions.
//
// Each program's description lives in a file of its own (lpi.cpp, dsi.cpp,
// envisage.cpp) that registers it, with the named scenes the end-to-end
// checks run; the files are read by Python too (layouts.py), so the
// registration keeps to one line per fact.
#pragma once

#include "discovery/platform.h"
#include "overlay/crosshair.h"

#include <string>
#include <vector>

struct VideoSize {
    LONG width, height;
};

// The cross a correct overlay draws on a frame, in the window's client
// coordinates: (x, 0)-(x, frameHeight) and (0, y)-(frameWidth, y), the
// last point of each line not drawn. Written here from the frames' sizes,
// not taken from the program.
struct Cross {
    LONG x, y;
    LONG frameWidth, frameHeight;
};
Cross ExpectedCross(FrameKind kind);

// What a description can be asked for: a scene's options, the same words
// the stand-ins take on their command line.
struct LayoutOptions {
    VideoSize video{640, 480};         // --video WxH
    bool help = false;                 // --help-window: a "Help" window over the live view
    int tracking = 0;                  // --tracking N: tracking panels
    std::string label = "TRACKING";    // --label TEXT: the tracking panels' label
    int otherPanelAt = -1;             // --other-panel-at K: panel K carries another label
    bool ownModule = true;             // --no-own-module: leave out the program's own module
    std::vector<std::string> modules;  // --load FILE: more modules, loaded after those
};

// Parses options from words; false (with `error` set) for one it does not
// know. Words it leaves to the caller (--at, --timeout, --repaint) are
// collected in `rest`.
bool ParseLayoutOptions(const std::vector<std::string>& words, LayoutOptions& options,
                        std::vector<std::string>& rest, std::string& error);

// One window: `rect` is its client area in its parent's client area (for
// the top-level window, at the origin; callers place it). Windows are listed
// parents first, and siblings topmost first.
struct LayoutWindow {
    int parent;           // index in Layout::windows, -1 for the top-level window
    std::string caption;
    RECT rect;
    std::string role;     // how checks name it: "video", "help", "panel 2 video"
    bool shown = false;   // one a cross could land on: the stand-ins show it on screen
};

// One cross a tick draws: on which window, by which search, with which frame.
struct Draw {
    int window;
    std::string by;
    FrameKind frame;
};

struct Layout {
    std::string program;                // the registered name: "lpi"
    std::string executable;             // the process's first module
    std::vector<std::string> modules;   // loaded after it, in order
    std::vector<LayoutWindow> windows;
    std::vector<Draw> draws;            // in the order one tick draws them
};

// A capture program as the checks know it.
struct Scene {
    const char* name;
    const char* options;  // words for ParseLayoutOptions
};
struct CaptureProgram {
    const char* name;
    const char* executable;  // the stand-in's file name
    int passOrder;           // where its search runs in a tick, first 1
    Layout (*describe)(const LayoutOptions& options);
    std::vector<Scene> scenes;  // the first is the program's usual look
};

// Every registered program, in the order a tick searches them.
const std::vector<CaptureProgram>& CapturePrograms();
const CaptureProgram* FindCaptureProgram(const std::string& name);

// Options written as one string of words, as a scene gives them, and a
// registered program's layout with such options. An unknown program or
// option is a mistake in the caller's own text, and stops the program.
LayoutOptions OptionsFrom(const std::string& words);
Layout Describe(const std::string& program, const std::string& options = "");

// Registers a program; each description file does so once, at start-up.
bool RegisterCaptureProgram(const CaptureProgram& program);

// For the descriptions themselves: the finders' size test, whether a module
// loaded after the executable names `upperWord` in any case, and a text in
// upper case, as the finders compare.
bool IsVideoSized(VideoSize size);
bool LoadsModuleNamed(const Layout& layout, const char* upperWord);
std::string Upper(std::string text);

// The top-level window titled `title` and two levels below it, a and b,
// each at its parent's origin and of the given size.
void AddNestedLevels(Layout& layout, const std::string& title, VideoSize size);
// A "Help" window among b's children covering only the middle of the video,
// so the video stays in sight around it; its size.
VideoSize AddHelpOverVideo(Layout& layout, VideoSize video);
