// Dialog benchmark: how long an install and an uninstall take through the
// real Quorvantel.exe, clicked as a user would, and how long its dialog stays
// deaf meanwhile. It prints figures and never fails on a time; it fails only
// when a command goes wrong (an error box, a wrong caption, wrong files).
//
//   dialog_bench [--runs N] [--small-only] [--large-only] [--timeout S]
//                <path of Quorvantel.exe>
//
// Two mods are generated with fixed seeds into the temporary folder, as
// deflate archives (entries that deflate cannot shrink are stored, as zip
// tools do): 20,000 files of 1 to 16 KiB in 200 folders, and 20 files of
// about 8 MiB. The small-files mod is installed into an empty folder and over
// a folder where every target exists already; the large one into an empty
// folder. Every click is timed until the command is over, with the dialog
// polled from a second thread for the longest stretch it did not answer.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "app/window.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size) - 1);
  return out;
}

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

// --- Generated content -------------------------------------------------------

std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// Bytes resembling a mod's files: scripts and configuration text, textures
// and models that compress somewhat, and media that is already compressed.
// Only the generator's raw output is used, never a distribution, so the same
// seed gives the same bytes with every standard library.
enum class Kind { Text, Structured, Noise };

Kind PickKind(std::mt19937_64& rng) {
  const unsigned roll = static_cast<unsigned>(rng() % 100);
  return roll < 50 ? Kind::Text : roll < 85 ? Kind::Structured : Kind::Noise;
}

void AppendContent(std::mt19937_64& rng, Kind kind, std::size_t size, std::string& out) {
  const std::size_t end = out.size() + size;
  switch (kind) {
    case Kind::Text: {
      static const char* const kWords[] = {
          "texture", "model",  "sound", "enable", "disable", "path/to/", "scale",
          "speed",   "damage", "unit",  "weapon", "[General]", "= ",      "1.0",
          "0.75",    "true",   "false", "0x7f",  "; comment", "\r\n",     " ",
          "\t",      "name",   "id",    "level", "effect",  "spawn",    "// note"};
      while (out.size() < end) {
        const char* word = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
        for (; *word != '\0' && out.size() < end; ++word) out += *word;
        if (rng() % 8 == 0) out += std::to_string(rng() % 10000);
      }
      out.resize(end);
      break;
    }
    case Kind::Structured:
      // Runs of nearly equal bytes, as in image and mesh data.
      while (out.size() < end) {
        const unsigned char value = static_cast<unsigned char>(rng());
        const std::size_t run = 1 + rng() % 12;
        for (std::size_t k = 0; k < run && out.size() < end; ++k)
          out += static_cast<char>(value + (k & 1));
      }
      break;
    case Kind::Noise:
      while (out.size() < end) {
        const std::uint64_t value = rng();
        const std::size_t take = std::min<std::size_t>(8, end - out.size());
        out.append(reinterpret_cast<const char*>(&value), take);
      }
      break;
  }
}

// --- A deflate zip, written as it is generated --------------------------------

void Put16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

