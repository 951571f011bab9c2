// The program's shell against the simulated window system: the start
// sequence and its arguments, the message loop, each message's handling,
// and the About box's procedure.
#include "app/about.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "tests/sim_fixture.h"
#include "tests/sim_layouts.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using sim::Arg;
using sim::Op;
using Args = std::vector<std::string>;
using Ops = std::vector<Op>;

constexpr LPARAM ALT_DOWN = 1 << 29;  // context bit of a key typed with Alt
constexpr LRESULT DEFAULT_RESULT = 0x5A5A;

class ShellTest : public SimTest {
protected:
    void SetUp() override { Fresh(); }
    // An empty desktop and the program's resources; each case of a table
    // starts here.
    static void Fresh() {
        sim::Reset();
        // The module's resources, as the resource script gives them.
        sim::AddStringResource(STR_APP_TITLE, "quelvani");
        sim::AddStringResource(STR_WINDOW_CLASS, "QUELVANI");
        sim::AddIconResource(ICON_APP);
        sim::AddIconResource(ICON_APP_SMALL);
        sim::AddMenuResource(MENU_MAIN);
        sim::AddAcceleratorResource(ACCEL_MAIN, {{FALT, '?', CMD_ABOUT}, {FALT, '/', CMD_ABOUT}});
        sim::AddDialogResource(DLG_ABOUT);
        sim::SetDefaultProcResult(DEFAULT_RESULT);
    }

    static int Run(int showState = SW_SHOWDEFAULT, const char* commandLine = "") {
        std::string line = commandLine;
        return WinMain(sim::ModuleInstance(), nullptr, line.data(), showState);
    }
    // Starts the program and leaves its loop at once, the window still up;
    // the start's calls are forgotten.
    static HWND Start() {
        sim::QueueMessage(nullptr, WM_QUIT, 0);
        Run();
        sim::ClearRecords();
        sim::ResetCallCounts();
        return sim::CreatedWindow();
    }
};

std::vector<Args> ArgsOf(Op op) {
    std::vector<Args> out;
    for (const sim::ShellCall& c : sim::ShellCalls())
        if (c.op == op) out.push_back(c.args);
    return out;
}

// The shell's calls in order, keeping only those of `among` (all when empty).
Ops Calls(const Ops& among = {}) {
    Ops out;
    for (const sim::ShellCall& c : sim::ShellCalls())
        if (among.empty() || std::find(among.begin(), among.end(), c.op) != among.end())
            out.push_back(c.op);
    return out;
}

Args MessageArgs(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return {Arg(window), Arg(message), Arg(wParam), Arg(lParam)};
}

// ---- Start and exit ----------------------------------------------------

TEST_F(ShellTest, StartsInOrderAndExitsWithZeroOnFileExit) {
    sim::QueueMessage(sim::CREATED_WINDOW, WM_COMMAND, MAKEWPARAM(CMD_EXIT, 0));
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(sim::QueueRanDry());
    EXPECT_EQ(Calls({Op::LoadStringA, Op::RegisterClassExA, Op::CreateWindowExA, Op::SetWindowPos,
                     Op::ShowWindow, Op::UpdateWindow, Op::SetTimer, Op::LoadAcceleratorsA,
                     Op::GetMessageA, Op::DestroyWindow, Op::PostQuitMessage}),
              (Ops{Op::LoadStringA, Op::LoadStringA, Op::RegisterClassExA, Op::CreateWindowExA,
                   Op::SetWindowPos, Op::ShowWindow, Op::UpdateWindow, Op::SetTimer,
                   Op::LoadAcceleratorsA, Op::GetMessageA, Op::DestroyWindow, Op::PostQuitMessage,
                   Op::GetMessageA}));
    HINSTANCE instance = sim::ModuleInstance();
    EXPECT_EQ(ArgsOf(Op::LoadStringA), (std::vector<Args>{{Arg(instance), "103", "100"},
                                                        {Arg(instance), "109", "100"}}));
    EXPECT_EQ(ArgsOf(Op::LoadAcceleratorsA), (std::vector<Args>{{Arg(instance), "#109"}}));
    // Any window, no filter.
    for (const Args& a : ArgsOf(Op::GetMessageA)) EXPECT_EQ(a, (Args{"0", "0", "0"}));
}

