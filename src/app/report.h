#pragma once
// A command's message as the user sees it: its own text first, then, after
// an empty line, one line per problem: the file and why.
#include <string>

#include "engine/command.h"

std::string WithProblems(std::string text, const Problems& problems);