class ZipWriter {
 public:
  explicit ZipWriter(const std::string& path) : path_(path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) Fail("cannot create " + path);
  }
  ~ZipWriter() {
    if (file_ != nullptr) std::fclose(file_);
  }
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  void AddFolder(const std::string& name) { Add(name + "/", std::string(), true); }
  void AddFile(const std::string& name, const std::string& data) { Add(name, data, false); }

  void Finish() {
    std::string end;
    Put32(end, 0x06054B50);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, count_);
    Put16(end, count_);
    Put32(end, static_cast<std::uint32_t>(directory_.size()));
    Put32(end, static_cast<std::uint32_t>(offset_));
    Put16(end, 0);
    Write(directory_);
    Write(end);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed) Fail("cannot write " + path_);
  }

  std::uint64_t bytes() const { return offset_; }

 private:
  void Add(const std::string& name, const std::string& data, bool folder) {
    std::string packed = folder ? std::string() : Deflate(data);
    const bool stored = folder || packed.size() >= data.size();
    if (stored) packed = data;
    const std::uint32_t crc = Crc(data);
    // No ZIP64 here: both mods stay far below these limits.
    if (count_ == 0xFFFF || offset_ + 30 + name.size() + packed.size() >= 0xFFFFFFFFull)
      Fail("the generated archive outgrew the plain zip format");
    constexpr std::uint32_t kTime = (12 << 11);                // 12:00:00
    constexpr std::uint32_t kDate = (44 << 9) | (6 << 5) | 1;  // 2024-06-01

    std::string local;
    Put32(local, 0x04034B50);
    Put16(local, 20);  // version needed
    Put16(local, 0);   // flags
    Put16(local, stored ? 0 : 8);
    Put16(local, kTime);
    Put16(local, kDate);
    Put32(local, crc);
    Put32(local, static_cast<std::uint32_t>(packed.size()));
    Put32(local, static_cast<std::uint32_t>(data.size()));
    Put16(local, static_cast<std::uint32_t>(name.size()));
    Put16(local, 0);  // extra field
    local += name;

    Put32(directory_, 0x02014B50);
    Put16(directory_, 20);  // made by: MS-DOS
    Put16(directory_, 20);
    Put16(directory_, 0);
    Put16(directory_, stored ? 0 : 8);
    Put16(directory_, kTime);
    Put16(directory_, kDate);
    Put32(directory_, crc);
    Put32(directory_, static_cast<std::uint32_t>(packed.size()));
    Put32(directory_, static_cast<std::uint32_t>(data.size()));
    Put16(directory_, static_cast<std::uint32_t>(name.size()));
    Put16(directory_, 0);  // extra field
    Put16(directory_, 0);  // comment
    Put16(directory_, 0);  // disk
    Put16(directory_, 0);  // internal attributes
    Put32(directory_, folder ? 0x10 : 0x20);
    Put32(directory_, static_cast<std::uint32_t>(offset_));
    directory_ += name;

    Write(local);
    Write(packed);
    offset_ += local.size() + packed.size();
    ++count_;
  }

  static std::string Deflate(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
      Fail("deflateInit2 failed");
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END) Fail("deflate failed");
    return out;
  }

  void Write(const std::string& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
      Fail("cannot write " + path_);
  }

  std::string path_;
  std::FILE* file_ = nullptr;
  std::string directory_;
  std::uint64_t offset_ = 0;
  std::uint32_t count_ = 0;
};

// --- The two mods --------------------------------------------------------------

struct FileSum {
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  bool operator==(const FileSum& other) const { return size == other.size && crc == other.crc; }
};

// Relative path ('/'-separated) to size and checksum.
using Listing = std::map<std::string, FileSum>;

struct Mod {
  std::string archive;
  Listing files;
  std::uint64_t unpacked = 0;
};

constexpr int kSmallFolders = 200;
constexpr int kSmallFiles = 20000;
constexpr std::uint64_t kLargeFiles = 20;
constexpr std::size_t kMiB = 1024 * 1024;

// File names in the small mod: each stem is unique across the mod, so that
// no two files would share a backup name.
const char* const kExtensions[] = {"txt", "ini", "lua", "dds", "nif", "ogg", "xml", "dat"};

std::string SmallFileName(int i) {
  char name[64];
  std::snprintf(name, sizeof name, "d%03d/f%05d.%s", i % kSmallFolders, i,
                kExtensions[i % (sizeof kExtensions / sizeof kExtensions[0])]);
  return name;
}

Mod MakeSmallMod(const std::string& path) {
  std::mt19937_64 rng(0x51A11F11E5);
  ZipWriter zip(path);
  Mod mod;
  mod.archive = path;
  // Files grouped by folder, as archivers list them.
  for (int folder = 0; folder < kSmallFolders; ++folder) {
    char name[32];
    std::snprintf(name, sizeof name, "d%03d", folder);
    zip.AddFolder(name);
    for (int i = folder; i < kSmallFiles; i += kSmallFolders) {
      const std::size_t size = 1024 + rng() % (15 * 1024 + 1);
      std::string data;
      data.reserve(size);
      AppendContent(rng, PickKind(rng), size, data);
      zip.AddFile(SmallFileName(i), data);
      mod.files[SmallFileName(i)] = {data.size(), Crc(data)};
      mod.unpacked += data.size();
    }
  }
  zip.Finish();
  return mod;
}

