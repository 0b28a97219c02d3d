// lv2_bundle: writes the Turtle files of Vantor.lv2 from the parameter table and the factory bank.
//
//   lv2_bundle OUTPUT_FOLDER BINARY_FILE_NAME
//
// manifest.ttl names the plug-in, its UI and the 64 presets; vantor.ttl describes the ports and
// the UI; presets.ttl holds each factory program as port values and as the program chunk a VST
// host would get for it.
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "core/plugin_base.h"
#include "core/vantor_params.h"
#include "core/vantor_state.h"
#include "lv2/lv2_ports.h"
#include "resources/factory_bank.h"

namespace {

using vantor::kParamCount;
using vantor::ParamSpec;
using vantor::StateChunk;
using vantor::VantorParamSpec;
namespace lv2 = vantor::lv2;

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

struct FactoryProgram {
  std::string name;
  std::array<double, kParamCount> values{};
};

// A number as a Turtle literal that always reads as a decimal or double, never as an integer.
std::string Number(double v) {
  char text[64];
  snprintf(text, sizeof text, "%.9g", v);
  std::string s = text;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Base64(const uint8_t* data, size_t size) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < size; i += 3) {
    const uint32_t n = (uint32_t{data[i]} << 16) | (i + 1 < size ? uint32_t{data[i + 1]} << 8 : 0) |
                       (i + 2 < size ? uint32_t{data[i + 2]} : 0);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < size ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < size ? kDigits[n & 63] : '=';
  }
  return out;
}

// A stored value as the instrument holds it after loading: clamped to the range, not rounded.
double Clamped(const ParamSpec& desc, double v) {
  return !(v >= desc.minimum) ? desc.minimum : std::min(v, desc.maximum);
}

// The 64 programs of the built-in bank, read as the instrument reads them.
bool ReadFactoryBank(std::array<FactoryProgram, vantor::PluginBase::kNumPrograms>* programs) {
  StateChunk bank;
  const std::span<const uint8_t> bytes = vantor::FactoryBankBytes();
  bank.Assign(bytes.data(), bytes.size());
  int p = vantor::kFactoryBankChunkOffset;
  vantor::PluginBase::ReadChunkHeader(bank, &p);
  for (FactoryProgram& program : *programs) {
    uint8_t initialized = 0;
    p = bank.GetString(&program.name, p);
    p = bank.GetBytes(&initialized, 1, p);
    if (p < 0 || !initialized) return false;
    p = vantor::SkipVantorStateHeader(bank, p);
    for (int i = 0; i < kParamCount; ++i) {
      double v = 0.0;
      p = bank.GetDouble(&v, p);
      program.values[static_cast<size_t>(i)] = Clamped(VantorParamSpec(i), v);
    }
    if (p < 0) return false;
  }
  return true;
}

void WriteControlPort(std::ostream& out, int index) {
  const ParamSpec& desc = VantorParamSpec(index);
  out << "    [\n"
      << "      a lv2:InputPort , lv2:ControlPort ;\n"
      << "      lv2:index " << index << " ;\n"
      << "      lv2:symbol \"" << lv2::PortSymbol(index) << "\" ;\n"
      << "      lv2:name " << Quoted(desc.long_name) << " ;\n"
      << "      lv2:shortName " << Quoted(desc.host_name) << " ;\n"
      << "      lv2:default " << Number(desc.default_value) << " ;\n"
      << "      lv2:minimum " << Number(desc.minimum) << " ;\n"
      << "      lv2:maximum " << Number(desc.maximum);
  if (std::string(desc.label) == "sec") out << " ;\n      units:unit units:s";
  if (desc.enumerated) {
    out << " ;\n      lv2:portProperty lv2:integer , lv2:enumeration ;\n      lv2:scalePoint ";
    for (int v = 0; v < desc.count; ++v) {
      out << (v ? " , " : "") << "[ rdfs:label " << Quoted(desc.texts[v]) << " ; rdf:value "
          << Number(v) << " ]";
    }
  }
  out << "\n    ]";
}

