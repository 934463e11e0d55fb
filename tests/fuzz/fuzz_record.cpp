// The reader of install records and plans. Besides memory errors and
// undefined behaviour: the reader is strict, so whatever it accepts must be
// exactly what the writer writes for what it read (or what the first
// writer wrote: the same under its one header and without the check line
// before the end), and that
// text must read back to the same again (a damaged file is never
// half-acted upon).
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/record.h"
#include "fuzz_support.h"

using namespace fuzz;

namespace {

// `written` as the first version of the writer wrote it: one header for
// records and plans, and no check line before "end".
std::string Unsealed(const std::string& written) {
  const std::string end = "\nend\n";
  if (written.size() < end.size() ||
      written.compare(written.size() - end.size(), end.size(), end) != 0) {
    return written;
  }
  const std::size_t last = written.size() - end.size();  // the line end before "end"
  const std::size_t start = written.rfind('\n', last - 1);
  if (start == std::string::npos || written.compare(start + 1, 6, "check ") != 0) return written;
  const std::size_t header = written.find('\n');
  return "Quorvantel record 1" + written.substr(header, start + 1 - header) + "end\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  InstallRecord record;
  if (ParseRecord(text, record)) {
    const std::string written = RecordText(record);
    if (written != text && Unsealed(written) != text) {
      FuzzFail("ParseRecord accepted a text RecordText does not write:\n%s\n-- written back as:\n%s",
               text.c_str(), written.c_str());
    }
    InstallRecord again;
    if (!ParseRecord(written, again) || RecordText(again) != written) {
      FuzzFail("RecordText wrote what ParseRecord does not read back:\n%s", written.c_str());
    }
  }

  Plan plan;
  if (ParsePlan(text, plan)) {
    const std::string written = PlanText(plan);
    if (written != text && Unsealed(written) != text) {
      FuzzFail("ParsePlan accepted a text PlanText does not write:\n%s\n-- written back as:\n%s",
               text.c_str(), written.c_str());
    }
    Plan again;
    if (!ParsePlan(written, again) || PlanText(again) != written) {
      FuzzFail("PlanText wrote what ParsePlan does not read back:\n%s", written.c_str());
    }
  }
  return 0;
}