Mod MakeLargeMod(const std::string& path) {
  std::mt19937_64 rng(0x1A26EF11E5);
  ZipWriter zip(path);
  Mod mod;
  mod.archive = path;
  zip.AddFolder("large");
  for (std::uint64_t i = 0; i < kLargeFiles; ++i) {
    // About 8 MiB, in 64 KiB blocks of mixed kinds, as a packed resource
    // file holds textures, sounds and scripts side by side.
    const std::size_t size = 8 * kMiB - 128 * 1024 + rng() % (256 * 1024);
    std::string data;
    data.reserve(size);
    while (data.size() < size)
      AppendContent(rng, PickKind(rng), std::min<std::size_t>(64 * 1024, size - data.size()),
                    data);
    char name[32];
    std::snprintf(name, sizeof name, "large/part%02u.pak", static_cast<unsigned>(i));
    zip.AddFile(name, data);
    mod.files[name] = {data.size(), Crc(data)};
    mod.unpacked += data.size();
  }
  zip.Finish();
  return mod;
}

// --- Files on disk -----------------------------------------------------------

std::string Native(const std::string& root, const std::string& relative) {
  std::string out = root + "\\" + relative;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

void WriteWhole(const std::string& path, const std::string& data) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot create " + path);
  DWORD written = 0;
  const BOOL ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != data.size()) Fail("cannot write " + path);
}

FileSum SumOf(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("cannot read " + path);
  FileSum sum;
  uLong crc = crc32(0, nullptr, 0);
  std::vector<char> buffer(1 << 16);
  DWORD got = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
         got > 0) {
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), got);
    sum.size += got;
  }
  CloseHandle(file);
  sum.crc = static_cast<std::uint32_t>(crc);
  return sum;
}

// Every file below `root` with its checksum; folders are left out.
void ListInto(const std::string& root, const std::string& prefix, Listing& out) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA(Native(root, prefix + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ListInto(root, prefix + name + "/", out);
    else
      out[prefix + name] = SumOf(Native(root, prefix + name));
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

// "" when the files below `root` are exactly `expected`, byte for byte as
// far as a CRC tells; otherwise what differs, the first few cases named.
std::string Compare(const std::string& root, const Listing& expected) {
  Listing found;
  ListInto(root, "", found);
  std::vector<std::string> missing, unexpected, changed;
  for (const auto& [path, sum] : expected) {
    const auto it = found.find(path);
    if (it == found.end())
      missing.push_back(path);
    else if (!(it->second == sum))
      changed.push_back(path);
  }
  for (const auto& entry : found)
    if (expected.count(entry.first) == 0) unexpected.push_back(entry.first);
  std::string report;
  auto describe = [&report](const char* what, const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    if (!report.empty()) report += "; ";
    report += std::to_string(paths.size()) + " " + what + " (" + paths.front();
    if (paths.size() > 1) report += ", " + paths[1];
    report += paths.size() > 2 ? ", ...)" : ")";
  };
  describe("missing", missing);
  describe("unexpected", unexpected);
  describe("with other content", changed);
  return report;
}

// The backup name of an overwritten file, as the program documents it:
// the extension gives way to "qvs" (unit.txt -> unit.qvs).
std::string BackupOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return path + "qvs";
  return path.substr(0, dot + 1) + "qvs";
}

// An original for every file of `mod` in `root`, of other sizes and content.
Listing WriteOriginals(const std::string& root, const Mod& mod) {
  std::mt19937_64 rng(0x0516114A15);
  Listing originals;
  std::string last_folder;
  for (const auto& entry : mod.files) {
    const std::string& path = entry.first;
    const std::string folder = path.substr(0, path.find_last_of('/'));
    if (folder != last_folder) {
      for (std::size_t at = 0; at != std::string::npos;) {
        at = folder.find('/', at + 1);
        CreateDirectoryA(Native(root, folder.substr(0, at)).c_str(), nullptr);
      }
      last_folder = folder;
    }
    std::string data;
    const std::size_t size = 1024 + rng() % (15 * 1024 + 1);
    data.reserve(size);
    AppendContent(rng, PickKind(rng), size, data);
    WriteWhole(Native(root, path), data);
    originals[path] = {data.size(), Crc(data)};
  }
  return originals;
}

// --- Clicking and waiting -----------------------------------------------------

constexpr DWORD kProbeTimeoutMs = 200;
constexpr auto kProbeInterval = std::chrono::milliseconds(20);
constexpr auto kWaitInterval = std::chrono::milliseconds(5);

// Sends WM_NULL to the dialog every ~20 ms from its own thread and keeps the
// longest stretch without an answer: from the sending of the first probe
// that went unanswered to the answer of the next one that was answered.
class Responsiveness {
 public:
  explicit Responsiveness(HWND dialog)
      : dialog_(dialog), thread_([this] { Poll(); }) {}
  ~Responsiveness() { Stop(); }

  // The longest stretch in ms; one still going on at the stop counts up to it.
  double Stop() {
    if (thread_.joinable()) {
      stop_ = true;
      thread_.join();
    }
    return longest_ms_;
  }

 private:
  void Poll() {
    bool waiting = false;
    Clock::time_point since;
    while (!stop_) {
      const auto sent = Clock::now();
      DWORD_PTR result = 0;
      const LRESULT answered =
          SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, &result);
      const auto now = Clock::now();
      if (answered != 0) {
        Record(now - (waiting ? since : sent));
        waiting = false;
      } else {
        if (!IsWindow(dialog_)) break;
        if (!waiting) since = sent;
        waiting = true;
        Record(now - since);
        continue;  // the timeout was the pause
      }
      std::this_thread::sleep_for(kProbeInterval);
    }
    if (waiting) Record(Clock::now() - since);
  }

  void Record(Clock::duration stretch) {
    longest_ms_ = std::max(longest_ms_, Seconds(stretch) * 1000);
  }

  HWND dialog_;
  std::atomic<bool> stop_{false};
  double longest_ms_ = 0;  // written by the thread, read after join
  std::thread thread_;
};

