// The program's shell on the simulated window system, where every fault can
// be forced; under Wine, e2e/shell/ checks the program as a user meets it.
#include "app/about.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "tests/sim_fixture.h"
#include "tests/sim_layouts.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using sim::Arg;
using sim::Op;
using Lines = std::vector<std::string>;

constexpr LPARAM ALT_DOWN = 1 << 29;  // context bit of a key typed with Alt

class ShellTest : public SimTest {
protected:
    void SetUp() override { Fresh(); }
    // An empty desktop and the program's resources, as the resource script
    // gives them; each case of a table starts here.
    static void Fresh() {
        sim::Reset();
        sim::AddStringResource(STR_APP_TITLE, "quelvani");
        sim::AddStringResource(STR_WINDOW_CLASS, "QUELVANI");
        sim::AddIconResource(ICON_APP);
        sim::AddIconResource(ICON_APP_SMALL);
        sim::AddAcceleratorResource(ACCEL_MAIN, {{FALT, '?', CMD_ABOUT}, {FALT, '/', CMD_ABOUT}});
        sim::AddDialogResource(DLG_ABOUT);
    }

    static int Run(int showState = SW_SHOWDEFAULT, const char* commandLine = "") {
        std::string line = commandLine;
        return WinMain(sim::ModuleInstance(), nullptr, line.data(), showState);
    }
    // Starts the program afresh and leaves its loop at once, the window
    // still up; the start's calls are forgotten.
    static HWND Start() {
        Fresh();
        sim::QueueMessage(nullptr, WM_QUIT, 0);
        Run();
        sim::ClearRecords();
        sim::ResetCallCounts();
        return sim::CreatedWindow();
    }
};

// The shell's calls since the records were cleared, as "Name(arguments)",
// with the handles and procedures the program was given named.
Lines Transcript(HWND other = nullptr) {
    std::map<std::string, std::string> names = {
        {Arg(sim::ModuleInstance()), "module"}, {Arg(&MainWindowProc), "MainWindowProc"},
        {Arg(&AboutDialogProc), "AboutDialogProc"}, {Arg(sim::DIALOG_BOX), "dialog"},
        {Arg(sim::IconHandle(ICON_APP)), "icon"}, {Arg(sim::IconHandle(ICON_APP_SMALL)), "small icon"},
        {Arg(sim::StandardArrow()), "arrow"}, {Arg(sim::AcceleratorHandle(ACCEL_MAIN)), "accelerators"}};
    if (sim::CreatedWindow()) names[Arg(sim::CreatedWindow())] = "window";
    if (other) names[Arg(other)] = "other";
    Lines lines;
    for (const sim::ShellCall& call : sim::ShellCalls()) {
        std::string line = std::string(sim::OpName(call.op)) + "(";
        for (size_t a = 0; a < call.args.size(); ++a) {
            auto named = names.find(call.args[a]);
            line += (a ? ", " : "") + (named == names.end() ? call.args[a] : named->second);
        }
        lines.push_back(line + ")");
    }
    return lines;
}

const std::string ABOUT = "DialogBoxParamA(module, #103, window, AboutDialogProc, 0)";

