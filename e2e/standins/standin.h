// What the three capture-program stand-ins share: their options, a window
// class that paints only when the window system asks, the line that tells
// the runner which windows a correct overlay draws on, and a message loop
// that ends on WM_CLOSE, on "close" or end of input on stdin, or on timeout.
//
// Commands on stdin, one a line:
//   close    close the top-level window (so does the end of input)
//   points   print a POINTS line for every window shown on screen (below)
//   frames   print "FRAMES <painted> <ms>": video frames painted so far with
//            --repaint, and the milliseconds since the stand-in started
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct Size {
    int width;
    int height;
};

struct StandinOptions {
    std::string title;           // --title TEXT
    Size video{640, 480};        // --video WxH
    bool helpWindow = false;     // --help-window: a "Help" window over the live one
    int tracking = 0;            // --tracking N
    std::string label = "TRACKING";  // --label TEXT: the tracking panels' label
    int otherPanelAt = -1;       // --other-panel-at K: panel K carries another label
    bool envisageModule = true;  // --no-envisage-module
    int timeoutSeconds = 120;    // --timeout S: the stand-in closes itself after S seconds
    int repaintPerSecond = 0;    // --repaint N: repaint the video N times a second
    POINT at{20, 20};            // --at X,Y: the top-level window's place on the screen
    std::vector<std::string> modules;  // --load FILE: more modules, loaded after the executable
};

// Loads the --load modules; false when one cannot be loaded.
bool LoadModules(const StandinOptions& options);

// Whether a --load module's name contains `word` (upper case) in any case.
bool LoadsModuleNamed(const StandinOptions& options, const char* word);

// Parses the command line over the given defaults; false (with a message on
// stderr) for anything it does not know.
bool ParseStandinOptions(int argc, char** argv, StandinOptions& options);

// A top-level window whose client area is `client`, and child windows laid
// out at a given place. Every window paints one plain colour and clips its
// children and siblings.
HWND CreateTopWindow(const std::string& title, POINT at, Size client);
HWND CreateChild(HWND parent, const std::string& caption, int x, int y, Size size);

// Gives a window a line of text at `at` in its client area, painted only
// when the window system asks for its paint, so screenshots show which
// window is which.
void LabelWindow(HWND window, const std::string& text, POINT at = {8, 8});

// The plain colours windows shown on screen are painted with.
constexpr COLORREF VIDEO_COLOUR = RGB(40, 60, 90);
constexpr COLORREF HELP_COLOUR = RGB(90, 60, 100);

// Shows the window on screen so that another process's drawing into it can
// be seen and read back (see standin.cpp), and names it in POINTS lines.
// The first window shown is the one --repaint repaints.
void ShowOnScreen(HWND window, COLORREF plain = VIDEO_COLOUR);

// Places `window` right below `above` among its siblings.
void PlaceBelow(HWND window, HWND above);

// The nominal video frame the overlay centres its cross on, by stand-in.
enum class Frame { LPI, DSI };

// Shows the top-level window, writes one line on stdout once the windows
// exist and are shown:
//   READY <kind> pid=<pid> top=<hex> draw=<hex>,<hex>...
// (the windows a correct overlay draws on, each once per tick, with `frame`;
// empty when none), pumps messages until the window is closed, writes
// "CLOSED" and returns the exit code.
//
// On "points" it writes, for each window shown on screen, the screen points
// where the window system says that window is visible, with the colour a
// correct overlay leaves there:
//   POINTS <hex> plain=<rrggbb> cross=<x>,<y>|none <x>,<y>,<W|P> ...
// cross: where on screen the centre of the window's cross must be, if any.
// W: white, on the cross of a window drawn on; P: the window's own plain
// colour, beside the cross, past its ends, and anywhere a cross of either
// frame would be on a window not drawn on. "END POINTS" follows the last.
int RunStandin(const char* kind, Frame frame, HWND top, const std::vector<HWND>& draw,
               const StandinOptions& options);

bool IsVideoSized(Size size);

// A "Help" window sits this far inside the window it covers, on each side.
constexpr Size HELP_MARGIN{70, 65};
Size HelpSize(Size covered);
