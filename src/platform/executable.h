#pragma once
// Where the running program is: its settings and records live beside it.
#include <string>

// Full path of the running executable; empty when it cannot be had whole.
std::string ExecutablePath();
