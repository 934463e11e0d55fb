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

// Moves `from` back to `to` when the step that moved it there was taken.
bool MoveBackIfDone(const std::string& moved_to, const std::string& moved_from) {
  if (!PathExists(moved_to) || PathExists(moved_from)) return true;
  return MovePath(moved_to, moved_from);
}

bool RollBackInstall(const InstallRecord& record) {
  std::map<std::string, std::string> backup_of;
  for (const RecordedMove& original : record.originals) backup_of[original.from] = original.to;
  bool ok = true;
  // A target is the install's own file once its original is saved (or when
  // it had none): nothing is created before the originals are moved.
  for (auto file = record.files.rbegin(); file != record.files.rend(); ++file) {
    const std::string target = InFolder(record, file->path);
    const auto backup = backup_of.find(file->path);
    const bool ours = backup == backup_of.end() || PathExists(InFolder(record, backup->second));
    if (ours && PathExists(target)) ok = DeletePath(target) && ok;
  }
  for (auto original = record.originals.rbegin(); original != record.originals.rend();
       ++original) {
    ok = MoveBackIfDone(InFolder(record, original->to), InFolder(record, original->from)) && ok;
  }
  for (auto folder = record.folders.rbegin(); folder != record.folders.rend(); ++folder) {
    ok = RemoveFolderIfEmpty(InFolder(record, *folder)) && ok;
  }
  return ok;
}

bool RollBackUninstall(const Plan& plan) {
  const InstallRecord& record = plan.record;
  bool ok = true;
  // Before its commit an uninstall in place has only moved the changed files
  // aside; one of the earlier kind had also put the originals back.
  for (auto original = record.originals.rbegin();
       !plan.in_place && original != record.originals.rend(); ++original) {
    ok = MoveBackIfDone(InFolder(record, original->from), InFolder(record, original->to)) && ok;
  }
  for (const auto* moves : {&plan.kept, &plan.set_aside}) {
    for (auto move = moves->rbegin(); move != moves->rend(); ++move) {
      ok = MoveBackIfDone(InFolder(record, move->to), InFolder(record, move->from)) && ok;
    }
  }
  return ok;
}

bool FinishUninstall(const Plan& plan) {
  if (plan.in_place) return FinishRemoval(plan, true, nullptr) && DeleteRecord(plan.mod);
  bool ok = true;
  for (const RecordedMove& move : plan.set_aside) {
    const std::string aside = InFolder(plan.record, move.to);
    if (PathExists(aside)) ok = DeletePath(aside) && ok;
  }
  return ok && DeleteRecord(plan.mod);
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
  if (state != PlanState::Read) {
    report.archive = ArchiveNamedIn(text);
    // None of a damaged plan's steps is taken. Set aside, it no longer
    // blocks every later command; one that cannot be read now may be next
    // time, and stays.
    report.damaged = state == PlanState::Damaged;
    if (report.damaged) report.set_aside = SetPlanAside();
    report.finished = !report.set_aside.empty();
    return report;
  }
  report.mod = plan.mod;
  report.archive = plan.record.archive;
  report.completed = committed(plan);
  bool ok = true;
  switch (plan.kind) {
    case PlanKind::Install:
      ok = report.completed ? SaveRecord(plan.mod, plan.record) : RollBackInstall(plan.record);
      break;
    case PlanKind::Uninstall:
      ok = report.completed ? FinishUninstall(plan) : RollBackUninstall(plan);
      break;
    case PlanKind::Remove:
      ok = !report.completed || FinishRenumbering(plan);
      break;
  }
  report.finished = ok && DeletePlan();
  return report;
}
