// vsthost: a command-line host for VST 2.4 plug-ins.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/vsthost/arguments.h"
#include "tools/vsthost/commands.h"

int main(int argc, char** argv) {
  using namespace vsthost;
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!ParseArguments(args, options, error)) {
    fprintf(stderr, "vsthost: %s\n\n%s", error.c_str(), UsageText().c_str());
    return 2;
  }
  switch (options.command) {
    case Command::kHelp:
      printf("%s", UsageText().c_str());
      return 0;
    case Command::kInfo:
      return RunInfo(options);
    case Command::kRender:
      return RunRender(options);
    case Command::kSave:
      return RunSave(options);
    case Command::kCheck:
      return RunCheck(options);
    case Command::kBench:
      return RunBench(options);
    case Command::kEditor:
      return RunEditor(options);
  }
  return 2;
}
