// Clocks, latency summaries and the process's memory figures for the
// comparison benchmark.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace Kestova::Bench {

using Clock = std::chrono::steady_clock;

inline double microsecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::micro>(to - from).count();
}

// CPU time of the calling thread, in microseconds. Unlike the wall clock it
// does not count time the thread spent waiting for a processor.
double threadCpuMicroseconds();

// Order statistics of a sample (copied and sorted).
struct Summary {
  std::size_t count = 0;
  double median = 0;
  double p90 = 0;
  double p99 = 0;
  double max = 0;
  double mean = 0;
};
Summary summarize(std::vector<double> samples);

// Figures of /proc/self/smaps_rollup, in kB.
struct MemoryUse {
  long rss = 0;
  long privateClean = 0;
  long privateDirty = 0;
  long anonymous = 0;
  long privateTotal() const { return privateClean + privateDirty; }
};
// All zero when the file cannot be read.
MemoryUse currentMemoryUse();
// The same figures summed over the mappings (/proc/self/smaps) of files whose
// path contains `pathPart`: how much of the above is the mapped data.
MemoryUse mappedFileUse(const std::string& pathPart);

}  // namespace Kestova::Bench