std::string CaptionOf(HWND window) {
  // GetWindowText reads another process's window without sending it a
  // message, so it answers while the dialog is busy.
  char text[256] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// A visible dialog box owned by the main dialog: a message box here.
HWND OwnedBox(HWND dialog) {
  struct Search {
    HWND owner, found;
  } search = {dialog, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        char name[16] = "";
        GetClassNameA(window, name, sizeof name);
        if (window == s->owner || !IsWindowVisible(window) ||
            GetWindow(window, GW_OWNER) != s->owner || std::strcmp(name, "#32770") != 0)
          return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ReadAndDismiss(HWND box) {
  wchar_t text[2048] = L"";
  DWORD_PTR ignored = 0;
  if (HWND label = GetDlgItem(box, 0xFFFF))
    SendMessageTimeoutW(label, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        5000, &ignored);
  wchar_t caption[256] = L"";
  GetWindowTextW(box, caption, 256);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  // Gone before the caller looks for another box, so it is not read twice.
  for (int i = 0; i < 500 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
  std::string message = Utf8(text);
  for (char& c : message)
    if (c == '\n') c = ' ';
  return "\"" + Utf8(caption) + "\": " + message;
}

// As a crash would: the only way out of a command that does not end.
void EndProgram(const RunningApp& app) {
  if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, app.process_id())) {
    TerminateProcess(process, 99);
    CloseHandle(process);
  }
}

struct Timing {
  double seconds = 0;
  double unresponsive_ms = 0;
};

// Clicks Install (or UnInstall) and waits until the command is over: the
// click has been handled and the button, enabled again, reads "Install" or
// "UnInstall" with no progress in its caption. A program that runs the
// command inside the click is over when the click returns; one that runs it
// on a worker returns at once and shows progress on the button meanwhile.
// An error box fails the run.
Timing RunCommand(RunningApp& app, const std::string& expected_caption,
                  std::chrono::seconds limit) {
  const HWND dialog = app.dialog();
  const HWND button = app.Control(InstallButton);
  if (!IsWindowEnabled(button)) Fail("the button is disabled before the click");

  Timing timing;
  Responsiveness probe(dialog);
  std::atomic<bool> clicked{false};
  const auto start = Clock::now();
  // A click that runs the command returns only when it is over, or when the
  // program is gone: the limit is kept by the loop below.
  std::thread click([&] {
    SendMessageA(button, BM_CLICK, 0, 0);
    clicked = true;
  });
  std::string failure;
  for (;;) {
    const bool returned = clicked;
    if (HWND box = OwnedBox(dialog)) {
      failure = "message box " + ReadAndDismiss(box);
      break;
    }
    const std::string caption = CaptionOf(button);
    const bool enabled = IsWindowEnabled(button) != FALSE;
    if (returned && enabled && (caption == "Install" || caption == "UnInstall")) {
      timing.seconds = Seconds(Clock::now() - start);
      if (caption != expected_caption) failure = "the button reads \"" + caption + "\" after it";
      break;
    }
    if (!IsWindow(dialog)) {
      failure = "the dialog is gone";
      break;
    }
    if (Clock::now() - start > limit) {
      failure = "not over after " + std::to_string(limit.count()) + " s (the button reads \"" +
                caption + "\"); the program was ended";
      EndProgram(app);
      break;
    }
    std::this_thread::sleep_for(kWaitInterval);
  }
  timing.unresponsive_ms = probe.Stop();
  // After an error box the click returns once the box is closed (another box
  // may follow); after the program was ended, once it is gone.
  const auto settle = Clock::now();
  while (!clicked && !failure.empty()) {
    if (HWND box = OwnedBox(dialog)) failure += "; then " + ReadAndDismiss(box);
    if (Clock::now() - settle > std::chrono::seconds(30)) {
      EndProgram(app);
      break;
    }
    std::this_thread::sleep_for(kWaitInterval);
  }
  click.join();
  if (!failure.empty()) Fail(failure);
  return timing;
}

// --- Cases -------------------------------------------------------------------

struct Options {
  int runs = 1;
  bool small = true;
  bool large = true;
  std::chrono::seconds timeout{1800};
  std::string program;
};

struct Figures {
  std::string name;
  std::vector<double> seconds;
  double unresponsive_ms = 0;
  std::string failure;
};

// A deque: references to its elements stay valid as cases are added.
std::deque<Figures> g_results;

Figures& Result(const std::string& name) {
  for (Figures& f : g_results)
    if (f.name == name) return f;
  g_results.push_back({name, {}, 0, ""});
  return g_results.back();
}

// Progress goes to the error stream, so that the figures stand alone.
template <typename... Values>
void Note(const char* format, Values... values) {
  std::fprintf(stderr, format, values...);
  std::fflush(stderr);
}

// One mod in one folder: added, given the folder, then installed and
// uninstalled `runs` times, with the folder checked after every command.
void RunScenario(const std::string& name, const Mod& mod, bool over_originals,
                 const Options& options) {
  TempFolder work;
  work.MakeDir("app");
  work.MakeDir("game");
  const std::string game = work.Join("game");
  Listing before;
  if (over_originals) {
    const auto start = Clock::now();
    before = WriteOriginals(game, mod);
    Note("%s: wrote %u originals in %.1f s\n", name.c_str(), static_cast<unsigned>(before.size()),
         Seconds(Clock::now() - start));
  }
  Listing installed = mod.files;
  for (const auto& entry : before) installed[BackupOf(entry.first)] = entry.second;

  const std::string install_case = name + " install";
  const std::string uninstall_case = name + " uninstall";
  const std::string check_case = name + " check files";
  Result(install_case);
  Result(check_case);
  Result(uninstall_case);
  std::string* failure = &Result(install_case).failure;
  try {
    RunningApp app(work.Join("app"));
    const std::wstring added = app.AddMod(Wide(mod.archive));
    if (!added.empty()) Fail("adding the mod showed " + Utf8(added));
    app.SelectRow(static_cast<int>(app.Rows().size()) - 1);
    const std::wstring browsed = app.BrowseFolder(Wide(game));
    if (!browsed.empty()) Fail("choosing the folder showed " + Utf8(browsed));
    if (app.Text(ExtractToBox) != game) Fail("the folder box shows " + app.Text(ExtractToBox));
    if (app.Text(InstallButton) != "Install") Fail("the button reads " + app.Text(InstallButton));

    for (int run = 1; run <= options.runs; ++run) {
      failure = &Result(install_case).failure;
      Timing t = RunCommand(app, "UnInstall", options.timeout);
      Note("%s: %.2f s, unresponsive %.0f ms\n", install_case.c_str(), t.seconds, t.unresponsive_ms);
      Result(install_case).seconds.push_back(t.seconds);
      Result(install_case).unresponsive_ms =
          std::max(Result(install_case).unresponsive_ms, t.unresponsive_ms);
      std::string wrong = Compare(game, installed);
      if (!wrong.empty()) Fail("after installing: " + wrong);

      // "Check Files" from the row's menu, until its report shows: every
      // file as installed (the first line's count).
      failure = &Result(check_case).failure;
      Responsiveness check_probe(app.dialog());
      const auto check_start = Clock::now();
      const std::wstring report = app.PickFromMenu(app.OpenMenu(), 0);
      const double check_seconds = Seconds(Clock::now() - check_start);
      const double check_unresponsive = check_probe.Stop();
      const std::wstring first = report.substr(0, report.find(L'\n'));
      if (first.substr(first.rfind(L' ') + 1) != std::to_wstring(mod.files.size()))
        Fail("Check Files reported " + Utf8(report));
      Note("%s: %.2f s, unresponsive %.0f ms\n", check_case.c_str(), check_seconds,
           check_unresponsive);
      Result(check_case).seconds.push_back(check_seconds);
      Result(check_case).unresponsive_ms =
          std::max(Result(check_case).unresponsive_ms, check_unresponsive);
      wrong = Compare(game, installed);
      if (!wrong.empty()) Fail("after checking: " + wrong);

      failure = &Result(uninstall_case).failure;
      t = RunCommand(app, "Install", options.timeout);
      Note("%s: %.2f s, unresponsive %.0f ms\n", uninstall_case.c_str(), t.seconds, t.unresponsive_ms);
      Result(uninstall_case).seconds.push_back(t.seconds);
      Result(uninstall_case).unresponsive_ms =
          std::max(Result(uninstall_case).unresponsive_ms, t.unresponsive_ms);
      // Folders the installation created may stay; files may not.
      wrong = Compare(game, before);
      if (!wrong.empty()) Fail("after uninstalling: " + wrong);
    }
    const DWORD code = app.CloseBox();
    if (code != static_cast<DWORD>(kExitStatus))
      Fail("the program ended with code " + std::to_string(code));
  } catch (const std::exception& e) {
    *failure = e.what();
    Note("%s: FAILED: %s\n", name.c_str(), failure->c_str());
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Usage() {
  std::fprintf(stderr,
               "usage: dialog_bench [--runs N] [--small-only] [--large-only] [--timeout S] "
               "<Quorvantel.exe>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      options.runs = std::atoi(argv[++i]);
      if (options.runs < 1) return Usage();
    } else if (arg == "--timeout" && i + 1 < argc) {
      options.timeout = std::chrono::seconds(std::atoi(argv[++i]));
      if (options.timeout.count() < 1) return Usage();
    } else if (arg == "--small-only") {
      options.large = false;
    } else if (arg == "--large-only") {
      options.small = false;
    } else if (!arg.empty() && arg[0] != '-' && options.program.empty()) {
      options.program = arg;
    } else {
      return Usage();
    }
  }
  if (options.program.empty() || (!options.small && !options.large)) return Usage();
  SetProgramUnderTest(options.program);
  if (GetFileAttributesA(ProgramUnderTest().c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "no program at %s\n", ProgramUnderTest().c_str());
    return 2;
  }

  try {
    TempFolder archives;
    if (options.small) {
      auto start = Clock::now();
      const Mod mod = MakeSmallMod(archives.Join("many-small.zip"));
      Note("%s: %.1f MiB unpacked, made in %.1f s\n", "many-small.zip",
           static_cast<double>(mod.unpacked) / kMiB, Seconds(Clock::now() - start));
      RunScenario("small, empty folder", mod, false, options);
      RunScenario("small, over originals", mod, true, options);
    }
    if (options.large) {
      auto start = Clock::now();
      const Mod mod = MakeLargeMod(archives.Join("few-large.zip"));
      Note("%s: %.1f MiB unpacked, made in %.1f s\n", "few-large.zip",
           static_cast<double>(mod.unpacked) / kMiB, Seconds(Clock::now() - start));
      RunScenario("large, empty folder", mod, false, options);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dialog_bench: %s\n", e.what());
    return 1;
  }

  std::printf("%-34s %8s %8s %8s  %s\n", "case (seconds per click)", "min", "median", "max",
              "longest unresponsive");
  bool failed = false;
  for (const Figures& f : g_results) {
    if (f.seconds.empty()) {
      std::printf("%-34s %s\n", f.name.c_str(),
                  f.failure.empty() ? "not run: an earlier step failed"
                                    : ("FAILED: " + f.failure).c_str());
    } else {
      std::printf("%-34s %8.2f %8.2f %8.2f  %.0f ms", f.name.c_str(),
                  *std::min_element(f.seconds.begin(), f.seconds.end()), Median(f.seconds),
                  *std::max_element(f.seconds.begin(), f.seconds.end()), f.unresponsive_ms);
      if (!f.failure.empty()) std::printf("  (then FAILED: %s)", f.failure.c_str());
      std::printf("\n");
    }
    failed = failed || !f.failure.empty();
  }
  std::fflush(stdout);
  return failed ? 1 : 0;
}
