// What the three capture-program stand-ins share: their options, a window
// class that paints only when the window system asks, the line that tells
// the runner which windows a correct overlay draws on, and a message loop
// that ends on WM_CLOSE, on "close" or end of input on stdin, or on timeout.
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
// out at a given place. Every window paints black and clips its children.
HWND CreateTopWindow(const std::string& title, POINT at, Size client);
HWND CreateChild(HWND parent, const std::string& caption, int x, int y, Size size);

// Gives a window a line of text, painted only when the window system
// asks for its paint, so screenshots show which window is which.
void LabelWindow(HWND window, const std::string& text);

// Places `window` right below `above` among its siblings.
void PlaceBelow(HWND window, HWND above);

// Shows the top-level window, writes one line on stdout once the windows
// exist and are shown:
//   READY <kind> pid=<pid> top=<hex> draw=<hex>,<hex>...
// (the windows a correct overlay draws on, each once per tick; empty when
// none), pumps messages until the window is closed, writes "CLOSED" and
// returns the exit code.
int RunStandin(const char* kind, HWND top, const std::vector<HWND>& draw, int timeoutSeconds);

bool IsVideoSized(Size size);
