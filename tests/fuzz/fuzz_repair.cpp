// The start-up repair, over a plan (and records) from the input. The
// scratch folder, made once per process, holds:
//
//   f  far.txt  x/                   one level further out than the box
//   box/                             the program's folder
//     Quorvantel.ini                 FileNo0 (not installed) and FileNo1
//                                    (installed), both of mod.zip into game/
//     mod.zip  f  sibling.txt  other/f  x/
//     Quorvantel.records/            reset for each input: plan, FileNo0..
//     game/                          reset for each input: as an install of
//                                    mod.zip left it, and a FIFO
//
// The input is the plan; a line "----" ends it, and what follows is the
// record of mod 0 (and after another such line, of mod 1). An empty part
// writes no file. "$GAME" and "$BOX" anywhere stand for those folders' full
// paths, which a fuzzer could not guess, and a line "check $CHECK" for the
// check a writer seals a file with: the CRC-32 of every byte before it.
//
// The repair may change the game folder and the records and nothing else:
// the target aborts when anything else in the scratch folder changed (type,
// mode, size or contents), or when the repair so much as tries to change a
// path outside the scratch folder (see fuzz_guard.h). A repair that never
// returns is a fuzzer timeout.
#include <signal.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "engine/record.h"
#include "fuzz_guard.h"
#include "fuzz_support.h"
#include "settings/settings.h"
#include "support/recording_window.h"

using namespace fuzz;

namespace {

constexpr const char* kGameToken = "$GAME";
constexpr const char* kBoxToken = "$BOX";
constexpr const char* kCheckLine = "check $CHECK\n";

struct Scene {
  std::string outer;
  std::string box;
  std::string game;
  std::string records;
  Tree outside;  // everything the repair must leave alone, as it was made
};

const std::set<std::string> kRepairable = {"box/game", std::string("box/") + kRecordFolderName};

// The game folder as an install of mod.zip left it: a.txt and README
// replaced (originals saved as a.qvs and READMEqvs), data/b.dat and
// data/new/c.txt created, with data/new.
void MakeGame(const std::string& game) {
  fuzz::MakeFolder(game);
  WriteBytes(game + "/a.txt", "mod a\n");
  WriteBytes(game + "/a.qvs", "original a\n");
  WriteBytes(game + "/README", "mod readme\n");
  WriteBytes(game + "/READMEqvs", "original readme\n");
  fuzz::MakeFolder(game + "/data");
  WriteBytes(game + "/data/b.dat", "mod b\n");
  fuzz::MakeFolder(game + "/data/new");
  WriteBytes(game + "/data/new/c.txt", "mod c\n");
  fuzz::MakeFolder(game + "/keep");
  WriteBytes(game + "/keep/other.txt", "untouched\n");
  // Opening it for reading waits for a writer that never comes.
  if (mkfifo((game + "/pipe").c_str(), 0644) != 0) FuzzFail("no FIFO: errno %d", errno);
}

// libFuzzer finds a hang by its alarm signal, whose handler would also cut
// short the call the repair waits in (the open of a FIFO fails with EINTR)
// and so hide the hang: the call is to go on until the timeout ends it.
void RestartCallsAfterAlarm() {
  struct sigaction action;
  if (sigaction(SIGALRM, nullptr, &action) != 0) FuzzFail("no SIGALRM action: errno %d", errno);
  action.sa_flags |= SA_RESTART;
  if (sigaction(SIGALRM, &action, nullptr) != 0) FuzzFail("SIGALRM not changed: errno %d", errno);
}

const Scene& TheScene() {
  static const Scene scene = [] {
    RestartCallsAfterAlarm();
    Scene made;
    made.outer = MakeScratchFolder("qv-fuzz-repair");
    made.box = made.outer + "/box";
    made.game = made.box + "/game";
    made.records = made.box + "/" + kRecordFolderName;
    WriteBytes(made.outer + "/f", "far f\n");
    chmod((made.outer + "/f").c_str(), 0444);  // a delete would first make it writable
    WriteBytes(made.outer + "/far.txt", "far\n");
    fuzz::MakeFolder(made.outer + "/x");
    fuzz::MakeFolder(made.box);
    WriteBytes(made.box + "/mod.zip", "stands for the mod's archive: the repair never reads it\n");
    WriteBytes(made.box + "/f", "sibling f\n");
    WriteBytes(made.box + "/sibling.txt", "sibling\n");
    fuzz::MakeFolder(made.box + "/other");
    WriteBytes(made.box + "/other/f", "other f\n");
    fuzz::MakeFolder(made.box + "/x");
    const std::string archive = made.box + "/mod.zip";
    WriteBytes(made.box + "/" + kSettingsFileName,
               "[FileNo0]\nFileName=" + archive + "\nExtractTo=" + made.game +
                   "\nExtracted=0\n[FileNo1]\nFileName=" + archive + "\nExtractTo=" + made.game +
                   "\nExtracted=1\n");
    MakeGame(made.game);
    fuzz::MakeFolder(made.records);
    made.outside = SnapshotTree(made.outer, kRepairable);
    SetProgramDirectory(made.box + "/");
    SetRecordFolder(made.records + "/");
    return made;
  }();
  return scene;
}

// Up to three parts, each but the last ended by a line "----"; the line
// end before that line stays with its part.
std::vector<std::string> Parts(const std::string& input) {
  const std::string line = "----\n";
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (parts.size() < 2) {
    std::size_t end = start;  // an empty part when the line comes first
    if (input.compare(start, line.size(), line) != 0) {
      const std::size_t at = input.find("\n" + line, start);
      if (at == std::string::npos) break;
      end = at + 1;
    }
    parts.push_back(input.substr(start, end - start));
    start = end + line.size();
  }
  parts.push_back(input.substr(start));
  return parts;
}

// A part as it is written to disk: the tokens replaced.
std::string FileText(const std::string& part, const Scene& scene) {
  std::string text = Expand(Expand(part, kGameToken, scene.game), kBoxToken, scene.box);
  const std::size_t at = text.find(kCheckLine);
  if (at != std::string::npos && (at == 0 || text[at - 1] == '\n')) {
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()),
                            static_cast<uInt>(at));
    char line[32];
    std::snprintf(line, sizeof line, "check %08lx\n", static_cast<unsigned long>(crc));
    text.replace(at, std::string(kCheckLine).size(), line);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Scene& scene = TheScene();
  RemoveTree(scene.game);
  RemoveTree(scene.records);
  MakeGame(scene.game);
  fuzz::MakeFolder(scene.records);

