// The start-up repair: a command's plan is on disk from before its first
// change until after its last, so a plan found at start belongs to a command
// a crash interrupted. Whether it had committed decides the direction; what
// each step left is read from the folder (a move is done when its source is
// gone and its destination is there; a file the plan creates is the
// command's own), so the repair can itself be interrupted and run again.
#include "engine/repair.h"

#include <map>

#include "engine/disk.h"
#include "engine/record.h"
#include "engine/removal.h"
#include "engine/renumber.h"

namespace {

// The steps of one repair, each told to `problems` when it fails, by its
// path relative to the mod's folder.
class Steps {
 public:
  Steps(const InstallRecord& record, ProblemList& problems)
      : record_(record), problems_(problems) {}

  bool ok() const { return ok_; }
  // Notes a step on `relative` that did or did not succeed.
  void Took(bool done, const std::string& relative) {
    if (!done) problems_.StepFailed(relative);
    ok_ = ok_ && done;
  }
  // Moves a file back from `moved_to` when the step that moved it there was
  // taken.
  void MoveBack(const std::string& moved_to, const std::string& moved_from) {
    const std::string to = InFolder(record_, moved_to);
    const std::string from = InFolder(record_, moved_from);
    if (!PathExists(to) || PathExists(from)) return;
    Took(MovePath(to, from), moved_from);
  }
  void DeleteIfThere(const std::string& relative) {
    const std::string path = InFolder(record_, relative);
    if (PathExists(path)) Took(DeletePath(path), relative);
  }

 private:
  const InstallRecord& record_;
  ProblemList& problems_;
  bool ok_ = true;
};

bool RollBackInstall(const InstallRecord& record, ProblemList& problems) {
  Steps steps(record, problems);
  std::map<std::string, std::string> backup_of;
  for (const RecordedMove& original : record.originals) backup_of[original.from] = original.to;
  // A target is the install's own file once its original is saved (or when
  // it had none): nothing is created before the originals are moved.
  for (auto file = record.files.rbegin(); file != record.files.rend(); ++file) {
    const auto backup = backup_of.find(file->path);
    const bool ours = backup == backup_of.end() || PathExists(InFolder(record, backup->second));
    if (ours) steps.DeleteIfThere(file->path);
  }
  for (auto original = record.originals.rbegin(); original != record.originals.rend();
       ++original) {
    steps.MoveBack(original->to, original->from);
  }
  for (auto folder = record.folders.rbegin(); folder != record.folders.rend(); ++folder) {
    steps.Took(RemoveFolderIfEmpty(InFolder(record, *folder)), *folder);
  }
  return steps.ok();
}

bool RollBackUninstall(const Plan& plan, ProblemList& problems) {
  Steps steps(plan.record, problems);
  const InstallRecord& record = plan.record;
  // Before its commit an uninstall in place has only moved the changed files
  // aside; one of the earlier kind had also put the originals back.
  for (auto original = record.originals.rbegin();
       !plan.in_place && original != record.originals.rend(); ++original) {
    steps.MoveBack(original->from, original->to);
  }
  for (const auto* moves : {&plan.kept, &plan.set_aside}) {
    for (auto move = moves->rbegin(); move != moves->rend(); ++move) {
      steps.MoveBack(move->to, move->from);
    }
  }
  return steps.ok();
}

bool FinishUninstall(const Plan& plan, ProblemList& problems) {
  bool ok = true;
  if (plan.in_place) {
    ok = FinishRemoval(plan, true, nullptr, &problems);
  } else {
    Steps steps(plan.record, problems);
    for (const RecordedMove& move : plan.set_aside) steps.DeleteIfThere(move.to);
    ok = steps.ok();
  }
  if (ok && !DeleteRecord(plan.mod)) {
    problems.StepFailed(RecordPath(plan.mod));
    ok = false;
  }
  // The changed files it kept stay kept: the user hears of them now, after
  // what could not be done.
  for (const RecordedMove& move : plan.kept) problems.Add(KeptAs(move.from, move.to));
  return ok;
}

}  // namespace

// A plan is acted on inside its own mod's folder only: the one the settings
// file names for that mod, or for an uninstall the one its checked record
// names. (Every path of a plan read whole already stays inside its folder.)
bool ActsInItsFolder(const Plan& plan, const FolderOfMod& folder_of) {
  const std::string& folder = plan.record.folder;
  if (plan.kind == PlanKind::Remove) return true;
  if (folder.empty()) return false;
  if (folder == folder_of(plan.mod)) return true;
  InstallRecord record;
  bool sealed = false;
  return plan.kind == PlanKind::Uninstall && LoadRecord(plan.mod, record, &sealed) && sealed &&
         record.folder == folder;
}

RepairReport RepairInterruptedCommand(const IsCommitted& committed, const FolderOfMod& folder_of) {
  RepairReport report;
  Plan plan;
  std::string text;
  PlanState state = LoadPlan(plan, &text);
  if (state == PlanState::None) {
    DeletePlan();  // at most a temporary one a crash left half-written
    return report;
  }
  report.repaired = true;
  if (state == PlanState::Read && !ActsInItsFolder(plan, folder_of)) state = PlanState::Damaged;
  ProblemList problems;
  if (state != PlanState::Read) {
    report.archive = ArchiveNamedIn(text);
    if (state == PlanState::Unreadable) problems.StepFailed(PlanPath());
    // None of a damaged plan's steps is taken. Set aside, it no longer
    // blocks every later command; one that cannot be read now may be next
    // time, and stays.
    report.damaged = state == PlanState::Damaged;
    if (report.damaged) report.set_aside = SetPlanAside();
    if (report.damaged && report.set_aside.empty()) problems.StepFailed(PlanPath());
    report.finished = !report.set_aside.empty();
    report.problems = problems.Take();
    return report;
  }
  report.mod = plan.mod;
  report.archive = plan.record.archive;
  report.completed = committed(plan);
  bool ok = true;
  switch (plan.kind) {
    case PlanKind::Install:
      if (!report.completed) {
        ok = RollBackInstall(plan.record, problems);
      } else if (!SaveRecord(plan.mod, plan.record)) {
        problems.StepFailed(RecordPath(plan.mod));
        ok = false;
      }
      break;
    case PlanKind::Uninstall:
      ok = report.completed ? FinishUninstall(plan, problems) : RollBackUninstall(plan, problems);
      break;
    case PlanKind::Remove:
      ok = !report.completed || FinishRenumbering(plan, &problems);
      break;
  }
  report.finished = ok && DeletePlan();
  if (ok && !report.finished) problems.StepFailed(PlanPath());
  report.problems = problems.Take();
  return report;
}
