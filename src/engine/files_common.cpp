#include "engine/files_common.h"

namespace {
int g_fail_at = 0;     // which mutating call fails; 0 = none
int g_operations = 0;  // mutating calls since the last arming
}  // namespace

void FailFileOperation(int k) {
  g_fail_at = k;
  g_operations = 0;
}

int FileOperationCount() { return g_operations; }

bool InjectedFailure() {
  ++g_operations;
  return g_fail_at > 0 && g_operations == g_fail_at;
}