TEST_F(ShellTest, RegistersTheClassRecord) {
    Start();
    ASSERT_EQ(sim::RegisteredClasses().size(), 1u);
    const WNDCLASSEXA& c = sim::RegisteredClasses()[0].record;
    EXPECT_EQ(c.cbSize, sizeof(WNDCLASSEXA));
    EXPECT_EQ(c.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(c.lpfnWndProc, &MainWindowProc);
    EXPECT_EQ(c.cbClsExtra, 0);
    EXPECT_EQ(c.cbWndExtra, 0);
    EXPECT_EQ(c.hInstance, sim::ModuleInstance());
    EXPECT_EQ(c.hIcon, sim::IconHandle(ICON_APP));
    EXPECT_EQ(c.hCursor, sim::StandardArrow());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(c.hbrBackground), 6u);
    EXPECT_EQ(Arg(c.lpszMenuName), "#109");
    EXPECT_EQ(sim::RegisteredClasses()[0].name, "QUELVANI");
    EXPECT_EQ(c.hIconSm, sim::IconHandle(ICON_APP_SMALL));
}

TEST_F(ShellTest, CreatesA100By100MinimisedWindowWithItsTimer) {
    sim::QueueMessage(nullptr, WM_QUIT, 0);
    Run();
    HWND window = sim::CreatedWindow();
    ASSERT_NE(window, nullptr);
    HINSTANCE instance = sim::ModuleInstance();
    EXPECT_EQ(ArgsOf(Op::CreateWindowExA),
              (std::vector<Args>{{"0", "\"QUELVANI\"", "\"quelvani\"", Arg(WS_OVERLAPPEDWINDOW),
                                  Arg(CW_USEDEFAULT), "0", Arg(CW_USEDEFAULT), "0", "0", "0",
                                  Arg(instance), "0"}}));
    EXPECT_EQ(ArgsOf(Op::SetWindowPos),
              (std::vector<Args>{{Arg(window), "0", "0", "0", "100", "100",
                                  Arg(SWP_NOZORDER | SWP_NOMOVE)}}));
    EXPECT_EQ(ArgsOf(Op::ShowWindow), (std::vector<Args>{{Arg(window), Arg(SW_MINIMIZE)}}));
    EXPECT_EQ(ArgsOf(Op::UpdateWindow), (std::vector<Args>{{Arg(window)}}));
    EXPECT_EQ(ArgsOf(Op::SetTimer), (std::vector<Args>{{Arg(window), "1", "100", "0"}}));
    RECT client{};  // the simulation's windows have no frame
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 100);
    EXPECT_EQ(client.bottom, 100);
    EXPECT_EQ(sim::MenuResource(window), static_cast<UINT>(MENU_MAIN));
    EXPECT_EQ(sim::TimerPeriod(window, OVERLAY_TIMER_ID), 100u);
    EXPECT_FALSE(sim::NeedsPaint(window)) << "the first WM_PAINT was not validated";
}

// The show state and the command line are accepted and ignored: every start
// makes the same calls with the same arguments.
TEST_F(ShellTest, ShowStateAndCommandLineChangeNothing) {
    sim::QueueMessage(nullptr, WM_QUIT, 0);
    Run(SW_SHOWDEFAULT, "");
    const std::vector<sim::ShellCall> baseline = sim::ShellCalls();
    const int states[] = {SW_HIDE,           SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED,
                          SW_SHOWNOACTIVATE, SW_SHOW,       SW_SHOWMINNOACTIVE, SW_RESTORE};
    const char* lines[] = {"", "/restore", "--size 800x600 \"C:\\Program Files\""};
    for (int state : states) {
        for (const char* line : lines) {
            Fresh();
            sim::QueueMessage(nullptr, WM_QUIT, 0);
            EXPECT_EQ(Run(state, line), 0);
            EXPECT_EQ(sim::ShellCalls(), baseline)
                << "show state " << state << ", \"" << line << '"';
            EXPECT_EQ(sim::ShowCommand(sim::CreatedWindow()), SW_MINIMIZE)
                << "show state " << state;
        }
    }
}

