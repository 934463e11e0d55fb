// The settings file's INI backend, over a file holding the input's bytes:
// every key the file seems to hold is read (as text and as a number), then
// keys are written, alone and in a batch. Besides memory errors and
// undefined behaviour: a write that succeeds reads back as written, also
// from a fresh copy of the file (it parses again), every other key still
// reads as before, and the same write once more changes no line; a write
// that fails leaves the file byte for byte as it was, and nothing beside it.
#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/profile.h"

using namespace fuzz;

namespace {

constexpr std::size_t kMaxKeys = 32;
constexpr std::size_t kReadSize = 4096;
constexpr const char* kMissing = "\x01(missing)";

struct Key {
  std::string section;
  std::string key;
};

struct Write {
  Key key;
  std::string value;
};

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool SameKey(const Key& a, const Key& b) {
  return Lower(a.section) == Lower(b.section) && Lower(a.key) == Lower(b.key);
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return text.substr(begin, end - begin);
}

// The lines of a file that hold something, without their blanks, and
// without the signature a file may start with (a reader takes it off).
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = Trim(bytes.substr(start, end - start));
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// The names a reader of INI files would take from the bytes: only questions
// to ask the backend, which gives the answers.
std::vector<Key> KeysIn(const std::string& bytes) {
  std::vector<Key> keys = {{"FileNo0", "FileName"}, {"FileNo0", "Extracted"}, {"Window", "Left"}};
  std::string section;
  std::size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start < bytes.size() && keys.size() < kMaxKeys) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = Trim(bytes.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const std::size_t close = line.find(']');
      section = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const Key key{section, Trim(line.substr(0, equals))};
    bool known = false;
    for (const Key& seen : keys) known = known || (seen.section == key.section && seen.key == key.key);
    if (!known) keys.push_back(key);
  }
  return keys;
}

// A section or key name of the kind the program writes.
bool PlainName(const std::string& name) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ') return false;
  for (const char c : name) {
    if (c < 0x20 || c > 0x7E || c == '[' || c == ']' || c == '=' || c == ';' || c == '#') return false;
  }
  return true;
}

struct Reading {
  std::string text;
  int number = 0;
  bool operator==(const Reading& other) const {
    return text == other.text && number == other.number;
  }
};

Reading Read(const Key& key, const std::string& file) {
  Reading reading;
  reading.text = ProfileReadString(key.section, key.key, kMissing, kReadSize, file);
  reading.number = ProfileReadInt(key.section, key.key, -7, file);
  return reading;
}

std::string Bytes(const std::string& file) {
  std::string bytes;
  if (!ReadBytes(file, bytes)) bytes = "\x01(unreadable)";
  return bytes;
}

struct Scene {
  std::string root;
  std::string file;   // this input's settings file
  std::string fresh;  // a copy of it, read without the backend's cache
  long serial = 0;
};

