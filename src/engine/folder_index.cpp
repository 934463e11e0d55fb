#include "engine/folder_index.h"

#include <vector>

#include "engine/disk.h"
#include "platform/files.h"
#include "platform/text.h"
#include "rules/case_fold.h"

FolderIndex::Listing& FolderIndex::ListingOf(const std::string& folder) {
  Listing& listing = folders_[FileKey(folder)];
  if (listing.listed) return listing;
  listing.listed = true;
  // A folder that is not there holds nothing; only one that is is listed.
  if (folder != root_ && Lookup(folder) != Kind::Folder) return listing;
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, entries)) return listing;
  for (const FolderEntry& entry : entries) {
    listing.names[FileKey(entry.name)] = entry.is_folder ? Kind::Folder : Kind::File;
#ifndef _WIN32
    // Of two spellings of one name, the first in byte order; the exact
    // spelling wins in Resolve before this is asked.
    auto chosen = listing.spelling.emplace(FoldCase(entry.name), entry.name);
    if (!chosen.second && entry.name < chosen.first->second) chosen.first->second = entry.name;
#endif
  }
  return listing;
}

std::string FolderIndex::Resolve(const std::string& path) {
#ifdef _WIN32
  return path;
#else
  if (path.size() <= root_.size() || path.compare(0, root_.size(), root_) != 0) return path;
  std::string resolved = root_;
  std::size_t start = root_.size() + 1;
  while (start <= path.size()) {
    std::size_t end = path.find(kPathSeparator, start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    if (!component.empty()) {
      Listing& listing = ListingOf(resolved);
      std::string chosen = component;
      if (listing.names.count(component) == 0) {
        // Not there as spelt: another spelling that is, or that an earlier
        // path chose; else this one, for later paths to follow.
        chosen = listing.spelling.emplace(FoldCase(component), component).first->second;
      }
      resolved += kPathSeparator + chosen;
    } else if (end < path.size() || start == path.size()) {
      resolved += kPathSeparator;  // a folder's trailing separator
    }
    start = end + 1;
  }
  return resolved;
#endif
}

FolderIndex::Kind FolderIndex::Lookup(const std::string& path) {
  if (path == root_) return PathIsFolder(root_) ? Kind::Folder : Kind::Missing;
  const std::size_t cut = FindLastSeparator(path);
  if (cut == std::string::npos || cut < root_.size()) {
    // Not below the root: asked of the file system itself.
    return PathIsFolder(path) ? Kind::Folder : PathExists(path) ? Kind::File : Kind::Missing;
  }
  const Listing& listing = ListingOf(path.substr(0, cut));
  const auto found = listing.names.find(FileKey(path.substr(cut + 1)));
  return found == listing.names.end() ? Kind::Missing : found->second;
}
