// Gives every test process a home and configuration folder of its own, so no test reads or
// writes the user's real settings. Linked into every test binary.
#include "support/test_home.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace vantor::testing {
namespace {

std::filesystem::path MakeUniqueFolder(const std::string& prefix) {
  std::random_device random;
  for (;;) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        (prefix + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(folder)) return folder;
  }
}

struct ProcessHome {
  ProcessHome() : root(MakeUniqueFolder("vantor-test-")) {
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    unsetenv("XDG_DESKTOP_DIR");
  }
  ~ProcessHome() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  std::filesystem::path root;
};

ProcessHome& Home() {
  static ProcessHome home;
  return home;
}

// Set up before main, so even objects built by test registration see the private folders.
[[maybe_unused]] const ProcessHome& g_home = Home();

}  // namespace

std::filesystem::path TestRoot() {
  return Home().root;
}

std::filesystem::path FreshConfigHome() {
  const std::filesystem::path folder = MakeUniqueFolder((Home().root / "config-").string());
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  return folder;
}

}  // namespace vantor::testing
