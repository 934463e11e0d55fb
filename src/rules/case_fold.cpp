#include "rules/case_fold.h"

#include "platform/text.h"

std::string FoldCase(const std::string& name) {
  std::string folded = name;
  for (std::size_t i = 0; i < folded.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(folded[i]);
    if (IsLeadByte(c) && i + 1 < folded.size()) {
      ++i;  // a trail byte is no letter
    } else if (c >= 'A' && c <= 'Z') {
      folded[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
  return folded;
}

std::string FileKey(const std::string& path) {
#ifdef _WIN32
  return FoldCase(path);
#else
  return path;
#endif
}
