// Generates the test locales with localedef into the build tree and switches to them.
#include "support/test_locale.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace vantor::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kUtf8[] = ".UTF-8";
// Always made beside the one asked for: the locale a plug-in that changes the process locale
// is most likely to pick.
constexpr char kEnglish[] = "en_US.UTF-8";

bool Complete(const fs::path& folder) {
  std::error_code ec;
  return fs::exists(folder / "LC_NUMERIC", ec) && fs::exists(folder / "LC_CTYPE", ec);
}

bool RunLocaledef(const std::string& source, const fs::path& target) {
  const std::string path = target.string();
  const char* argv[] = {"localedef", "-c",    "-i",         source.c_str(),
                        "-f",        "UTF-8", path.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned =
      posix_spawnp(&child, "localedef", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // -c writes the locale despite warnings about the definition, and then exits with 1.
  return Complete(target);
}

// Makes the locale `name` under `root` unless it is there.
std::string Generate(const fs::path& root, const std::string& name) {
  const fs::path target = root / name;
  if (Complete(target)) return "";
  const size_t suffix = name.rfind(kUtf8);
  if (suffix == std::string::npos || suffix + sizeof kUtf8 - 1 != name.size())
    return name + " is not a UTF-8 locale name";
  std::error_code ec;
  fs::create_directories(root, ec);
  // Built in a folder of its own and renamed into place, so a test process running beside this
  // one never sees half a locale.
  std::string staging = (root / (name + ".XXXXXX")).string();
  if (!mkdtemp(staging.data())) return "cannot make a folder in " + root.string();
  const fs::path built = fs::path(staging) / name;
  if (RunLocaledef(name.substr(0, suffix), built)) fs::rename(built, target, ec);  // or one won
  fs::remove_all(staging, ec);
  if (!Complete(target)) return "localedef could not make " + name + " (install package locales)";
  return "";
}

}  // namespace

std::string UseLocale(const std::string& name) {
  for (const std::string& needed : {std::string(kEnglish), name}) {
    const std::string problem = Generate(VANTOR_TEST_LOCALE_DIR, needed);
    if (!problem.empty()) return problem;
  }
  setenv("LOCPATH", VANTOR_TEST_LOCALE_DIR, 1);
  if (!setlocale(LC_ALL, name.c_str())) return "setlocale refused " + name;
  return "";
}

std::string UseDecimalCommaLocale() {
  const std::string problem = UseLocale("de_DE.UTF-8");
  if (!problem.empty()) return problem;
  if (strcmp(localeconv()->decimal_point, ",") != 0) return "de_DE.UTF-8 has no decimal comma";
  return "";
}

void UseCLocale() {
  setlocale(LC_ALL, "C");
}

}  // namespace vantor::testing
