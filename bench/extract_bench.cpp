// Extraction benchmark: how fast our reader turns an archive into files,
// beside unzip and bsdtar on the same archive in the same run when they are
// installed. It prints figures and never fails on a time.
//
//   extract_bench [--runs N] [--size MiB] [--work DIR] [archive.zip]
//
// Without an archive it writes one of about --size MiB of mixed data (text,
// half-compressible binary, incompressible blocks) in files from 1 KiB to
// 32 MiB. Each extractor runs in a child process into an emptied folder, so
// its peak memory is its own.
#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "zip/archive.h"
#include "engine/install.h"
#include "engine/record.h"
#include "settings/settings.h"

namespace {

// --- Making a test archive ----------------------------------------------------

void Put16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>((v >> 8) & 0xff);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

// Content resembling a mod's: scripts and configs, textures that compress
// somewhat, and already-compressed media.
std::string MakeContent(std::mt19937_64& rng, std::size_t size, int kind) {
  std::string data(size, '\0');
  if (kind == 0) {
    static const char* const kWords[] = {"texture", "model", "sound", "= ", "1.0", "\n",
                                         "enable", "path/to/", "0x7f", "; comment", " "};
    std::size_t i = 0;
    while (i < size) {
      const char* w = kWords[rng() % (sizeof kWords / sizeof kWords[0])];
      for (; *w != '\0' && i < size; ++w) data[i++] = *w;
    }
  } else if (kind == 1) {
    for (std::size_t i = 0; i < size;) {
      const unsigned char value = static_cast<unsigned char>(rng());
      const std::size_t run = 1 + rng() % 12;
      for (std::size_t k = 0; k < run && i < size; ++k) data[i++] = static_cast<char>(value + (k & 1));
    }
  } else {
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
      const std::uint64_t v = rng();
      std::memcpy(&data[i], &v, 8);
    }
  }
  return data;
}

