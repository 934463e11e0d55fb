#include "engine/progress.h"

#include <algorithm>

void ProgressMeter::Advance(std::uint64_t units) {
  const std::lock_guard<std::mutex> lock(guard_);
  done_ += units;
  const int percent = static_cast<int>(std::min<std::uint64_t>(done_, total_) * 100 / total_);
  if (percent <= shown_ || !report_) return;
  shown_ = percent;
  report_(percent);
}
