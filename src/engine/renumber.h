#pragma once
// The install records follow their mods when one is removed from the list.
#include "engine/command.h"
#include "engine/record.h"

// Renumbers the records of mods after `removed` (of `count` mods) with the
// list itself: `commit` writes the renumbered list. False when the records
// could not be prepared (told to `problems`) or `commit` failed; nothing
// changed then.
bool RenumberRecords(int removed, int count, const CommitStep& commit, ProblemList& problems);

// Moves the records of a committed removal down by one, each move once: a
// move whose destination is there is done. A move that fails is told to
// `problems` when given.
bool FinishRenumbering(const Plan& plan, ProblemList* problems = nullptr);
