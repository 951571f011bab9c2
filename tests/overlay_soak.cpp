// A whole observing night and more, compressed: hostile desktops
// (scenes::RunHostileDesktop) made from seeded random bytes, one after
// another, until the passes run reach the number asked for; every pass is
// judged, and the most device contexts and snapshots open at once must be
// one of each. It prints its figures, also to the file $QUELVANI_FIGURES.
//   overlay_soak [--passes N] [--seed S]
#include "tests/pass_checks.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>

int main(int argc, char** argv) {
    long passes = 100000;
    unsigned seed = 20261208;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--passes") == 0) passes = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--seed") == 0) seed = static_cast<unsigned>(std::atol(argv[i + 1]));
    }

    std::mt19937 random(seed);
    const int most = scenes::MostCrosses().total;
    long run = 0, desktops = 0, crosses = 0, passesWithTheMost = 0;
    int peakDCs = 0, peakSnapshots = 0;
    auto begin = std::chrono::steady_clock::now();
    while (run < passes) {
        std::vector<std::uint8_t> bytes(64 + random() % 448);
        for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random());
        scenes::DesktopReport report = scenes::RunHostileDesktop(bytes.data(), bytes.size());
        ++desktops;
        for (const std::string& p : report.problems)
            std::fprintf(stderr, "desktop %ld (seed %u): %s\n", desktops, seed, p.c_str());
        if (!report.problems.empty()) return 1;
        run += static_cast<long>(report.crosses.size());
        crosses += std::accumulate(report.crosses.begin(), report.crosses.end(), 0L);
        passesWithTheMost += std::count(report.crosses.begin(), report.crosses.end(), most);
        peakDCs = std::max(peakDCs, sim::PeakOpenDCs());
        peakSnapshots = std::max(peakSnapshots, sim::PeakOpenSnapshots());
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    char line[512];
    std::snprintf(line, sizeof line,
                  "soak: %ld passes over %ld desktops in %.1f s, %.0f passes/s; peak open device "
                  "contexts %d, peak open snapshots %d (expected 1 and 1); %ld crosses (%ld passes "
                  "with the most, %d)\n",
                  run, desktops, seconds, static_cast<double>(run) / seconds, peakDCs,
                  peakSnapshots, crosses, passesWithTheMost, most);
    std::fputs(line, stdout);
    const char* figures = std::getenv("QUELVANI_FIGURES");
    if (std::FILE* out = figures ? std::fopen(figures, "a") : nullptr) {
        std::fputs(line, out);
        std::fclose(out);
    }
    // One of each at a time is all a pass ever needs.
    return peakDCs == 1 && peakSnapshots == 1 ? 0 : 1;
}
