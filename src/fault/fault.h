#pragma once
// Fault injection for tests. Every call that changes something on disk (a
// file operation of the engine, a write of the settings file) counts itself
// here first and fails, changing nothing, when the harness says so.

// Arms the counter: the k-th mutating call from now on fails. With
// `and_every_later` every call after it fails too, which is what a crash
// looks like from the disk: nothing more happens, not even an undo. 0 disarms.
void FailFileOperation(int k, bool and_every_later = false);
// Mutating calls counted since the last arming.
int FileOperationCount();

// Counts one mutating call; true when it is to fail.
bool InjectedFailure();
