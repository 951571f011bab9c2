// The scenes as real windows of this process. Windows are made without
// frames (popups and plain children), so each client rectangle is exactly
// the rectangle the scene gives. The program's name carries both "dsi" and
// "envisage", so its own windows pass both process filters.
#include "e2e/conformance/scenes.h"

#include <windows.h>

namespace {

constexpr char CLASS_NAME[] = "ConformanceScene";

HWND Create(const conformance::WindowSpec& spec, HWND parent) {
    DWORD style = parent ? WS_CHILD : WS_POPUP;
    if (!(spec.flags & conformance::HIDDEN)) style |= WS_VISIBLE;
    if (spec.flags & conformance::DISABLED) style |= WS_DISABLED;
    return CreateWindowExA(0, CLASS_NAME, spec.caption, style, spec.x, spec.y, spec.width,
                           spec.height, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void Destroy(HWND window) {
    DestroyWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

}  // namespace

int main() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = CLASS_NAME;
    if (!RegisterClassExA(&wc)) return 1;
    conformance::RunScenes(conformance::Desk{Create, Destroy, GetCurrentProcessId()});
    return 0;
}
