// Fuzz target: vsthost's command-line parser. The input is split into words at zero bytes; any
// words are accepted or refused with a reason, and what is accepted is within its ranges.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/vsthost/arguments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size && args.size() <= 64; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  vsthost::Options o;
  std::string error;
  if (!vsthost::ParseArguments(args, o, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (o.command == vsthost::Command::kHelp) return 0;
  const bool writes =
      o.command == vsthost::Command::kRender || o.command == vsthost::Command::kSave;
  if (o.plugin.empty() || (writes && o.output.empty()) || o.block_size < 1 ||
      o.block_size > 16384 || !(o.sample_rate >= 8000 && o.sample_rate <= 384000) ||
      !(o.tail_seconds >= 0 && o.tail_seconds <= 600) || o.voices < 1 || o.voices > 100) {
    std::abort();
  }
  for (const auto& [name, value] : o.settings) {
    if (name.empty()) std::abort();
  }
  return 0;
}
