#include "fault/fault.h"

namespace {
int g_fail_at = 0;          // which mutating call fails; 0 = none
bool g_fail_later = false;  // and every one after it
int g_operations = 0;       // mutating calls since the last arming
}  // namespace

void FailFileOperation(int k, bool and_every_later) {
  g_fail_at = k;
  g_fail_later = and_every_later;
  g_operations = 0;
}

int FileOperationCount() { return g_operations; }

bool InjectedFailure() {
  ++g_operations;
  if (g_fail_at <= 0) return false;
  return g_operations == g_fail_at || (g_fail_later && g_operations > g_fail_at);
}
