// Acts on the program from outside, as a user would, and reports what it
// sees. Runs under Wine beside the program, built for its architecture.
//
//   shell_driver.exe window EXE normal|maximised [ARGS...]
//       starts EXE with that show state (and ARGS); checks it comes up
//       minimised, and, restored, is 100x100 (or the platform's minimum
//       for a captioned window) with a menu bar; then leaves through
//       File > Exit (F10 F X) and checks the exit code is 0.
//   shell_driver.exe about EXE alt-question|alt-slash|menu enter|escape|ok [hold]
//       starts EXE, restores it, presses Alt+? or Alt+/ (or F10 H A) with
//       real key presses, checks the About box and its version line (with
//       hold, keeps it open until a line comes on stdin), closes it with
//       Enter, Esc or a click on OK, then leaves through File > Exit.
//   shell_driver.exe exit EXE menu|close-button|alt-f4
//       starts EXE and ends it that way; checks the exit code is 0.
//   shell_driver.exe pick-exit [TIMEOUT_MS]
//       for the demo: finds the running program's window and picks
//       File > Exit like a user (restore, F10 F X).
//
// Every line it prints is a fact ("name: value") or "FAIL: reason"; its
// exit code is 0 when no check failed.
#include "app/resource.h"

#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char MAIN_CLASS[] = "QUELVANI";
constexpr char VERSION_LINE[] = "Quelvani Version 1.01";
constexpr DWORD START_TIMEOUT_MS = 20000;
constexpr DWORD STEP_TIMEOUT_MS = 10000;

int failures = 0;

// One line of output: "name: text", a fact, or "FAIL: text", a failure,
// which is counted.
void Fact(const char* name, const char* format, ...) {
    failures += std::strcmp(name, "FAIL") == 0;
    va_list args;
    va_start(args, format);
    std::printf("%s: ", name);
    std::vprintf(format, args);
    std::printf("\n");
    std::fflush(stdout);
    va_end(args);
}

template <typename... Args>
void Fail(const char* format, Args... args) { Fact("FAIL", format, args...); }

template <typename Predicate>
bool WaitFor(Predicate done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

struct Program {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;  // null: any
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    if ((search->processId == 0 || pid == search->processId) && IsWindowVisible(window) &&
        std::strcmp(name, search->className) == 0 &&
        (!search->title || std::strcmp(title, search->title) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A shown top-level window of the process (0: any): nothing is judged or
// acted on before it is shown.
HWND FindTopLevel(DWORD processId, const char* className, const char* title) {
    WindowSearch search{processId, className, title, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool Start(const char* exe, WORD show, const std::vector<std::string>& args, Program* program) {
    std::string commandLine = std::string("\"") + exe + "\"";
    for (const std::string& arg : args) commandLine += " " + arg;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(exe, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &program->process)) {
        Fail("could not start %s (error %lu)", exe, GetLastError());
        return false;
    }
    // The program makes its window hidden, sizes it and then shows it: what
    // it shows is judged only once it is shown.
    DWORD pid = program->process.dwProcessId;
    bool shown = WaitFor([&] { return (program->window = FindTopLevel(pid, MAIN_CLASS, nullptr)); },
                         START_TIMEOUT_MS);
    if (!shown) Fail("no %s window of process %lu shown within %lu ms", MAIN_CLASS, pid,
                     START_TIMEOUT_MS);
    return shown;
}

void KeyEvent(WORD key, bool down, std::vector<INPUT>* inputs) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    inputs->push_back(input);
}

// Presses `key` while holding the modifiers, then lets all go in reverse.
void Press(std::vector<WORD> modifiers, WORD key) {
    std::vector<INPUT> inputs;
    for (WORD m : modifiers) KeyEvent(m, true, &inputs);
    KeyEvent(key, true, &inputs);
    KeyEvent(key, false, &inputs);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) KeyEvent(*it, false, &inputs);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void Click(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    int screenW = GetSystemMetrics(SM_CXSCREEN);
    int screenH = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3]{};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = ((r.left + r.right) / 2) * 65535 / (screenW - 1);
        input.mi.dy = ((r.top + r.bottom) / 2) * 65535 / (screenH - 1);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, inputs, sizeof(INPUT));
}

bool BringToFront(HWND window) {
    SetForegroundWindow(window);
    return WaitFor([&] { return GetForegroundWindow() == window; }, STEP_TIMEOUT_MS);
}

bool Restore(HWND window) {
    ShowWindow(window, SW_RESTORE);
    return WaitFor([&] { return !IsIconic(window) && IsWindowVisible(window); }, STEP_TIMEOUT_MS);
}

// Under Wine, the X focus events of a window activated just before may reach
// the program after keys sent to it: Wine then sets Alt, Ctrl and Shift to
// what the X server holds, dropping them from a chord, and cancels an open
// menu (WM_CANCELMODE). So a chord, or a pick from a menu, is made again, at
// most three times, until its effect is seen.
template <typename Effect>
bool PressUntil(std::vector<WORD> modifiers, WORD key, Effect effect) {
    for (int tries = 0; tries < 3; ++tries) {
        Press(modifiers, key);
        if (WaitFor(effect, STEP_TIMEOUT_MS / 2)) return true;
    }
    return false;
}

// F10 and a menu's letter open that menu of the menu bar (its popup is of the
// class "#32768"), and `item` picks an item of it.
template <typename Effect>
bool PickFromMenu(HWND window, WORD menu, WORD item, Effect effect) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    auto open = [&] { return FindTopLevel(pid, "#32768", nullptr) != nullptr; };
    for (int tries = 0; tries < 3; ++tries) {
        if (!BringToFront(window)) continue;
        Press({}, VK_F10);
        Press({}, menu);
        if (!WaitFor(open, STEP_TIMEOUT_MS / 2)) continue;
        Press({}, item);
        if (WaitFor(effect, STEP_TIMEOUT_MS / 2)) return true;
    }
    return false;
}

// File > Exit as a user picks it from the keyboard: the menu bar belongs to
// the restored window, F10 F opens File and X picks Exit, which destroys the
// window (the caller checks how the program ends).
void PickFileExit(HWND window) {
    if (IsIconic(window) && !Restore(window)) Fail("the window would not restore");
    if (!PickFromMenu(window, 'F', 'X', [&] { return !IsWindow(window); }))
        Fail("File > Exit (F10 F X) left the window there");
}

// Holds until the runner sends a line on stdin, or ends it (its session
// closes it on every way out, so the wait is the runner's, and bounded).
void WaitForGoOn() {
    char c = 0;
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &got, nullptr) && got && c != '\n') {
    }
}

