#pragma once
#include <cstdint>
#include <functional>
#include <mutex>

// Turns units of work done into whole percents for a progress report, and
// reports each new percent once. Files count their bytes and a fixed share
// each, so that a mod of many small files moves on too. Threads of one
// command may share it.
class ProgressMeter {
 public:
  static constexpr std::uint64_t kPerFile = 16 * 1024;
  ProgressMeter(std::function<void(int)> report, std::uint64_t total)
      : report_(std::move(report)), total_(total == 0 ? 1 : total) {}
  void Advance(std::uint64_t units);
  // Corrects the total once the work is better known. Never makes the
  // reported percent go back.
  void SetTotal(std::uint64_t total) {
    const std::lock_guard<std::mutex> lock(guard_);
    total_ = total == 0 ? 1 : total;
  }
  std::uint64_t done() {
    const std::lock_guard<std::mutex> lock(guard_);
    return done_;
  }

 private:
  std::mutex guard_;
  std::function<void(int)> report_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  int shown_ = -1;
};
