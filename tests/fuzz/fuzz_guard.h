#pragma once
// A fence around code that deletes and renames from what a file tells it:
// while it is up, every call that changes the file system (the linker
// routes them here, see CMakeLists.txt) on a path outside `root` aborts
// before it is made, naming the call and the path. It keeps a fuzzer, which
// may well find a plan that names /etc, from changing the machine it runs
// on, and it is a finding in itself. Paths are resolved by their spelling
// (".." taken off lexically), which is exact while `root` holds no links.
#include <string>

namespace fuzz {

void RaiseFence(const std::string& root);
void LowerFence();

}  // namespace fuzz
