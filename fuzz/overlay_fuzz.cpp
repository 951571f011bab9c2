// The overlay fuzz target: every input is a hostile desktop
// (scenes::RunHostileDesktop), and any broken rule aborts with the reason.
#include "tests/pass_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    scenes::DesktopReport report = scenes::RunHostileDesktop(data, size);
    for (const std::string& p : report.problems) std::fprintf(stderr, "%s\n", p.c_str());
    if (!report.problems.empty()) std::abort();
    return 0;
}
