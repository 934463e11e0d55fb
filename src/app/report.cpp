#include "app/report.h"

#include <vector>

#include "app/texts.h"
#include "platform/text.h"
#include "rules/paths.h"
#include "settings/settings.h"

namespace {

// Names longer than this many characters show their start and end only; a
// deep path in a game folder stays whole.
constexpr std::size_t kMaxNameShown = 500;

bool StartsCharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }

// A name as one line can show it: a name from an archive or a folder may
// hold control characters (a line break would pass for a line of its own)
// or run to thousands of characters.
std::string Printable(const std::string& narrow) {
  std::string name = NarrowToUtf8(narrow);
  for (char& byte : name) {
    const unsigned char c = static_cast<unsigned char>(byte);
    if (c < 0x20 || c == 0x7F) byte = '?';
  }
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (StartsCharacter(name[i])) starts.push_back(i);
  }
  if (starts.size() <= kMaxNameShown) return name;
  const std::size_t keep = kMaxNameShown / 2;
  return name.substr(0, starts[keep]) + "\xE2\x80\xA6" + name.substr(starts[starts.size() - keep]);
}

// Replaces the "%s" of `text` with `name`.
std::string Filled(const char* text, const std::string& name) {
  std::string out = text;
  const std::size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, name);
  return out;
}

// Why, in the user's words: for a taken backup, whose it is.
std::string Why(const Problem& problem) {
  switch (problem.kind) {
    case ProblemKind::ArchiveRefused:
      return ArchiveRefusalText(problem.refusal);
    case ProblemKind::StepFailed:
      return FileCauseText(problem.cause);
    case ProblemKind::NotUndone:
      return (problem.backup.empty() ? std::string(kNotUndone)
                                     : Filled(kNotMovedBack, Printable(problem.backup))) +
             FileCauseText(problem.cause);
    case ProblemKind::KeptChanged:
      return Filled(kKeptChangedAs, Printable(problem.backup));
    case ProblemKind::LeftChanged:
      return kLeftChanged +
             (problem.backup.empty() ? std::string() : Filled(kOriginalAt, Printable(problem.backup)));
    case ProblemKind::BackupTaken:
      if (problem.owner >= 0) {
        return Filled(kBackupTakenByMod, Printable(DisplayName(ReadFileName(problem.owner))));
      }
      return Filled(kBackupTakenOnDisk, Printable(problem.backup));
    case ProblemKind::PlanNotWritten:
      // The cause, when the seam knew one worth telling.
      if (problem.cause != FileCause::None && problem.cause != FileCause::Other) {
        return std::string(ProblemKindText(problem.kind)) + FileCauseText(problem.cause);
      }
      return ProblemKindText(problem.kind);
    default:
      return ProblemKindText(problem.kind);
  }
}

}  // namespace

std::string WithProblems(std::string text, const Problems& problems) {
  if (problems.empty()) return text;
  text += "\n";
  for (std::size_t i = 0; i < problems.size() && i < kMaxProblemsShown; ++i) {
    text += "\n" + Printable(problems[i].file) + kProblemSeparator + Why(problems[i]);
  }
  if (problems.size() > kMaxProblemsShown) {
    text += "\n(+" + std::to_string(problems.size() - kMaxProblemsShown) + ")";
  }
  return text;
}
