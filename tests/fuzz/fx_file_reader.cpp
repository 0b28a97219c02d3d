// Fuzz target: the program and bank file reader of vsthost. Any input is read or refused with a
// reason; what is read is written again and reads back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tools/vsthost/fx_file.h"

namespace {

bool SameProgram(const vsthost::FxProgram& a, const vsthost::FxProgram& b) {
  // Parameters compared bit for bit: a file may hold NaNs.
  return a.plugin_id == b.plugin_id && a.plugin_version == b.plugin_version &&
         a.is_chunk == b.is_chunk && a.chunk == b.chunk && a.params.size() == b.params.size() &&
         (a.params.empty() ||
          memcmp(a.params.data(), b.params.data(), a.params.size() * sizeof(float)) == 0) &&
         a.name.substr(0, 27) == b.name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vsthost::FxFile file;
  std::string error;
  if (!vsthost::ParseFxFile({data, size}, file, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const std::vector<uint8_t> again =
      file.is_bank ? vsthost::WriteFxBank(file.bank) : vsthost::WriteFxProgram(file.program);
  vsthost::FxFile reread;
  if (!vsthost::ParseFxFile(again, reread, error) || reread.is_bank != file.is_bank) std::abort();
  if (!file.is_bank) {
    if (!SameProgram(file.program, reread.program)) std::abort();
    return 0;
  }
  const vsthost::FxBank& a = file.bank;
  const vsthost::FxBank& b = reread.bank;
  if (a.plugin_id != b.plugin_id || a.is_chunk != b.is_chunk || a.chunk != b.chunk ||
      a.programs.size() != b.programs.size()) {
    std::abort();
  }
  for (size_t i = 0; i < a.programs.size(); ++i) {
    if (!SameProgram(a.programs[i], b.programs[i])) std::abort();
  }
  return 0;
}