// Every start makes the same calls with the same arguments, whatever show
// state and command line it is given: the window starts minimised, 100 x
// 100, with the menu of its class and the overlay timer. File > Exit ends
// the run with 0.
TEST_F(ShellTest, StartsAndExitsTheSameWayWhateverTheShowStateAndArguments) {
    const Lines expected = {
        "LoadStringA(module, 103, 100)", "LoadStringA(module, 109, 100)",
        "LoadIconA(module, #107)", "LoadCursorA(0, #32512)", "LoadIconA(module, #108)",
        // CS_HREDRAW | CS_VREDRAW; the brush COLOR_WINDOW + 1; the menu 109
        "RegisterClassExA(" + Arg(sizeof(WNDCLASSEXA)) + ", 3, MainWindowProc, 0, 0, module, icon, "
            "arrow, 0x6, #109, \"QUELVANI\", small icon)",
        // WS_OVERLAPPEDWINDOW, CW_USEDEFAULT for place and size
        "CreateWindowExA(0, \"QUELVANI\", \"quelvani\", 13565952, -2147483648, 0, -2147483648, 0, "
            "0, 0, module, 0)",
        "DefWindowProcA(window, 129, 0, 0)", "DefWindowProcA(window, 1, 0, 0)",
        "SetWindowPos(window, 0, 0, 0, 100, 100, 6)",  // SWP_NOZORDER | SWP_NOMOVE
        "ShowWindow(window, 6)",                       // SW_MINIMIZE
        "UpdateWindow(window)", "BeginPaint(window)", "EndPaint(window)",
        "SetTimer(window, 1, 100, 0)", "LoadAcceleratorsA(module, #109)",
        "GetMessageA(0, 0, 0)", "TranslateAcceleratorA(window, accelerators, window, 273, 105, 0)",
        "TranslateMessage(window, 273, 105, 0)", "DispatchMessageA(window, 273, 105, 0)",
        "DestroyWindow(window)", "PostQuitMessage(0)", "DefWindowProcA(window, 130, 0, 0)",
        "GetMessageA(0, 0, 0)",
    };
    for (int state : {SW_SHOWDEFAULT, SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED,
                      SW_SHOWNOACTIVATE, SW_SHOW, SW_SHOWMINNOACTIVE, SW_RESTORE})
        for (const char* line : {"", "/restore", "--size 800x600 \"C:\\Program Files\""}) {
            Fresh();
            sim::QueueMessage(sim::CREATED_WINDOW, WM_COMMAND, MAKEWPARAM(CMD_EXIT, 0));
            EXPECT_EQ(Run(state, line), 0) << state << " \"" << line << '"';
            EXPECT_EQ(Transcript(), expected) << "show state " << state << ", \"" << line << '"';
        }
}

// How the run ends: on WM_QUIT with its wParam as the exit code (closing
// the window posts it with 0); on GetMessageA's -1 with 0, asking and
// dispatching no more; with 0 before the loop when the window or its class
// cannot be made. Other start failures leave a working program.
TEST_F(ShellTest, TheRunEndsOnQuitErrorOrAFailedStartWithItsExitCode) {
    struct Message {
        UINT message;  // WM_QUIT is posted to no window, the rest to the program's
        WPARAM wParam;
    };
    const Message exit{WM_COMMAND, CMD_EXIT}, timer{WM_TIMER, OVERLAY_TIMER_ID},
        about{WM_COMMAND, CMD_ABOUT};
    const struct {
        const char* how;
        std::vector<Message> script;
        Op failing;  // Op::Count for none
        int nth;     // the failing call; 0: every one
        int code;
        long gets;   // GetMessageA calls in all
        bool closes;         // the window went and posted the quit with 0
        const char* last = "GetMessageA";  // the run's last call
    } cases[] = {
        {"File > Exit", {exit}, Op::Count, 0, 0, 2, true},
        {"close button", {{WM_SYSCOMMAND, SC_CLOSE}}, Op::Count, 0, 0, 2, true},
        {"Alt+F4", {{WM_CLOSE, 0}}, Op::Count, 0, 0, 2, true},
        {"quit 0", {timer, {WM_QUIT, 0}}, Op::Count, 0, 0, 2, false},
        {"quit 3", {timer, {WM_QUIT, 3}}, Op::Count, 0, 3, 2, false},
        {"quit 0x7FFFFFFF", {timer, {WM_QUIT, 0x7FFFFFFF}}, Op::Count, 0, 0x7FFFFFFF, 2, false},
        {"error at once", {about, {WM_QUIT, 9}}, Op::GetMessageA, 1, 0, 1, false},
        {"error after a message", {timer, about, {WM_QUIT, 9}}, Op::GetMessageA, 2, 0, 2, false},
        {"error after three", {timer, timer, timer, about, {WM_QUIT, 9}}, Op::GetMessageA, 4, 0, 4,
         false},
        {"no window", {exit}, Op::CreateWindowExA, 0, 0, 0, false, "CreateWindowExA"},
        {"no class, so no window", {exit}, Op::RegisterClassExA, 0, 0, 0, false, "CreateWindowExA"},
        {"no accelerators", {exit}, Op::LoadAcceleratorsA, 0, 0, 2, true},
        {"no timer", {exit}, Op::SetTimer, 0, 0, 2, true},
        {"no icons", {exit}, Op::LoadIconA, 0, 0, 2, true},
    };
    for (const auto& c : cases) {
        Fresh();
        for (const Message& m : c.script)
            sim::QueueMessage(m.message == WM_QUIT ? nullptr : sim::CREATED_WINDOW, m.message,
                              m.wParam);
        if (c.failing != Op::Count && c.nth) sim::FailCall(c.failing, c.nth);
        if (c.failing != Op::Count && !c.nth) sim::FailAlways(c.failing);
        EXPECT_EQ(Run(), c.code) << c.how;
        EXPECT_EQ(sim::CallCount(Op::GetMessageA), c.gets) << c.how;
        EXPECT_EQ(sim::CallCount(Op::DispatchMessageA), std::max(c.gets - 1, 0L)) << c.how;
        const Lines calls = Transcript();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "PostQuitMessage(0)"), c.closes ? 1 : 0)
            << c.how;
        EXPECT_EQ(calls.back().rfind(c.last, 0), 0u) << c.how << ": the run went on to " << calls.back();
    }
}

