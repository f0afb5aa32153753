// Wall-clock time and the median the benchmarks report.
#ifndef GIFQVR_BENCHMARKS_TIMING_H
#define GIFQVR_BENCHMARKS_TIMING_H

#include <time.h>

#include <algorithm>
#include <vector>

namespace bench {

inline double now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace bench

#endif
