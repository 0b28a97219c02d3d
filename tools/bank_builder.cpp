// bank_builder: turns the readable factory program source into the bank file and its C++ bytes.
//
//   bank_builder PROGRAMS.txt OUT.fxb OUT.cpp
//
// The source holds 64 programs in slot order, each a line "[N] Name" followed by lines
// "Long Name = value": a number in the parameter's own units for a continuous parameter, one of
// its display texts for an enumerated one. Unlisted parameters keep their declared default.
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/fx_format.h"
#include "core/plugin_base.h"
#include "core/vantor_params.h"
#include "core/vantor_state.h"

namespace {

using vantor::kParamCount;

struct Program {
  std::string name;
  std::array<double, kParamCount> values{};
};

std::string Trim(const std::string& s) {
  const size_t begin = s.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  const size_t end = s.find_last_not_of(" \t\r");
  return s.substr(begin, end - begin + 1);
}

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  *value = strtod(text.c_str(), &end);
  return errno == 0 && end && *end == '\0';
}

// Reads the program source; prints "file:line: problem" and returns false on the first error.
bool ReadPrograms(const char* path, std::vector<Program>* programs) {
  std::ifstream in(path);
  if (!in) {
    fprintf(stderr, "%s: cannot open\n", path);
    return false;
  }
  std::string line;
  int line_number = 0;
  auto fail = [&](const std::string& problem) {
    fprintf(stderr, "%s:%d: %s\n", path, line_number, problem.c_str());
    return false;
  };
  while (std::getline(in, line)) {
    ++line_number;
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      int slot = -1;
      if (close == std::string::npos || sscanf(line.c_str() + 1, "%d", &slot) != 1)
        return fail("a program starts with \"[slot] Name\"");
      if (slot != static_cast<int>(programs->size()))
        return fail("program " + std::to_string(slot) + " is out of order");
      Program program;
      program.name = Trim(line.substr(close + 1));
      if (program.name.empty() || program.name.size() >= vantor::PresetSlot::kNameSize)
        return fail("a program name has 1 to 255 characters");
      for (int i = 0; i < kParamCount; ++i)
        program.values[static_cast<size_t>(i)] = vantor::VantorParamSpec(i).default_value;
      programs->push_back(program);
      continue;
    }
    if (programs->empty()) return fail("a parameter line before the first program");
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return fail("expected \"Long Name = value\"");
    const std::string name = Trim(line.substr(0, equals));
    const std::string text = Trim(line.substr(equals + 1));
    const int index = vantor::FindParamByLongName(name);
    if (index < 0) return fail("no parameter is named \"" + name + "\"");
    const vantor::ParamSpec& desc = vantor::VantorParamSpec(index);
    double value = 0.0;
    if (desc.enumerated) {
      int found = -1;
      for (int i = 0; i < desc.count; ++i) {
        if (text == desc.texts[i]) found = i;
      }
      if (found < 0) return fail("\"" + text + "\" is not a setting of " + name);
      value = found;
    } else {
      if (!ParseNumber(text, &value)) return fail("\"" + text + "\" is not a number");
      if (value < desc.minimum || value > desc.maximum)
        return fail(name + " takes " + std::to_string(desc.minimum) + " to " +
                    std::to_string(desc.maximum));
    }
    programs->back().values[static_cast<size_t>(index)] = value;
  }
  if (programs->size() != static_cast<size_t>(vantor::PluginBase::kNumPrograms)) {
    fprintf(stderr, "%s: %zu programs, not %d\n", path, programs->size(),
            vantor::PluginBase::kNumPrograms);
    return false;
  }
  return true;
}

// The bank as the plug-in writes it after loading a bank while program 0 is current: every
// slot's state carries index 0 and the first program's name.
std::vector<uint8_t> BuildBank(const std::vector<Program>& programs) {
  vantor::StateChunk chunk;
  vantor::PluginBase::WriteChunkHeader(chunk);
  for (const Program& program : programs) {
    chunk.PutString(program.name);
    const uint8_t initialized = 1;
    chunk.PutBytes(&initialized, 1);
    vantor::AppendVantorState(chunk, 0, programs[0].name.c_str(), program.values.data(),
                              kParamCount);
  }
  vantor::FxHeader header;
  header.kind = vantor::kFxBankChunk;
  header.format_version = 2;
  header.plugin_id = vantor::PluginBase::kUniqueId;
  header.plugin_version = 10301;
  header.count = vantor::PluginBase::kNumPrograms;
  header.current_program = 0;
  header.chunk_size = chunk.Size();
  const size_t header_size = vantor::FxHeaderSize(header.kind);
  header.byte_size = static_cast<int32_t>(header_size) + chunk.Size();  // the whole file
  std::vector<uint8_t> bank(header_size);
  vantor::WriteFxHeader(header, bank.data());
  bank.insert(bank.end(), chunk.Data(), chunk.Data() + chunk.Size());
  return bank;
}

bool WriteFile(const char* path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) fprintf(stderr, "%s: cannot write\n", path);
  return static_cast<bool>(out);
}

std::string ByteArraySource(const std::vector<uint8_t>& bank) {
  std::ostringstream out;
  out << "// Generated by tools/bank_builder from resources/factory_programs.txt; do not edit.\n"
      << "#include \"resources/factory_bank.h\"\n\nnamespace vantor {\nnamespace {\n\n"
      << "alignas(8) const uint8_t kFactoryBank[" << bank.size() << "] = {";
  for (size_t i = 0; i < bank.size(); ++i) {
    out << (i % 20 == 0 ? "\n   " : "") << ' ' << static_cast<int>(bank[i]) << ',';
  }
  out << "\n};\n\n}  // namespace\n\nstd::span<const uint8_t> FactoryBankBytes() {\n"
      << "  return {kFactoryBank, sizeof kFactoryBank};\n}\n\n}  // namespace vantor\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s PROGRAMS.txt OUT.fxb OUT.cpp\n", argv[0]);
    return 2;
  }
  std::vector<Program> programs;
  if (!ReadPrograms(argv[1], &programs)) return 1;
  const std::vector<uint8_t> bank = BuildBank(programs);
  if (!WriteFile(argv[2], std::string(bank.begin(), bank.end()))) return 1;
  if (!WriteFile(argv[3], ByteArraySource(bank))) return 1;
  return 0;
}