// Every message goes to the accelerators first, with its own window and
// the table loaded; one they turn into a command is neither translated nor
// dispatched. Alt+? and Alt+/ open the About box, '?' without Alt does not.
TEST_F(ShellTest, EveryMessageGoesToTheAcceleratorsFirst) {
    HWND other = sim::AddWindow(nullptr, "elsewhere", Rect(0, 0, 50, 50));
    sim::QueueMessage(other, WM_KEYDOWN, 'A', 1);
    sim::QueueMessage(sim::CREATED_WINDOW, WM_SYSCHAR, '?', ALT_DOWN | 1);
    sim::QueueMessage(sim::CREATED_WINDOW, WM_SYSCHAR, '/', ALT_DOWN | 1);
    sim::QueueMessage(sim::CREATED_WINDOW, WM_CHAR, '?', 1);
    sim::ScriptDialog({IDOK, IDCANCEL});
    EXPECT_EQ(Run(), static_cast<int>(sim::QUEUE_RAN_DRY_CODE));
    const Lines calls = Transcript(other);
    const Lines loop(std::find(calls.begin(), calls.end(), "GetMessageA(0, 0, 0)"), calls.end());
    EXPECT_EQ(loop, (Lines{
        "GetMessageA(0, 0, 0)", "TranslateAcceleratorA(other, accelerators, other, 256, 65, 1)",
        "TranslateMessage(other, 256, 65, 1)", "DispatchMessageA(other, 256, 65, 1)",
        "GetMessageA(0, 0, 0)",
        "TranslateAcceleratorA(window, accelerators, window, 262, 63, 536870913)",
        ABOUT, "EndDialog(dialog, 1)",
        "GetMessageA(0, 0, 0)",
        "TranslateAcceleratorA(window, accelerators, window, 262, 47, 536870913)",
        ABOUT, "EndDialog(dialog, 2)",
        "GetMessageA(0, 0, 0)", "TranslateAcceleratorA(window, accelerators, window, 258, 63, 1)",
        "TranslateMessage(window, 258, 63, 1)", "DispatchMessageA(window, 258, 63, 1)",
        "DefWindowProcA(window, 258, 63, 1)",
        "GetMessageA(0, 0, 0)",
    }));
}

