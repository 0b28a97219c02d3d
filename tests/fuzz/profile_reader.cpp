// Fuzz target: the profile (INI) reader and editor, and the settings read from it. Edits must
// read back as written, whatever text surrounds them.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/profile_file.h"
#include "support/test_plugin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vantor::testing::TestVantor* plugin = new vantor::testing::TestVantor;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vantor::ProfileFile profile(text);
  plugin->ReadConfigFrom(profile);

  profile.Set("MIDI Control", "CC7", "12");
  profile.EmptySection("Editor");
  profile.Set("editor", "Switch View", "true");
  profile.RemoveSection("Startup Bank");
  const vantor::ProfileFile reread(profile.Text());
  if (reread.Get("midi control", "cc7") != "12") abort();
  if (reread.Get("EDITOR", "switch view") != "true") abort();
  if (reread.Get("Startup Bank", "File")) abort();
  return 0;
}
