#pragma once
// Steps the engine's commands and the start-up repair share.
#include <string>

#include "engine/journal.h"
#include "engine/record.h"

// Two spellings name the same file where the file system ignores case
// (Windows): the key under which a path is compared.
std::string FileKey(const std::string& path);

// A name folded for comparison without regard to case: ASCII letters only,
// as a byte of a multi-byte character is never one of them.
std::string FoldCase(const std::string& name);

// Moves the records of a committed removal down by one, each move once: a
// move whose destination is there is done.
bool FinishRenumbering(const Plan& plan);

// The part of an uninstall after its commit, from its plan: every file still
// to be deleted is, then its original comes back. Each step is looked for on
// disk first, so it can run again after a crash part-way; with `recheck` a
// file is deleted only while it still holds what was written.
bool FinishRemoval(const Plan& plan, bool recheck, ProgressMeter* meter);
