#pragma once
// Steps the engine's commands and the start-up repair share.
#include <string>

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
