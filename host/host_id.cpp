// Host identification tables and rules.
#include "host/host_id.h"

#include <cstring>
#include <string>

namespace vantor {
namespace {

struct HostFragment {
  const char* fragment;
  int id;
};

// Searched in this order; the first match wins, so "cubase" beats "reaper" in the same string.
constexpr HostFragment kHostFragments[] = {
    {"cubase", 3},      {"reaper", 1},      {"nuendo", 4},
    {"cakewalk", 5},    {"samplitude", 8},  {"fruity", 7},
    {"live", 9},        {"melodyne", 12},   {"vstmanlib", 13},
    {"aulab", 14},      {"garageband", 22}, {"forte", 15},
    {"chainer", 16},    {"audition", 17},   {"orion", 18},
    {"sawstudio", 20},  {"logic", 21},      {"digital", 23},
    {"audiomulch", 25}, {"presonus", 26},   {"vst3plugintesthost", 27},
    {"protools", 2},    {"ardour", 28},     {"openmpt", 30},
    {"renoise", 29},    {"standalone", 24},
};

constexpr int kHostForte = 15;
constexpr int kHostAudition = 17;
constexpr int kHostOrion = 18;
constexpr int kHostSawStudio = 20;

// Host strings arrive in 256-byte buffers; anything past that is not read.
constexpr size_t kHostStringSize = 256;

// ASCII letters only: the host's locale may fold others differently (in Turkish, 'I' has no
// one-byte lower case), and every name matched here is ASCII.
std::string Lower(const char* s) {
  std::string out(s ? s : "", s ? strnlen(s, kHostStringSize - 1) : 0);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

int HostIdFromProduct(const char* product) {
  const std::string lower = Lower(product);
  if (lower.empty()) return 0;
  for (const HostFragment& entry : kHostFragments) {
    if (lower.find(entry.fragment) != std::string::npos) return entry.id;
  }
  return 0;
}

int32_t HostVersionFromDecimal(int32_t v) {
  // v + (v mod 10000 / 100) * 156 + (v / 10000) * 55536 turns each decimal field into a byte.
  const int64_t major = v / 10000;
  const int64_t minor = v % 10000 / 100;
  return static_cast<int32_t>(static_cast<int64_t>(v) + minor * 156 + major * 55536);
}

bool IsProgramChunkOnlyVendor(const char* vendor) {
  const std::string lower = Lower(vendor);
  return lower == "native instruments" || lower == "juce vst host";
}

bool HostDisconnectsExtraInputs(int host_id) {
  return host_id == kHostForte || host_id == kHostAudition || host_id == kHostOrion ||
         host_id == kHostSawStudio;
}

}  // namespace vantor
