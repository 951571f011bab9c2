// The scenes on the simulated window system. The process that owns the
// windows is given the module list the Wine side's process has, starting
// with the same program name.
#include "e2e/conformance/scenes.h"
#include "sim/sim.h"

namespace {

constexpr DWORD PROCESS_ID = 4242;

HWND Create(const conformance::WindowSpec& spec, HWND parent) {
    unsigned flags = ((spec.flags & conformance::HIDDEN) ? sim::HIDDEN : 0) |
                     ((spec.flags & conformance::DISABLED) ? sim::DISABLED : 0);
    RECT rect{spec.x, spec.y, spec.x + spec.width, spec.y + spec.height};
    return sim::AddWindow(parent, spec.caption, rect, flags, PROCESS_ID);
}

}  // namespace

int main() {
    sim::Reset();
    sim::AddProcess(PROCESS_ID, {"dsi_envisage_conformance.exe", "ntdll.dll", "KERNEL32.dll",
                                 "KERNELBASE.dll", "msvcrt.dll", "USER32.dll", "GDI32.dll"});
    conformance::RunScenes(conformance::Desk{Create, sim::DestroyWindow, PROCESS_ID});
    return 0;
}