// Each message's handling: the calls it makes, its result, and the overlay
// passes it runs, seen as crosses on the Meade LPI program's live view.
// The About box is clicked on another control, then Cancel, then OK.
TEST_F(ShellTest, EachMessagesHandling) {
    const Lines exit = {"DestroyWindow(window)", "PostQuitMessage(0)",
                        "DefWindowProcA(window, 130, 0, 0)"};
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        Lines calls;
        LRESULT result;
        size_t crosses = 0;
    } cases[] = {
        {"About", WM_COMMAND, MAKEWPARAM(CMD_ABOUT, 0), 0, {ABOUT, "EndDialog(dialog, 2)"}, 0},
        {"About by accelerator", WM_COMMAND, MAKEWPARAM(CMD_ABOUT, 1), 0,
         {ABOUT, "EndDialog(dialog, 2)"}, 0},
        {"command 0x10068", WM_COMMAND, 0x10068, 0x1234, {ABOUT, "EndDialog(dialog, 2)"}, 0},
        {"Exit", WM_COMMAND, MAKEWPARAM(CMD_EXIT, 0), 0, exit, 0},
        {"other command", WM_COMMAND, MAKEWPARAM(106, 0), 0,
         {"DefWindowProcA(window, 273, 106, 0)"}, sim::DEFAULT_PROC_RESULT},
        {"timer 1", WM_TIMER, 1, 0, {}, 0, 1},
        {"timer 2", WM_TIMER, 2, 0, {}, 0, 1},
        {"timer 0xFFFF", WM_TIMER, 0xFFFF, 0, {}, 0, 1},
        {"paint", WM_PAINT, 0, 0, {"BeginPaint(window)", "EndPaint(window)"}, 0},
        {"destroy", WM_DESTROY, 0, 0, {"PostQuitMessage(0)"}, 0},
        {"close", WM_CLOSE, 0, 0, {"DefWindowProcA(window, 16, 0, 0)", exit[0], exit[1], exit[2]}, 0},
        {"user message", WM_USER + 7, 3, 4, {"DefWindowProcA(window, 1031, 3, 4)"},
         sim::DEFAULT_PROC_RESULT},
        {"mouse move", WM_MOUSEMOVE, 0, 0x00100010, {"DefWindowProcA(window, 512, 0, 1048592)"},
         sim::DEFAULT_PROC_RESULT},
        {"Alt+?", WM_SYSCHAR, '?', ALT_DOWN | 1, {"DefWindowProcA(window, 262, 63, 536870913)"},
         sim::DEFAULT_PROC_RESULT},
    };
    for (const auto& c : cases) {
        HWND window = Start();
        HWND video = Build("lpi")["video"];
        sim::ScriptDialog({3, IDCANCEL, IDOK});
        EXPECT_EQ(MainWindowProc(window, c.message, c.wParam, c.lParam), c.result) << c.name;
        EXPECT_EQ(Transcript(), c.calls) << c.name;
        EXPECT_EQ(sim::CallCount(Op::FindWindowA), static_cast<long>(c.crosses)) << c.name;
        EXPECT_EQ(sim::Drawings().size(), c.crosses) << c.name;
        for (const sim::Drawing& d : sim::Drawings()) EXPECT_EQ(d.window, video) << c.name;
    }
}

// The About box closes on OK with 1 and on Cancel with 2, whatever the
// high word. The icon (id 2, the same number as IDCANCEL) is a plain static
// without SS_NOTIFY: it sends no WM_COMMAND, so it needs no case here.
TEST_F(ShellTest, AboutDialogProcResults) {
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        INT_PTR result;
        Lines ended;
    } cases[] = {
        {"init", WM_INITDIALOG, 0, TRUE, {}},
        {"OK", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), TRUE, {"EndDialog(dialog, 1)"}},
        {"Cancel", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), TRUE, {"EndDialog(dialog, 2)"}},
        {"OK with a high word", WM_COMMAND, MAKEWPARAM(IDOK, 1), TRUE, {"EndDialog(dialog, 1)"}},
        {"Cancel with a high word", WM_COMMAND, MAKEWPARAM(IDCANCEL, 5), TRUE,
         {"EndDialog(dialog, 2)"}},
        {"another control", WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), FALSE, {}},
        {"command 0", WM_COMMAND, 0, FALSE, {}},
        {"command 0x10000", WM_COMMAND, 0x10000, FALSE, {}},
        {"close", WM_CLOSE, 0, FALSE, {}},
        {"paint", WM_PAINT, 0, FALSE, {}},
    };
    for (const auto& c : cases) {
        sim::ClearRecords();
        EXPECT_EQ(AboutDialogProc(sim::DIALOG_BOX, c.message, c.wParam, 0), c.result) << c.name;
        EXPECT_EQ(Transcript(), c.ended) << c.name;
    }
}

}  // namespace
