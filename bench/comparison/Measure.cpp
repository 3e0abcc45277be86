#include "bench/comparison/Measure.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>
#include <sstream>

namespace Kestova::Bench {

double threadCpuMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

namespace {

// Nearest-rank percentile of a sorted, non-empty sample.
double percentile(const std::vector<double>& sorted, double fraction) {
  const double rank = std::ceil(fraction * static_cast<double>(sorted.size()));
  const std::size_t index = rank < 1 ? 0 : static_cast<std::size_t>(rank) - 1;
  return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

Summary summarize(std::vector<double> samples) {
  Summary summary;
  if (samples.empty()) return summary;
  std::sort(samples.begin(), samples.end());
  summary.count = samples.size();
  summary.median = percentile(samples, 0.5);
  summary.p90 = percentile(samples, 0.9);
  summary.p99 = percentile(samples, 0.99);
  summary.max = samples.back();
  summary.mean =
      std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
  return summary;
}

namespace {

// Adds one "Name:  123 kB" line to `use`; false when the line is no such figure.
bool addFigure(const std::string& line, MemoryUse& use) {
  std::istringstream fields(line);
  std::string name;
  long kilobytes = 0;
  if (!(fields >> name >> kilobytes) || name.empty() || name.back() != ':') return false;
  if (name == "Rss:") {
    use.rss += kilobytes;
  } else if (name == "Private_Clean:") {
    use.privateClean += kilobytes;
  } else if (name == "Private_Dirty:") {
    use.privateDirty += kilobytes;
  } else if (name == "Anonymous:") {
    use.anonymous += kilobytes;
  }
  return true;
}

}  // namespace

MemoryUse currentMemoryUse() {
  MemoryUse use;
  std::ifstream in("/proc/self/smaps_rollup");
  std::string line;
  while (std::getline(in, line)) addFigure(line, use);
  return use;
}

MemoryUse mappedFileUse(const std::string& pathPart) {
  MemoryUse use;
  std::ifstream in("/proc/self/smaps");
  std::string line;
  bool counting = false;
  while (std::getline(in, line)) {
    // A mapping's header line ("start-end perms offset dev inode path") is
    // followed by its figures.
    MemoryUse figures;
    if (addFigure(line, figures)) {
      if (!counting) continue;
      use.rss += figures.rss;
      use.privateClean += figures.privateClean;
      use.privateDirty += figures.privateDirty;
      use.anonymous += figures.anonymous;
    } else {
      counting = line.find(pathPart) != std::string::npos;
    }
  }
  return use;
}

}  // namespace Kestova::Bench
