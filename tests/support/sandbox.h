#pragma once
// A temporary folder of the test's own, removed with everything in it when
// the test ends, plus small helpers to build and compare folder trees.
#include <map>
#include <string>

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

// Makes a file read-only, or writable again, as the platform understands it.
void SetReadOnly(const std::string& path, bool read_only);

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // Absolute path of the folder, without a trailing separator, in the
  // platform's narrow encoding.
  const std::string& path() const { return path_; }
  // path() + separator + relative (relative uses '/'; converted as needed).
  std::string Join(const std::string& relative) const;

  void WriteFile(const std::string& relative, const std::string& content) const;
  std::string ReadFile(const std::string& relative) const;
  void MakeDir(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  // Makes the folder hold exactly `tree` (as Snapshot gives it).
  void Restore(const std::map<std::string, std::string>& tree) const;

 private:
  std::string path_;
};

// Every file and folder below `root`: relative path ('/' separated) ->
// content, or "<dir>" for a folder.
std::map<std::string, std::string> Snapshot(const std::string& root);

// Every file below `root` (folders are left out: adding a file changes a
// folder's time): relative path -> its read-only flag (and on Windows its
// hidden and system flags) and its modification time.
std::map<std::string, std::string> Attributes(const std::string& root);
// Gives each file below `root` the attributes and time it has in
// `attributes` (as Attributes took them).
void RestoreAttributes(const std::string& root,
                       const std::map<std::string, std::string>& attributes);

// Folder with the zip fixtures made at build time.
std::string FixturePath(const std::string& name);
