// Name lookups, display-text search for parameter values, and preset files applied to a plug-in.
#include "tools/vsthost/setup.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <set>

#include "core/number_text.h"

namespace vsthost {
namespace {

// Steps of the normalised range searched for a display text; fine enough for 1000-step
// parameters, cheap enough for a few hundred parameters.
constexpr int kSearchSteps = 2048;

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
    ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
    --b;
  return s.substr(a, b - a);
}

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool AllDigits(const std::string& s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

}  // namespace

bool LeadingNumber(const std::string& text, double& value, int& decimals) {
  const std::string t = Trim(text);
  if (t.empty()) return false;
  // Read with a point whatever locale a loaded plug-in may have switched the process to.
  const size_t length = vantor::ReadLeadingNumber(t, &value);
  if (length == 0 || !std::isfinite(value)) return false;
  // "inf", "nan" and hex would read too; display texts mean plain decimals.
  const std::string number = t.substr(0, length);
  if (number.find_first_not_of("+-.0123456789eE") != std::string::npos) return false;
  const size_t dot = number.find('.');
  decimals = dot == std::string::npos ? 0 : static_cast<int>(number.size() - dot - 1);
  const char* rest = t.c_str() + length;
  while (*rest == ' ')
    ++rest;
  if (*rest == 'k' || *rest == 'K') {
    value *= 1000.0;
    decimals = std::max(0, decimals - 3);
  }
  return true;
}

bool DisplayMatches(const std::string& display, const std::string& wanted) {
  const std::string d = Lower(Trim(display)), w = Lower(Trim(wanted));
  if (d == w) return true;
  if (d.size() > w.size() && d.compare(0, w.size(), w) == 0 && d[w.size()] == ' ') return true;
  double dv, wv;
  int dd, wd;
  if (LeadingNumber(d, dv, dd) && LeadingNumber(w, wv, wd)) {
    // Equal to the precision the display shows.
    const double tolerance = 0.5 * std::pow(10.0, -dd) + 1e-9 * std::fabs(wv);
    return std::fabs(dv - wv) <= tolerance;
  }
  return false;
}

bool FindParameter(Plugin& plugin, const std::string& name, int& index, std::string& error) {
  const int count = plugin.NumParams();
  std::vector<std::string> names(count);
  for (int i = 0; i < count; ++i)
    names[i] = Trim(plugin.ParamName(i));
  const std::string wanted = Trim(name);
  for (int i = 0; i < count; ++i) {
    if (names[i] == wanted) return index = i, true;
  }
  for (int i = 0; i < count; ++i) {
    if (Lower(names[i]) == Lower(wanted)) return index = i, true;
  }
  if (AllDigits(wanted) && wanted.size() < 8 && std::atoi(wanted.c_str()) < count) {
    index = std::atoi(wanted.c_str());
    return true;
  }
  error = "no parameter is named \"" + name + "\" (the plug-in has " + std::to_string(count) +
          " parameters; 'vsthost info' lists them)";
  return false;
}

bool SetParameterFromText(Plugin& plugin, int index, const std::string& text, std::string& how,
                          std::string& error) {
  const float before = plugin.GetParameter(index);
  if (plugin.String2Parameter(index, text) && DisplayMatches(plugin.ParamDisplay(index), text)) {
    how = "through the plug-in's text entry";
    return true;
  }
  plugin.SetParameter(index, before);

  std::vector<std::string> displays(kSearchSteps + 1);
  for (int i = 0; i <= kSearchSteps; ++i) {
    plugin.SetParameter(index, static_cast<float>(i) / kSearchSteps);
    displays[i] = plugin.ParamDisplay(index);
  }
  // A stepped parameter shows one text over a range; the middle of the range is the safest.
  for (int i = 0; i <= kSearchSteps; ++i) {
    if (!DisplayMatches(displays[i], text)) continue;
    int j = i;
    while (j < kSearchSteps && DisplayMatches(displays[j + 1], text))
      ++j;
    plugin.SetParameter(index, static_cast<float>(i + j) / (2.0f * kSearchSteps));
    how = "by searching the display texts";
    return true;
  }
  // Numbers between two display steps: take the closest, refined between its neighbours.
  double wanted;
  int decimals;
  if (LeadingNumber(text, wanted, decimals)) {
    int best = -1;
    double best_distance = INFINITY;
    for (int i = 0; i <= kSearchSteps; ++i) {
      double v;
      int d;
      if (LeadingNumber(displays[i], v, d) && std::fabs(v - wanted) < best_distance) {
        best_distance = std::fabs(v - wanted);
        best = i;
      }
    }
    if (best >= 0) {
      double best_x = static_cast<double>(best) / kSearchSteps;
      auto value_at = [&](double x, double& v) {
        plugin.SetParameter(index, static_cast<float>(x));
        int d;
        return LeadingNumber(plugin.ParamDisplay(index), v, d);
      };
      double lo = std::max(0, best - 1) / static_cast<double>(kSearchSteps);
      double hi = std::min(kSearchSteps, best + 1) / static_cast<double>(kSearchSteps);
      double v_lo, v_hi;
      if (value_at(lo, v_lo) && value_at(hi, v_hi) && (v_lo - wanted) * (v_hi - wanted) <= 0) {
        for (int step = 0; step < 24; ++step) {
          const double mid = 0.5 * (lo + hi);
          double v_mid;
          if (!value_at(mid, v_mid)) break;
          if (std::fabs(v_mid - wanted) < best_distance) {
            best_distance = std::fabs(v_mid - wanted);
            best_x = mid;
          }
          if ((v_lo - wanted) * (v_mid - wanted) <= 0) {
            hi = mid;
          } else {
            lo = mid;
            v_lo = v_mid;
          }
        }
      }
      plugin.SetParameter(index, static_cast<float>(best_x));
      const double tolerance = std::max(0.005 * std::fabs(wanted), 1e-6);
      if (DisplayMatches(plugin.ParamDisplay(index), text) || best_distance <= tolerance) {
        how = "by searching the display texts";
        return true;
      }
    }
    if (wanted >= 0.0 && wanted <= 1.0) {
      plugin.SetParameter(index, static_cast<float>(wanted));
      how = "as a normalised value (no display text matched)";
      return true;
    }
  }
  plugin.SetParameter(index, before);
  std::set<std::string> seen;
  std::string examples;
  for (int i = 0; i <= kSearchSteps && seen.size() < 6; i += kSearchSteps / 64) {
    if (seen.insert(Trim(displays[i])).second) {
      examples += (examples.empty() ? "\"" : ", \"") + Trim(displays[i]) + "\"";
    }
  }
  error = "parameter \"" + Trim(plugin.ParamName(index)) + "\" shows no value \"" + text +
          "\" (it shows values such as " + examples + ")";
  return false;
}

bool FindProgram(Plugin& plugin, const std::string& text, int& index, std::string& error) {
  const int count = plugin.NumPrograms();
  const std::string wanted = Trim(text);
  if (AllDigits(wanted)) {
    const long n = wanted.size() < 8 ? std::atol(wanted.c_str()) : count;
    if (n < count) {
      index = static_cast<int>(n);
      return true;
    }
    error = "there is no program " + wanted + ": the plug-in has " + std::to_string(count) +
            " programs, numbered from 0";
    return false;
  }
  std::vector<std::string> names(count);
  for (int i = 0; i < count; ++i)
    names[i] = Trim(plugin.ProgramName(i));
  for (int i = 0; i < count; ++i) {
    if (names[i] == wanted) return index = i, true;
  }
  for (int i = 0; i < count; ++i) {
    if (Lower(names[i]) == Lower(wanted)) return index = i, true;
  }
  std::vector<int> partial;
  for (int i = 0; i < count; ++i) {
    if (Lower(names[i]).find(Lower(wanted)) != std::string::npos) partial.push_back(i);
  }
  if (partial.size() == 1) {
    index = partial[0];
    return true;
  }
  if (partial.empty()) {
    error = "no program is named \"" + text + "\"";
  } else {
    error = "\"" + text + "\" names " + std::to_string(partial.size()) + " programs:";
    for (size_t i = 0; i < partial.size() && i < 8; ++i) {
      error += (i ? ", \"" : " \"") + names[partial[i]] + "\"";
    }
  }
  return false;
}

bool LoadPresetFile(Plugin& plugin, const std::string& path, std::string& report,
                    std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  FxFile file;
  if (!ParseFxFile(bytes, file, error)) {
    error = path + ": " + error;
    return false;
  }
  const vst::AEffect* effect = plugin.effect();
  const int32_t id = file.is_bank ? file.bank.plugin_id : file.program.plugin_id;
  if (id != effect->uniqueID) {
    error = path + " belongs to the plug-in " + FourCCText(id) + ", not to this one (" +
            FourCCText(effect->uniqueID) + ")";
    return false;
  }
  const bool takes_chunks = plugin.HasFlag(vst::effFlagsProgramChunks);
  const bool is_chunk = file.is_bank ? file.bank.is_chunk : file.program.is_chunk;
  if (is_chunk && !takes_chunks) {
    error = path + " holds a chunk, but the plug-in does not take chunks";
    return false;
  }
  // Everything is checked before anything is applied, so a rejected file changes nothing.
  if (!is_chunk) {
    const std::vector<FxProgram> single = {file.program};
    for (const FxProgram& p : file.is_bank ? file.bank.programs : single) {
      if (p.num_params != plugin.NumParams()) {
        error = path + " holds " + std::to_string(p.num_params) +
                " parameters per program, the plug-in has " + std::to_string(plugin.NumParams());
        return false;
      }
    }
  }
  if (!file.is_bank) {
    const FxProgram& p = file.program;
    if (p.is_chunk) {
      if (!plugin.SetChunk(false, p.chunk, p.num_params)) {
        error = "the plug-in refused the program chunk of " + path;
        return false;
      }
    } else {
      for (int i = 0; i < p.num_params; ++i)
        plugin.SetParameter(i, p.params[i]);
    }
    if (!p.name.empty()) plugin.SetProgramName(p.name);
    report = "loaded program \"" + p.name + "\" from " + path;
    return true;
  }
  const FxBank& bank = file.bank;
  if (bank.is_chunk) {
    if (!plugin.SetChunk(true, bank.chunk, bank.num_programs)) {
      error = "the plug-in refused the bank chunk of " + path;
      return false;
    }
  } else {
    const int count = std::min<int>(plugin.NumPrograms(), static_cast<int>(bank.programs.size()));
    for (int i = 0; i < count; ++i) {
      const FxProgram& p = bank.programs[i];
      plugin.SetProgram(i);
      for (int k = 0; k < p.num_params; ++k)
        plugin.SetParameter(k, p.params[k]);
      plugin.SetProgramName(p.name);
    }
    const int current =
        bank.current_program >= 0 && bank.current_program < count ? bank.current_program : 0;
    plugin.SetProgram(current);
  }
  report = "loaded a bank of " + std::to_string(bank.num_programs) + " programs from " + path;
  return true;
}

namespace {

// The current program as a parameter list, the form every plug-in can give.
FxProgram CaptureParameterList(Plugin& plugin) {
  FxProgram p;
  p.plugin_id = plugin.effect()->uniqueID;
  p.plugin_version = plugin.effect()->version;
  p.num_params = plugin.NumParams();
  p.name = plugin.CurrentProgramName();
  p.params.resize(p.num_params);
  for (int i = 0; i < p.num_params; ++i)
    p.params[i] = plugin.GetParameter(i);
  return p;
}

}  // namespace

FxProgram CaptureProgram(Plugin& plugin) {
  std::vector<uint8_t> chunk;
  if (plugin.HasFlag(vst::effFlagsProgramChunks) && plugin.GetChunk(false, chunk)) {
    FxProgram p;
    p.plugin_id = plugin.effect()->uniqueID;
    p.plugin_version = plugin.effect()->version;
    p.num_params = plugin.NumParams();
    p.name = plugin.CurrentProgramName();
    p.is_chunk = true;
    p.chunk = std::move(chunk);
    return p;
  }
  return CaptureParameterList(plugin);
}

FxBank CaptureBank(Plugin& plugin) {
  FxBank bank;
  bank.plugin_id = plugin.effect()->uniqueID;
  bank.plugin_version = plugin.effect()->version;
  bank.num_programs = plugin.NumPrograms();
  bank.current_program = plugin.GetProgram();
  if (plugin.HasFlag(vst::effFlagsProgramChunks) && plugin.GetChunk(true, bank.chunk)) {
    bank.is_chunk = true;
    return bank;
  }
  for (int i = 0; i < bank.num_programs; ++i) {
    plugin.SetProgram(i);
    bank.programs.push_back(CaptureParameterList(plugin));
  }
  plugin.SetProgram(bank.current_program);
  return bank;
}

}  // namespace vsthost
