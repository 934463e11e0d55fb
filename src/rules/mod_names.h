#pragma once
// The name that stands for mod number n: its section of the settings file
// and its install record are both called FileNo<n>.
#include <string>

// The most mods there can be: a section name holds five digits at most.
constexpr int kMaxModNumber = 99999;

std::string ModName(int n);
// The number such a name stands for; false for any other name (a leading
// zero, more than five digits, anything after them).
bool ParseModName(const std::string& name, int& n);
