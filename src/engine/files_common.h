#pragma once
// Shared by the platform file backends.
#include "engine/files.h"

// Counts one mutating call; true when the test harness wants it to fail.
bool InjectedFailure();