TEST_F(ShellTest, FailuresThatStopTheStartAndThoseThatDoNot) {
    const struct {
        Op failing;
        bool runs;
    } cases[] = {
        {Op::CreateWindowExA, false},
        {Op::RegisterClassExA, false},  // no class, so no window
        {Op::LoadAcceleratorsA, true},
        {Op::SetTimer, true},
        {Op::LoadIconA, true},
    };
    for (const auto& c : cases) {
        Fresh();
        sim::FailAlways(c.failing);
        sim::QueueMessage(sim::CREATED_WINDOW, WM_COMMAND, MAKEWPARAM(CMD_EXIT, 0));
        const char* name = sim::OpName(c.failing);
        if (!c.runs) {
            EXPECT_EQ(Run(), 0) << name;
            EXPECT_EQ(Calls({Op::ShowWindow, Op::UpdateWindow, Op::SetTimer, Op::LoadAcceleratorsA,
                             Op::GetMessageA}),
                      Ops{})
                << name << " failed, yet the start went on";
            continue;
        }
        EXPECT_EQ(Run(), 0) << name;
        EXPECT_EQ(sim::CallCount(Op::DestroyWindow), 1) << name << ": File > Exit not handled";
        EXPECT_FALSE(sim::QueueRanDry()) << name;
    }
}

// ---- The message loop --------------------------------------------------

TEST_F(ShellTest, EveryMessageGoesToTheAcceleratorsFirstWithItsOwnWindow) {
    HWND other = sim::AddWindow(nullptr, "elsewhere", Rect(0, 0, 50, 50));
    const struct {
        HWND window;  // CREATED_WINDOW until the window exists
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool accelerator;
    } script[] = {
        {sim::CREATED_WINDOW, WM_MOUSEMOVE, 0, 0x00050005, false},
        {other, WM_KEYDOWN, 'A', 1, false},
        {sim::CREATED_WINDOW, WM_SYSCHAR, '?', ALT_DOWN | 1, true},
        {sim::CREATED_WINDOW, WM_SYSCHAR, '/', ALT_DOWN | 1, true},
        {sim::CREATED_WINDOW, WM_CHAR, '?', 1, false},
        {sim::CREATED_WINDOW, WM_TIMER, OVERLAY_TIMER_ID, 0, false},
        {sim::CREATED_WINDOW, WM_COMMAND, MAKEWPARAM(CMD_EXIT, 0), 0, false},
    };
    for (const auto& m : script) sim::QueueMessage(m.window, m.message, m.wParam, m.lParam);
    sim::ScriptDialog({IDOK, IDCANCEL});
    EXPECT_EQ(Run(), 0);
    HWND window = sim::CreatedWindow();
    HACCEL table = sim::AcceleratorHandle(ACCEL_MAIN);

    std::vector<Args> offered, translated, dispatched;
    for (const auto& m : script) {
        HWND to = m.window == sim::CREATED_WINDOW ? window : m.window;
        Args msg = MessageArgs(to, m.message, m.wParam, m.lParam);
        Args offer{Arg(to), Arg(table)};
        offer.insert(offer.end(), msg.begin(), msg.end());
        offered.push_back(offer);
        if (!m.accelerator) {
            translated.push_back(msg);
            dispatched.push_back(msg);
        }
    }
    EXPECT_EQ(ArgsOf(Op::TranslateAcceleratorA), offered);
    EXPECT_EQ(ArgsOf(Op::TranslateMessage), translated);
    EXPECT_EQ(ArgsOf(Op::DispatchMessageA), dispatched);
    EXPECT_EQ(sim::CallCount(Op::DialogBoxParamA), 2) << "Alt+? and Alt+/ each open the About box";
}