std::string PluginTurtle() {
  std::ostringstream out;
  out << kPrefixes;
  out << "<" << lv2::kPluginUri << ">\n"
      << "  a lv2:Plugin , lv2:InstrumentPlugin , doap:Project ;\n"
      << "  doap:name \"Vantor\" ;\n"
      << "  doap:maintainer [ foaf:name \"Brenwick\" ] ;\n"
      << "  rdfs:comment \"Polyphonic divide-down ensemble synthesizer with a monophonic synth "
         "section, resonators, ensemble and phaser.\" ;\n"
      << "  lv2:requiredFeature urid:map ;\n"
      << "  lv2:optionalFeature lv2:hardRTCapable , opts:options ;\n"
      << "  opts:supportedOption bufsz:maxBlockLength ;\n"
      << "  lv2:extensionData state:interface ;\n"
      << "  ui:ui <" << lv2::kUiUri << "> ;\n"
      << "  lv2:port\n";
  for (int i = 0; i < lv2::kControlPorts; ++i) {
    WriteControlPort(out, i);
    out << " ,\n";
  }
  out << "    [\n"
      << "      a lv2:InputPort , atom:AtomPort ;\n"
      << "      atom:bufferType atom:Sequence ;\n"
      << "      atom:supports midi:MidiEvent ;\n"
      << "      lv2:designation lv2:control ;\n"
      << "      lv2:index " << lv2::kMidiInPort << " ;\n"
      << "      lv2:symbol \"midi_in\" ;\n"
      << "      lv2:name \"MIDI In\"\n"
      << "    ] ,\n";
  const char* outputs[2][2] = {{"out_left", "Left"}, {"out_right", "Right"}};
  for (int c = 0; c < 2; ++c) {
    out << "    [\n"
        << "      a lv2:OutputPort , lv2:AudioPort ;\n"
        << "      lv2:index " << lv2::kLeftOutPort + c << " ;\n"
        << "      lv2:symbol \"" << outputs[c][0] << "\" ;\n"
        << "      lv2:name \"" << outputs[c][1] << "\"\n"
        << "    ]" << (c == 0 ? " ,\n" : " .\n\n");
  }
  // The editor in the host's window; with instance access it is the instrument's own editor.
  out << "<" << lv2::kUiUri << ">\n"
      << "  a ui:X11UI ;\n"
      << "  lv2:requiredFeature ui:parent ;\n"
      << "  lv2:optionalFeature ui:resize , ui:noUserResize , ui:idleInterface ,\n"
      << "    <http://lv2plug.in/ns/ext/instance-access> ;\n"
      << "  lv2:extensionData ui:idleInterface .\n\n";
  // The keys of the saved state.
  const char* keys[3][4] = {
      {lv2::kBankKey, "Bank chunk", "atom:Chunk", "Every program slot, as a VST host stores them."},
      {lv2::kCurrentProgramKey, "Current program", "atom:Int", "The program slot in use, 0 to 63."},
      {lv2::kProgramKey, "Program chunk", "atom:Chunk",
       "One program, as a VST host stores it; presets carry it."}};
  for (const auto& key : keys) {
    out << "<" << key[0] << ">\n"
        << "  a rdf:Property ;\n"
        << "  rdfs:label \"" << key[1] << "\" ;\n"
        << "  rdfs:comment \"" << key[3] << "\" ;\n"
        << "  rdfs:range " << key[2] << " .\n\n";
  }
  return out.str();
}

std::string PresetTurtle(const std::array<FactoryProgram, vantor::PluginBase::kNumPrograms>& bank) {
  std::ostringstream out;
  out << kPrefixes;
  for (int n = 0; n < vantor::PluginBase::kNumPrograms; ++n) {
    const FactoryProgram& program = bank[static_cast<size_t>(n)];
    // The program chunk a VST host gets while this program is current.
    StateChunk chunk;
    vantor::PluginBase::WriteChunkHeader(chunk);
    vantor::AppendVantorState(chunk, n, program.name.c_str(), program.values.data(), kParamCount);
    chunk.PutString(program.name);
    out << "<" << lv2::PresetUri(n) << ">\n"
        << "  a pset:Preset ;\n"
        << "  lv2:appliesTo <" << lv2::kPluginUri << "> ;\n"
        << "  rdfs:label " << Quoted(program.name) << " ;\n"
        << "  lv2:port\n";
    for (int i = 0; i < kParamCount; ++i) {
      out << "    [ lv2:symbol \"" << lv2::PortSymbol(i) << "\" ; pset:value "
          << Number(program.values[static_cast<size_t>(i)]) << " ]"
          << (i + 1 < kParamCount ? " ,\n" : " ;\n");
    }
    out << "  state:state [\n"
        << "    <" << lv2::kProgramKey << "> \""
        << Base64(chunk.Data(), static_cast<size_t>(chunk.Size())) << "\"^^xsd:base64Binary\n"
        << "  ] .\n\n";
  }
  return out.str();
}

std::string ManifestTurtle(
    const std::string& binary,
    const std::array<FactoryProgram, vantor::PluginBase::kNumPrograms>& bank) {
  std::ostringstream out;
  out << kPrefixes;
  out << "<" << lv2::kPluginUri << ">\n"
      << "  a lv2:Plugin , lv2:InstrumentPlugin ;\n"
      << "  lv2:binary <" << binary << "> ;\n"
      << "  rdfs:seeAlso <vantor.ttl> .\n\n"
      << "<" << lv2::kUiUri << ">\n"
      << "  a ui:X11UI ;\n"
      << "  ui:binary <" << binary << "> ;\n"
      << "  rdfs:seeAlso <vantor.ttl> .\n\n";
  for (int n = 0; n < vantor::PluginBase::kNumPrograms; ++n) {
    out << "<" << lv2::PresetUri(n) << ">\n"
        << "  a pset:Preset ;\n"
        << "  lv2:appliesTo <" << lv2::kPluginUri << "> ;\n"
        << "  rdfs:label " << Quoted(bank[static_cast<size_t>(n)].name) << " ;\n"
        << "  rdfs:seeAlso <presets.ttl> .\n\n";
  }
  return out.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) fprintf(stderr, "lv2_bundle: cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: lv2_bundle OUTPUT_FOLDER BINARY_FILE_NAME\n");
    return 2;
  }
  // Hosts tell ports apart by symbol; two parameters must never make the same one.
  std::set<std::string> symbols;
  for (int i = 0; i < lv2::kControlPorts; ++i) {
    if (!symbols.insert(lv2::PortSymbol(i)).second) {
      fprintf(stderr, "lv2_bundle: parameter %d repeats the port symbol %s\n", i,
              lv2::PortSymbol(i).c_str());
      return 1;
    }
  }
  std::array<FactoryProgram, vantor::PluginBase::kNumPrograms> bank;
  if (!ReadFactoryBank(&bank)) {
    fprintf(stderr, "lv2_bundle: the factory bank cannot be read\n");
    return 1;
  }
  const std::string folder = argv[1];
  const bool ok = WriteFile(folder + "/manifest.ttl", ManifestTurtle(argv[2], bank)) &&
                  WriteFile(folder + "/vantor.ttl", PluginTurtle()) &&
                  WriteFile(folder + "/presets.ttl", PresetTurtle(bank));
  return ok ? 0 : 1;
}
