#pragma once
#include <string>
#include <unordered_map>

// What a command learns of its destination folder: each folder below `root`
// is listed once, when first asked about, and every later question about a
// name in it is answered from that list, not by another call. It knows the
// folder as it was when asked: the checks before a command's first change
// use it. (Names compare as FileKey does.)
class FolderIndex {
 public:
  enum class Kind { Missing, File, Folder };
  explicit FolderIndex(std::string root) : root_(std::move(root)) {}
  // `path` is `root` or a full path below it.
  Kind Lookup(const std::string& path);
  bool Exists(const std::string& path) { return Lookup(path) != Kind::Missing; }
  bool IsFolder(const std::string& path) { return Lookup(path) == Kind::Folder; }

  // The spelling under which `path` (below the root) is to be used. Where
  // the file system tells case apart (Linux), a mod made for Windows may say
  // Data/Textures where the game has data/textures: each component takes
  // the spelling of what exists (the exact one if it is there, else the
  // first in byte order), or of what an earlier path of this command chose,
  // and keeps its own otherwise. Unchanged on Windows, whose file systems
  // match names without regard to case themselves.
  std::string Resolve(const std::string& path);

 private:
  struct Listing {
    bool listed = false;
    std::unordered_map<std::string, Kind> names;
    // Where case matters: the spellings of each folded name, existing and
    // chosen by this command.
    std::unordered_map<std::string, std::string> spelling;
  };
  Listing& ListingOf(const std::string& folder);
  std::string root_;
  std::unordered_map<std::string, Listing> folders_;
};