// The loop ends on WM_QUIT with its wParam as the exit code, and closing the
// window posts that quit with 0. GetMessageA gives -1 on an error; the loop
// stops there with exit code 0 instead of taking -1 for a message, and asks
// no more.
TEST_F(ShellTest, TheLoopEndsOnQuitOrErrorWithItsExitCode) {
    struct Message {
        UINT message;  // WM_QUIT is posted to no window, the rest to the program's
        WPARAM wParam;
    };
    const Message timer{WM_TIMER, OVERLAY_TIMER_ID}, about{WM_COMMAND, CMD_ABOUT};
    const struct {
        const char* how;
        std::vector<Message> script;
        int failingGet;  // the GetMessageA call that fails, 0 for none
        int code;
        long gets;     // GetMessageA calls in all
        bool closes;   // the window is gone and PostQuitMessage(0) was called
    } cases[] = {
        {"File > Exit", {{WM_COMMAND, MAKEWPARAM(CMD_EXIT, 0)}}, 0, 0, 2, true},
        {"close button", {{WM_SYSCOMMAND, SC_CLOSE}}, 0, 0, 2, true},
        {"Alt+F4", {{WM_CLOSE, 0}}, 0, 0, 2, true},
        {"quit 0", {timer, {WM_QUIT, 0}}, 0, 0, 2, false},
        {"quit 1", {timer, {WM_QUIT, 1}}, 0, 1, 2, false},
        {"quit 3", {timer, {WM_QUIT, 3}}, 0, 3, 2, false},
        {"quit 255", {timer, {WM_QUIT, 255}}, 0, 255, 2, false},
        {"quit 0x7FFFFFFF", {timer, {WM_QUIT, 0x7FFFFFFF}}, 0, 0x7FFFFFFF, 2, false},
        {"error at once", {about, {WM_QUIT, 9}}, 1, 0, 1, false},
        {"error after a message", {timer, about, {WM_QUIT, 9}}, 2, 0, 2, false},
        {"error after three", {timer, timer, timer, about, {WM_QUIT, 9}}, 4, 0, 4, false},
    };
    for (const auto& c : cases) {
        Fresh();
        for (const Message& m : c.script)
            sim::QueueMessage(m.message == WM_QUIT ? nullptr : sim::CREATED_WINDOW, m.message,
                              m.wParam);
        if (c.failingGet) sim::FailCall(Op::GetMessageA, c.failingGet);
        EXPECT_EQ(Run(), c.code) << c.how;
        EXPECT_EQ(sim::CallCount(Op::GetMessageA), c.gets) << c.how;
        EXPECT_EQ(sim::CallCount(Op::DispatchMessageA), c.gets - 1) << c.how;
        EXPECT_FALSE(sim::QueueRanDry()) << c.how << ": the loop did not end";
        EXPECT_EQ(sim::IsAlive(sim::CreatedWindow()), !c.closes) << c.how;
        const std::vector<Args> quits = c.closes ? std::vector<Args>{{"0"}} : std::vector<Args>{};
        EXPECT_EQ(ArgsOf(Op::PostQuitMessage), quits)
            << c.how;
    }
}

// ---- The window procedure ----------------------------------------------

// Each message's handling: the calls it makes, its result, and the overlay
// passes it runs, seen as crosses on the Meade LPI program's live view.
TEST_F(ShellTest, EachMessagesHandling) {
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        Ops calls;
        LRESULT result;
        size_t crosses = 0;
    } cases[] = {
        {"About", WM_COMMAND, MAKEWPARAM(CMD_ABOUT, 0), 0,
         {Op::DialogBoxParamA, Op::EndDialog}, 0},
        {"About by accelerator", WM_COMMAND, MAKEWPARAM(CMD_ABOUT, 1), 0,
         {Op::DialogBoxParamA, Op::EndDialog}, 0},
        {"Exit", WM_COMMAND, MAKEWPARAM(CMD_EXIT, 0), 0,
         {Op::DestroyWindow, Op::PostQuitMessage, Op::DefWindowProcA}, 0},
        {"other command", WM_COMMAND, MAKEWPARAM(106, 0), 0, {Op::DefWindowProcA}, DEFAULT_RESULT},
        {"command 0x10068", WM_COMMAND, 0x10068, 0x1234, {Op::DialogBoxParamA, Op::EndDialog}, 0},
        {"timer 1", WM_TIMER, 1, 0, {}, 0, 1},
        {"timer 2", WM_TIMER, 2, 0, {}, 0, 1},
        {"timer 0xFFFF", WM_TIMER, 0xFFFF, 0, {}, 0, 1},
        {"paint", WM_PAINT, 0, 0, {Op::BeginPaint, Op::EndPaint}, 0},
        {"destroy", WM_DESTROY, 0, 0, {Op::PostQuitMessage}, 0},
        {"close", WM_CLOSE, 0, 0,
         {Op::DefWindowProcA, Op::DestroyWindow, Op::PostQuitMessage, Op::DefWindowProcA}, 0},
        {"user message", WM_USER + 7, 3, 4, {Op::DefWindowProcA}, DEFAULT_RESULT},
        {"mouse move", WM_MOUSEMOVE, 0, 0x00100010, {Op::DefWindowProcA}, DEFAULT_RESULT},
        {"Alt+?", WM_SYSCHAR, '?', ALT_DOWN | 1, {Op::DefWindowProcA}, DEFAULT_RESULT},
    };
    for (const auto& c : cases) {
        Fresh();
        HWND window = Start();
        HWND video = Build("lpi")["video"];
        sim::ScriptDialog({IDOK});
        EXPECT_EQ(MainWindowProc(window, c.message, c.wParam, c.lParam), c.result) << c.name;
        EXPECT_EQ(Calls(), c.calls) << c.name;
        if (!c.calls.empty() && c.calls[0] == Op::DefWindowProcA && !sim::ShellCalls().empty()) {
            EXPECT_EQ(sim::ShellCalls()[0].args, MessageArgs(window, c.message, c.wParam, c.lParam))
                << c.name << ": not passed on as received";
        }
        EXPECT_EQ(sim::CallCount(Op::FindWindowA), static_cast<long>(c.crosses)) << c.name;
        EXPECT_EQ(sim::Drawings().size(), c.crosses) << c.name;
        for (const sim::Drawing& d : sim::Drawings()) EXPECT_EQ(d.window, video) << c.name;
    }
}

