#include "app/main_window.h"

#include "app/about.h"
#include "app/resource.h"
#include "overlay/overlay_pass.h"

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(WNDCLASSEXA) == 48, "the class record is 48 bytes on 32-bit Windows");
#endif

namespace {

// The About box is loaded from this module.
HINSTANCE appInstance;
char appTitle[RESOURCE_TEXT_CAPACITY];
char windowClassName[RESOURCE_TEXT_CAPACITY];

}  // namespace

void RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(ICON_APP));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(MENU_MAIN);
    windowClass.lpszClassName = windowClassName;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(ICON_APP_SMALL));
    RegisterClassExA(&windowClass);
}

bool CreateMainWindow(HINSTANCE instance) {
    appInstance = instance;
    HWND window = CreateWindowExA(0, windowClassName, appTitle, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr, instance,
                                  nullptr);
    if (!window) return false;
    SetWindowPos(window, nullptr, 0, 0, MAIN_WINDOW_SIZE, MAIN_WINDOW_SIZE,
                 SWP_NOZORDER | SWP_NOMOVE);
    // Minimised whatever show state the process was started with.
    ShowWindow(window, SW_MINIMIZE);
    UpdateWindow(window);
    SetTimer(window, OVERLAY_TIMER_ID, OVERLAY_PERIOD_MS, nullptr);
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CMD_ABOUT:
            DialogBoxParamA(appInstance, MAKEINTRESOURCEA(DLG_ABOUT), window, AboutDialogProc, 0);
            return 0;
        case CMD_EXIT:
            DestroyWindow(window);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_TIMER:
        RunOverlayPass();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LoadStringA(instance, STR_APP_TITLE, appTitle, RESOURCE_TEXT_CAPACITY);
    LoadStringA(instance, STR_WINDOW_CLASS, windowClassName, RESOURCE_TEXT_CAPACITY);
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance)) return 0;
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(ACCEL_MAIN));

    // GetMessageA gives -1 on an error and would give it again on every
    // later call, so only a positive result keeps the loop going.
    MSG message{};
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        if (!TranslateAcceleratorA(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return got == 0 ? static_cast<int>(message.wParam) : 0;
}