  const std::vector<std::string> parts =
      Parts(std::string(reinterpret_cast<const char*>(data), size));
  // An empty part writes no file: a plan file is there from its first byte.
  // A record with its check is the program's own word on where its mod's
  // files went, even another folder than the settings file's: the repair
  // may act there too.
  std::set<std::string> repairable = kRepairable;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    const std::string name = i == 0 ? "plan" : "FileNo" + std::to_string(i - 1);
    const std::string text = FileText(parts[i], scene);
    WriteBytes(scene.records + "/" + name, text);
    InstallRecord record;
    bool sealed = false;
    if (i > 0 && ParseRecord(text, record, &sealed) && sealed &&
        record.folder.compare(0, scene.outer.size() + 1, scene.outer + "/") == 0) {
      repairable.insert(record.folder.substr(scene.outer.size() + 1));
    }
  }
  const Tree outside = repairable.size() == kRepairable.size()
                           ? scene.outside
                           : SnapshotTree(scene.outer, repairable);

  {
    RecordingWindow window;
    RaiseFence(scene.outer);
    RepairAtStartUp();
    LowerFence();
    // To see what an input does: QV_FUZZ_VERBOSE=1 fuzz_repair FILE.
    static const bool verbose = std::getenv("QV_FUZZ_VERBOSE") != nullptr;
    if (verbose) {
      for (const std::string& error : window.errors) std::fprintf(stderr, "told: %s\n", error.c_str());
      for (const std::string& root : {scene.game, scene.records}) {
        for (const auto& entry : SnapshotTree(root)) {
          std::fprintf(stderr, "%s/%s: %s\n", root.c_str(), entry.first.c_str(), entry.second.c_str());
        }
      }
    }
  }

  const Tree now = SnapshotTree(scene.outer, repairable);
  if (now != outside) {
    FuzzFail("the repair changed what is outside the game folder and the records: %s",
             DescribeDifference(outside, now).c_str());
  }
  return 0;
}
