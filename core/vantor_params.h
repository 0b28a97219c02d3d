// The instrument's parameter set: names, ranges, defaults, texts, and the editor's info line.
#pragma once

#include <string>

#include "engine/param_ids.h"

namespace vantor {

class PluginBase;

enum class InfoFormat { Text, Percent, BipolarPercent, Rate, Frequency, Seconds };

struct ParamSpec {
  const char* long_name;
  const char* host_name;
  bool enumerated;
  double minimum;
  double maximum;
  double default_value;
  double step;
  double shape;
  const char* const* texts;  // enumerated parameters: `count` display texts
  int count;
  const char* label;
  InfoFormat info;
};

const ParamSpec& VantorParamSpec(int index);

// The long name of a parameter ("Filter Cutoff"); empty outside 0 .. 109.
const char* ParamLongName(int index);

// Finds a parameter by its long name, case-sensitively; -1 when there is none.
int FindParamByLongName(const std::string& name);

// Declares all 110 parameters of `plugin` from the table; every value becomes its default.
void DeclareVantorParameters(PluginBase& plugin);

// The editor's info line for parameter `index` ("Main Volume: 25%"); for an index above 109 the
// version text.
std::string InfoLine(const PluginBase& plugin, int index);

// Name of MIDI note `note` where note 60 is "C3".
std::string NoteName(int note);

}  // namespace vantor
