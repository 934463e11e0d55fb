#include "app/report.h"

#include "app/texts.h"
#include "platform/text.h"
#include "rules/paths.h"
#include "settings/settings.h"

namespace {

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
                                     : Filled(kNotMovedBack, NarrowToUtf8(problem.backup))) +
             FileCauseText(problem.cause);
    case ProblemKind::KeptChanged:
      return Filled(kKeptChangedAs, NarrowToUtf8(problem.backup));
    case ProblemKind::BackupTaken:
      if (problem.owner >= 0) {
        return Filled(kBackupTakenByMod, NarrowToUtf8(DisplayName(ReadFileName(problem.owner))));
      }
      return Filled(kBackupTakenOnDisk, NarrowToUtf8(problem.backup));
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
    text += "\n" + NarrowToUtf8(problems[i].file) + kProblemSeparator + Why(problems[i]);
  }
  if (problems.size() > kMaxProblemsShown) {
    text += "\n(+" + std::to_string(problems.size() - kMaxProblemsShown) + ")";
  }
  return text;
}
