#include "app/window.h"

#include <cassert>

namespace {
Window* g_main_window = nullptr;  // the one dialog every command works on
}

void SetMainWindow(Window* window) { g_main_window = window; }

Window& MainWindow() {
  assert(g_main_window != nullptr);
  return *g_main_window;
}
