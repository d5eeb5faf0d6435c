// Timing for the benchmarks that run under Wine: the best of a few runs, printed beside the bare
// baseline measured in the same run. Figures, not tests: nothing fails on time.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace bench {

// Milliseconds of the fastest of `runs` calls.
inline double BestOf(int runs, const std::function<void()>& work) {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start{}, end{};
        ::QueryPerformanceCounter(&start);
        work();
        ::QueryPerformanceCounter(&end);
        best = std::min(best, 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                                  static_cast<double>(frequency.QuadPart));
    }
    return best;
}

// "what: N ms; bare: M ms; ratio R" and the goal when there is one.
inline void Report(const char* what, double measured, const char* bare, double baseline, const char* goal = nullptr) {
    std::printf("%s: %.1f ms\n  %s: %.1f ms\n  ratio: %.2f\n", what, measured, bare, baseline,
                baseline > 0 ? measured / baseline : 0.0);
    if (goal) std::printf("  goal: %s\n", goal);
    std::fflush(stdout);
}

}  // namespace bench
