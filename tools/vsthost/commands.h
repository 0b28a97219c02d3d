// The commands of vsthost; each returns the process exit status.
#pragma once

#include <memory>
#include <string>

#include "tools/vsthost/arguments.h"
#include "tools/vsthost/plugin.h"

namespace vsthost {

int RunInfo(const Options& options);
int RunRender(const Options& options);
int RunSave(const Options& options);
int RunCheck(const Options& options);
int RunBench(const Options& options);
// Opens the editor in a window, plays the scripted actions and saves the window as PNG.
int RunEditor(const Options& options);

// Opens the library and creates one instance; prints the reason and returns null on failure.
std::unique_ptr<Plugin> OpenPlugin(const std::string& path,
                                   std::shared_ptr<PluginLibrary>* library_out = nullptr);

// --preset, then --program (the first given), then every --set, reporting each step.
bool ApplySetup(Plugin& plugin, const Options& options, bool verbose);

}  // namespace vsthost