// About opens dialog 103 owned by the window, which closes on OK or Cancel
// with that button's id. The icon (id 2, the same number as IDCANCEL) is a
// plain static without SS_NOTIFY: it sends no WM_COMMAND, so clicking it
// closes nothing.
TEST_F(ShellTest, AboutOpensDialog103OwnedByTheWindowAndClosesWithItsButton) {
    const struct {
        std::vector<WORD> clicks;
        const char* result;
    } cases[] = {
        {{IDOK}, "1"},
        {{IDCANCEL}, "2"},
        {{3, 4, IDOK}, "1"},
        {{3, IDCANCEL, IDOK}, "2"},
    };
    for (const auto& c : cases) {
        Fresh();
        HWND window = Start();
        sim::ScriptDialog(c.clicks);
        MainWindowProc(window, WM_COMMAND, MAKEWPARAM(CMD_ABOUT, 0), 0);
        EXPECT_EQ(ArgsOf(Op::DialogBoxParamA),
                  (std::vector<Args>{{Arg(sim::ModuleInstance()), "#103", Arg(window),
                                      Arg(&AboutDialogProc), "0"}}));
        std::vector<Args> ends = ArgsOf(Op::EndDialog);
        ASSERT_EQ(ends.size(), 1u) << c.result;
        EXPECT_EQ(ends[0][1], c.result);
    }
}

// ---- The About box -------------------------------------------------------

TEST_F(ShellTest, AboutDialogProcResults) {
    HWND dialog = sim::AddWindow(nullptr, "About", Rect(0, 0, 345, 122));
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        INT_PTR result;
        std::vector<Args> ended;
    } cases[] = {
        {"init", WM_INITDIALOG, 0, TRUE, {}},
        {"OK", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), TRUE, {{Arg(dialog), "1"}}},
        {"Cancel", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), TRUE, {{Arg(dialog), "2"}}},
        {"OK with a high word", WM_COMMAND, MAKEWPARAM(IDOK, 1), TRUE, {{Arg(dialog), "1"}}},
        {"Cancel with a high word", WM_COMMAND, MAKEWPARAM(IDCANCEL, 5), TRUE,
         {{Arg(dialog), "2"}}},
        {"another control", WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), FALSE, {}},
        {"command 0", WM_COMMAND, 0, FALSE, {}},
        {"command 0x10000", WM_COMMAND, 0x10000, FALSE, {}},
        {"close", WM_CLOSE, 0, FALSE, {}},
        {"paint", WM_PAINT, 0, FALSE, {}},
    };
    for (const auto& c : cases) {
        sim::ClearRecords();
        EXPECT_EQ(AboutDialogProc(dialog, c.message, c.wParam, 0), c.result) << c.name;
        EXPECT_EQ(ArgsOf(Op::EndDialog), c.ended) << c.name;
    }
}

}  // namespace
