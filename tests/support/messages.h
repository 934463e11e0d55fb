#pragma once
// The tests' spelling of a command's message as the user sees it.
#include <string>
#include <vector>

#include "app/texts.h"

// What a command's message shows below its own text: an empty line, then
// one line per problem, the file and why.
inline std::string ProblemLine(const std::string& file, const std::string& why) {
  return file + kProblemSeparator + why;
}
inline std::string Below(const std::vector<std::string>& lines) {
  std::string out = "\n";
  for (const std::string& line : lines) out += "\n" + line;
  return out;
}
// A text with its "%s" filled in.
inline std::string Fill(const char* text, const std::string& name) {
  std::string out = text;
  out.replace(out.find("%s"), 2, name);
  return out;
}
// The line of a changed file kept under the name `kept`.
inline std::string KeptLine(const std::string& file, const std::string& kept) {
  return ProblemLine(file, Fill(kKeptChangedAs, kept));
}