void CheckExit(Program& program, const char* how) {
    if (WaitForSingleObject(program.process.hProcess, STEP_TIMEOUT_MS) != WAIT_OBJECT_0) {
        Fail("the program still runs %lu ms after %s", STEP_TIMEOUT_MS, how);
        TerminateProcess(program.process.hProcess, 99);
        WaitForSingleObject(program.process.hProcess, STEP_TIMEOUT_MS);
        return;
    }
    DWORD code = 0;
    GetExitCodeProcess(program.process.hProcess, &code);
    Fact("exit code", "%lu", code);
    if (code != 0) Fail("exit code %lu after %s, expected 0", code, how);
}

void Finish(Program& program) {
    if (program.process.hProcess) {
        if (WaitForSingleObject(program.process.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(program.process.hProcess, 99);
            WaitForSingleObject(program.process.hProcess, STEP_TIMEOUT_MS);
        }
        CloseHandle(program.process.hThread);
        CloseHandle(program.process.hProcess);
    }
}

int Window(const char* exe, const char* showName, const std::vector<std::string>& args) {
    WORD show = std::strcmp(showName, "maximised") == 0 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    Program program;
    if (Start(exe, show, args, &program)) {
        HWND w = program.window;
        bool iconic = IsIconic(w) != FALSE;
        Fact("started", "%s, iconic %s", showName, iconic ? "yes" : "no");
        if (!iconic) Fail("started %s, the window is not minimised", showName);
        if (!Restore(w)) Fail("the window would not restore");
        // A captioned window is never smaller than the platform's minimum
        // tracking size, whatever size it asks for.
        RECT r;
        GetWindowRect(w, &r);
        long width = r.right - r.left, height = r.bottom - r.top;
        long minW = GetSystemMetrics(SM_CXMINTRACK), minH = GetSystemMetrics(SM_CYMINTRACK);
        long wantW = std::max(100L, minW), wantH = std::max(100L, minH);
        Fact("restored size", "%ldx%ld (100x100 within the minimum of %ldx%ld)", width, height,
             minW, minH);
        if (width != wantW || height != wantH)
            Fail("restored size %ldx%ld, expected %ldx%ld", width, height, wantW, wantH);
        // The menu's items are the resource's (tests/pe checks them); the
        // live menu is used through its keys here.
        if (!GetMenu(w)) Fail("the window has no menu bar");
        PickFileExit(w);
        CheckExit(program, "File > Exit");
    }
    Finish(program);
    return failures ? 1 : 0;
}

BOOL CALLBACK CollectTexts(HWND child, LPARAM param) {
    char text[128] = "";
    GetWindowTextA(child, text, sizeof text);
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(text);
    return TRUE;
}

int About(const char* exe, const char* keys, const char* close, bool hold) {
    Program program;
    if (Start(exe, SW_SHOWNORMAL, {}, &program)) {
        HWND w = program.window;
        DWORD pid = program.process.dwProcessId;
        // TranslateAccelerator sends nothing for a command that is also a
        // menu item while the window is minimised, so the user restores it.
        if (!Restore(w) || !BringToFront(w)) Fail("the window would not come to the front");
        // The box is made before its controls: it is read once shown.
        HWND box = nullptr;
        auto aboutBox = [&] { return (box = FindTopLevel(pid, "#32770", "About")); };
        // "?" is Shift+/ on the keyboard the program sees.
        bool opened = false;
        if (std::strcmp(keys, "alt-question") == 0) {
            opened = PressUntil({VK_MENU, VK_SHIFT}, VK_OEM_2, aboutBox);
        } else if (std::strcmp(keys, "alt-slash") == 0) {
            opened = PressUntil({VK_MENU}, VK_OEM_2, aboutBox);
        } else {
            opened = PickFromMenu(w, 'H', 'A', aboutBox);
        }
        if (!opened) {
            Fail("%s opened no About box", keys);
        } else {
            Fact("about box", "open after %s", keys);
            std::vector<std::string> texts;
            EnumChildWindows(box, CollectTexts, reinterpret_cast<LPARAM>(&texts));
            bool versionShown = false;
            for (const std::string& t : texts) {
                // The icon's text is its resource number, not for printing.
                if (!t.empty() && static_cast<unsigned char>(t[0]) == 0xFF) continue;
                Fact("about text", "\"%s\"", t.c_str());
                versionShown = versionShown || t == VERSION_LINE;
            }
            if (!versionShown) Fail("the About box does not show \"%s\"", VERSION_LINE);
            if (hold) WaitForGoOn();
            if (!BringToFront(box)) Fail("the About box would not come to the front");
            if (std::strcmp(close, "enter") == 0) {
                Press({}, VK_RETURN);
            } else if (std::strcmp(close, "escape") == 0) {
                Press({}, VK_ESCAPE);
            } else {
                HWND ok = GetDlgItem(box, IDOK);
                if (!ok) Fail("the About box has no OK button");
                else Click(ok);
            }
            if (!WaitFor([&] { return !IsWindow(box); }, STEP_TIMEOUT_MS))
                Fail("the About box stayed open after %s", close);
            else
                Fact("about box", "closed by %s", close);
        }
        PickFileExit(w);
        CheckExit(program, "File > Exit");
    }
    Finish(program);
    return failures ? 1 : 0;
}

int Exit(const char* exe, const char* how) {
    Program program;
    if (Start(exe, SW_SHOWNORMAL, {}, &program)) {
        HWND w = program.window;
        if (std::strcmp(how, "menu") == 0) {
            PickFileExit(w);
        } else if (std::strcmp(how, "close-button") == 0) {
            // What the caption's close button sends.
            PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            if (!Restore(w) || !BringToFront(w)) Fail("the window would not come to the front");
            PressUntil({VK_MENU}, VK_F4, [&] { return !IsWindow(w); });
        }
        CheckExit(program, how);
    }
    Finish(program);
    return failures ? 1 : 0;
}

// The program's exit code is its runner's to read.
int PickExit(DWORD timeoutMs) {
    HWND w = nullptr;
    if (!WaitFor([&] { return (w = FindTopLevel(0, MAIN_CLASS, nullptr)); }, timeoutMs)) {
        Fail("no %s window shown", MAIN_CLASS);
        return 1;
    }
    PickFileExit(w);
    Fact("picked", "File > Exit");
    return failures ? 1 : 0;
}

int Usage() {
    std::printf("usage: shell_driver.exe window EXE normal|maximised [ARGS...]\n"
                "       shell_driver.exe about EXE alt-question|alt-slash|menu\n"
                "                        enter|escape|ok [hold]\n"
                "       shell_driver.exe exit EXE menu|close-button|alt-f4\n"
                "       shell_driver.exe pick-exit [TIMEOUT_MS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string mode = argv[1];
    if (mode == "window" && argc >= 4)
        return Window(argv[2], argv[3], std::vector<std::string>(argv + 4, argv + argc));
    if (mode == "about" && (argc == 5 || (argc == 6 && std::strcmp(argv[5], "hold") == 0)))
        return About(argv[2], argv[3], argv[4], argc == 6);
    if (mode == "exit" && argc == 4) return Exit(argv[2], argv[3]);
    if (mode == "pick-exit" && argc <= 3)
        return PickExit(argc == 3 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10))
                                  : STEP_TIMEOUT_MS);
    return Usage();
}