std::string Deflate(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

bool MakeArchive(const std::string& path, std::uint64_t target_bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  std::mt19937_64 rng(20240601);
  std::string central;
  std::uint64_t written = 0, produced = 0;
  std::uint32_t count = 0;
  while (produced < target_bytes && count < 60000) {
    // Sizes spread evenly over 1 KiB .. 32 MiB on a log scale.
    const double exponent = 10 + (rng() % 1000) / 1000.0 * 15;
    const std::size_t size = static_cast<std::size_t>(std::pow(2.0, exponent));
    const int kind = static_cast<int>(rng() % 3);
    const std::string data = MakeContent(rng, size, kind);
    std::string packed = Deflate(data);
    const bool stored = packed.size() >= data.size();
    if (stored) packed = data;
    const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    char name[64];
    std::snprintf(name, sizeof name, "data/dir%02u/file%05u.bin", count % 37, count);
    const std::size_t name_len = std::strlen(name);
    if (written + 30 + name_len + packed.size() >= 0xffffffffULL) break;  // no ZIP64 here

    std::string local;
    Put32(local, 0x04034b50);
    Put16(local, 20);
    Put16(local, 0);
    Put16(local, stored ? 0 : 8);
    Put16(local, 0);
    Put16(local, 0x21);
    Put32(local, crc);
    Put32(local, static_cast<std::uint32_t>(packed.size()));
    Put32(local, static_cast<std::uint32_t>(data.size()));
    Put16(local, static_cast<unsigned>(name_len));
    Put16(local, 0);
    local += name;

    Put32(central, 0x02014b50);
    Put16(central, 20);
    Put16(central, 20);
    Put16(central, 0);
    Put16(central, stored ? 0 : 8);
    Put16(central, 0);
    Put16(central, 0x21);
    Put32(central, crc);
    Put32(central, static_cast<std::uint32_t>(packed.size()));
    Put32(central, static_cast<std::uint32_t>(data.size()));
    Put16(central, static_cast<unsigned>(name_len));
    for (int k = 0; k < 4; ++k) Put16(central, 0);
    Put32(central, 0);
    Put32(central, static_cast<std::uint32_t>(written));
    central += name;

    std::fwrite(local.data(), 1, local.size(), f);
    std::fwrite(packed.data(), 1, packed.size(), f);
    written += local.size() + packed.size();
    produced += data.size();
    ++count;
  }
  std::string end;
  Put32(end, 0x06054b50);
  Put32(end, 0);
  Put16(end, count);
  Put16(end, count);
  Put32(end, static_cast<std::uint32_t>(central.size()));
  Put32(end, static_cast<std::uint32_t>(written));
  Put16(end, 0);
  std::fwrite(central.data(), 1, central.size(), f);
  std::fwrite(end.data(), 1, end.size(), f);
  return std::fclose(f) == 0;
}

// --- Installing with our engine, as the install button does --------------------

// Installs the archive into `dest` through the same steps as the program:
// the checks, the plan on disk, the backup pass, the journaled extraction,
// the commit and the install record. The settings file and the records live
// in a folder beside `dest`.
int ExtractWithOurs(const std::string& archive_path, const std::string& dest) {
  const std::string settings = dest + ".settings";
  if (mkdir(settings.c_str(), 0755) != 0 && errno != EEXIST) return 3;
  SetProgramDirectory(settings + "/");
  SetRecordFolder(settings + "/records/");
  DeleteRecord(0);  // from the previous run
  const CommandResult result =
      InstallMod(0, ModPaths{archive_path, dest}, [] { return SetExtracted(0, true); });
  if (result == CommandResult::Refused) return 2;
  return result == CommandResult::Done ? 0 : 4;
}

// --- Running and measuring ------------------------------------------------------

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

void EmptyFolder(const std::string& dir) {
  nftw(dir.c_str(), RemoveOne, 64, FTW_DEPTH | FTW_PHYS);
  mkdir(dir.c_str(), 0755);
}

bool OnPath(const char* tool) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string all = path;
  std::size_t start = 0;
  while (start <= all.size()) {
    const std::size_t end = std::min(all.find(':', start), all.size());
    const std::string candidate = all.substr(start, end - start) + "/" + tool;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

struct Run {
  double seconds = 0;
  long peak_kib = 0;
  bool ok = false;
};

// Runs `child` in a forked process; the wall time and the child's own peak
// resident size come back.
template <typename Child>
Run Measure(Child child) {
  Run run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(child());
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peak_kib = usage.ru_maxrss;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

int Exec(const std::vector<std::string>& args) {
  const int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd >= 0) {
    dup2(null_fd, 1);
    dup2(null_fd, 2);
  }
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  return 127;
}

std::uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  std::uint64_t size_mib = 512;
  std::string work = "/tmp/qv-extract-bench";
  std::string archive;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--size" && i + 1 < argc) {
      size_mib = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--work" && i + 1 < argc) {
      work = argv[++i];
    } else if (!arg.empty() && arg[0] != '-') {
      archive = arg;
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--size MiB] [--work DIR] [archive.zip]\n", argv[0]);
      return 2;
    }
  }
  mkdir(work.c_str(), 0755);
  if (archive.empty()) {
    archive = work + "/bench.zip";
    if (FileSize(archive) == 0) {
      std::printf("making %s (about %llu MiB of data)...\n", archive.c_str(),
                  static_cast<unsigned long long>(size_mib));
      std::fflush(stdout);
      // In a child, so that this process stays small: a forked extractor's
      // peak includes what it inherited.
      if (!Measure([&] { return MakeArchive(archive, size_mib << 20) ? 0 : 1; }).ok) {
        std::fprintf(stderr, "cannot write %s\n", archive.c_str());
        return 1;
      }
    }
  }

  ArchiveHandle handle = ArchiveOpen(archive);
  if (handle == nullptr) {
    std::fprintf(stderr, "our reader refuses %s\n", archive.c_str());
    return 1;
  }
  std::uint64_t total = 0, entries = 0;
  ArchiveEntryInfo info;
  for (bool more = ArchiveFindFirst(handle, info); more; more = ArchiveFindNext(handle, info)) {
    total += info.size;
    ++entries;
  }
  ArchiveClose(handle);
  std::printf("archive %s: %llu entries, %.1f MiB packed, %.1f MiB unpacked; best of %d runs\n",
              archive.c_str(), static_cast<unsigned long long>(entries),
              FileSize(archive) / 1048576.0, total / 1048576.0, runs);
  struct rusage self {};
  getrusage(RUSAGE_SELF, &self);
  std::printf("(peaks include the %.1f MiB a forked child starts with)\n", self.ru_maxrss / 1024.0);
  std::printf("%-10s %10s %10s %12s\n", "extractor", "seconds", "MiB/s", "peak MiB");

  const std::string dest = work + "/out";
  struct Tool {
    const char* name;
    std::vector<std::string> command;  // empty: ours
  };
  const std::vector<Tool> tools = {
      {"ours", {}},
      {"unzip", {"unzip", "-qq", "-o", archive, "-d", dest}},
      {"bsdtar", {"bsdtar", "-x", "-f", archive, "-C", dest}},
  };
  for (const Tool& tool : tools) {
    if (!tool.command.empty() && !OnPath(tool.name)) {
      std::printf("%-10s %10s\n", tool.name, "(not installed)");
      continue;
    }
    Run best;
    bool failed = false;
    for (int r = 0; r < runs; ++r) {
      EmptyFolder(dest);
      const Run run = tool.command.empty()
                          ? Measure([&] { return ExtractWithOurs(archive, dest); })
                          : Measure([&] { return Exec(tool.command); });
      if (!run.ok) failed = true;
      if (r == 0 || run.seconds < best.seconds) best = run;
      best.peak_kib = std::max(best.peak_kib, run.peak_kib);
    }
    std::printf("%-10s %10.3f %10.1f %12.1f%s\n", tool.name, best.seconds,
                total / 1048576.0 / best.seconds, best.peak_kib / 1024.0,
                failed ? "  (a run failed)" : "");
  }
  EmptyFolder(dest);
  rmdir(dest.c_str());
  EmptyFolder(dest + ".settings");
  rmdir((dest + ".settings").c_str());
  return 0;
}
