#include "fault/fault.h"

#include <atomic>

namespace {
// Commands spread their file calls over threads: every thread counts here.
std::atomic<int> g_fail_at{0};          // which mutating call fails; 0 = none
std::atomic<bool> g_fail_later{false};  // and every one after it
std::atomic<int> g_operations{0};       // mutating calls since the last arming
}  // namespace

void FailFileOperation(int k, bool and_every_later) {
  g_fail_at = k;
  g_fail_later = and_every_later;
  g_operations = 0;
}

int FileOperationCount() { return g_operations; }

bool InjectedFailure() {
  const int operation = ++g_operations;
  const int fail_at = g_fail_at;
  if (fail_at <= 0) return false;
  return operation == fail_at || (g_fail_later && operation > fail_at);
}