Scene& TheScene() {
  static Scene scene = [] {
    Scene made;
    made.root = MakeScratchFolder("qv-fuzz-ini");
    return made;
  }();
  return scene;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

// After writes that returned `ok`: what the file must read and hold.
void Check(bool ok, const std::vector<Write>& writes, const std::string& bytes_before,
           std::vector<Key>& keys, std::vector<Reading>& readings) {
  Scene& scene = TheScene();
  if (!ok) {
    if (Bytes(scene.file) != bytes_before) FuzzFail("a write that failed changed the file");
    const std::vector<std::string> names = Names(scene.root);
    if (names.size() != 1) FuzzFail("a write that failed left %zu files beside it", names.size() - 1);
    return;
  }
  WriteBytes(scene.fresh, Bytes(scene.file));
  // To see what an input does: QV_FUZZ_VERBOSE=1 fuzz_ini FILE.
  static const bool verbose = std::getenv("QV_FUZZ_VERBOSE") != nullptr;
  if (verbose) std::fprintf(stderr, "-- after writing [%s] %s:\n%s\n", writes[0].key.section.c_str(),
                            writes[0].key.key.c_str(), Bytes(scene.file).c_str());
  for (const Write& write : writes) {
    for (const std::string* file : {&scene.file, &scene.fresh}) {
      const std::string now = ProfileReadString(write.key.section, write.key.key, kMissing, kReadSize, *file);
      if (now != write.value) {
        FuzzFail("[%s] %s written as \"%s\" reads back as \"%s\" from %s", write.key.section.c_str(),
                 write.key.key.c_str(), write.value.c_str(), now.c_str(),
                 file == &scene.file ? "the file" : "a copy of it");
      }
    }
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    bool written = false;
    for (const Write& write : writes) written = written || SameKey(keys[i], write.key);
    if (written) {
      readings[i] = Read(keys[i], scene.file);
      continue;
    }
    for (const std::string* file : {&scene.file, &scene.fresh}) {
      const Reading now = Read(keys[i], *file);
      if (!(now == readings[i])) {
        FuzzFail("writing [%s] %s changed [%s] %s from \"%s\" (%d) to \"%s\" (%d)%s",
                 writes[0].key.section.c_str(), writes[0].key.key.c_str(), keys[i].section.c_str(),
                 keys[i].key.c_str(), readings[i].text.c_str(), readings[i].number,
                 now.text.c_str(), now.number, file == &scene.file ? "" : " in a copy of the file");
      }
    }
  }
  unlink(scene.fresh.c_str());
  // What the backend writes it reads back whole: the same write again
  // leaves every line as it is (a line it misread would change, or grow, at
  // every write). Blanks and blank lines it need not keep.
  const std::string written = Bytes(scene.file);
  const Write& again = writes.back();
  ProfileWriteString(again.key.section, again.key.key, again.value.c_str(), scene.file);
  if (Lines(Bytes(scene.file)) != Lines(written)) {
    FuzzFail("writing [%s] %s the same again changed the file from:\n%s\n-- to:\n%s",
             again.key.section.c_str(), again.key.key.c_str(), written.c_str(),
             Bytes(scene.file).c_str());
  }
  for (const Write& write : writes) keys.push_back(write.key);
  readings.clear();
  for (const Key& key : keys) readings.push_back(Read(key, scene.file));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Scene& scene = TheScene();
  if (!scene.file.empty()) unlink(scene.file.c_str());
  // A new name for each input: the backend keeps the last file it parsed,
  // and a file rewritten within a clock step would look unchanged to it.
  ++scene.serial;
  scene.file = scene.root + "/Quorvantel-" + std::to_string(scene.serial) + ".ini";
  scene.fresh = scene.root + "/copy.ini";
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  WriteBytes(scene.file, bytes);

  std::vector<Key> keys = KeysIn(bytes);
  std::vector<Reading> readings;
  for (const Key& key : keys) readings.push_back(Read(key, scene.file));

  // One write alone, over the first key the file holds that has a name the
  // program could write (or a new one).
  Key first{"FileNo0", "FileName"};
  for (std::size_t i = 3; i < keys.size(); ++i) {
    if (PlainName(keys[i].section) && PlainName(keys[i].key)) {
      first = keys[i];
      break;
    }
  }
  const std::vector<Write> alone = {{first, "/home/player/mods/new mod.zip"}};
  std::string before = Bytes(scene.file);
  const bool ok = ProfileWriteString(alone[0].key.section, alone[0].key.key,
                                     alone[0].value.c_str(), scene.file);
  Check(ok, alone, before, keys, readings);

  // Two in one batch: a key of an existing section and a new section.
  const std::vector<Write> batch = {{{"FileNo0", "Extracted"}, "1"},
                                    {{"Fuzz Section", "New Key"}, "a = b"}};
  before = Bytes(scene.file);
  ProfileBeginBatch(scene.file);
  bool all = true;
  for (const Write& write : batch) {
    const bool written = ProfileWriteString(write.key.section, write.key.key, write.value.c_str(),
                                            scene.file);
    if (written && ProfileReadString(write.key.section, write.key.key, kMissing, kReadSize,
                                     scene.file) != write.value) {
      FuzzFail("[%s] %s written in a batch does not read back in it", write.key.section.c_str(),
               write.key.key.c_str());
    }
    all = all && written;
  }
  const bool committed = ProfileCommitBatch();
  if (committed && !all) FuzzFail("a batch whose write failed was committed");
  Check(committed, batch, before, keys, readings);
  return 0;
}
