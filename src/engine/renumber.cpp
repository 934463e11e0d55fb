#include "engine/renumber.h"

#include "engine/record.h"

bool FinishRenumbering(const Plan& plan, ProblemList* problems) {
  for (const int from : plan.renumbered) {
    const int to = from - 1;
    // In order, each destination is free before its move; once there, the
    // move is done (the source may by then hold the next record down).
    if (RecordExists(to) || !RecordExists(from)) continue;
    if (!MoveRecord(from, to)) {
      if (problems != nullptr) problems->StepFailed(RecordPath(from));
      return false;
    }
  }
  return true;
}

bool RenumberRecords(int removed, int count, const CommitStep& commit, ProblemList& problems) {
  // The removed mod is not installed: a record of its number is a stale one
  // (left by an older copy of the program) and would block the renumbering.
  if (!DeleteRecord(removed)) {
    problems.StepFailed(RecordPath(removed));
    return false;
  }
  Plan plan;
  plan.kind = PlanKind::Remove;
  plan.mod = removed;
  plan.count = count;
  for (int i = removed + 1; i < count; ++i) {
    if (RecordExists(i)) plan.renumbered.push_back(i);
  }
  if (plan.renumbered.empty()) return commit();
  if (!SavePlan(plan)) {
    problems.StepFailed(PlanPath(), ProblemKind::PlanNotWritten);
    return false;
  }
  if (!commit()) {
    DeletePlan();
    return false;
  }
  if (FinishRenumbering(plan)) DeletePlan();
  return true;
}
