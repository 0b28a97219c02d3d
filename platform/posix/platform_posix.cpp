// The platform interface on Linux and other POSIX systems.
#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>

#include "platform/platform.h"

namespace vantor::platform {
namespace {

std::mutex g_module_folder_mutex;
std::string g_module_folder_override;

std::string HomeFolder() {
  const char* home = getenv("HOME");
  if (home && home[0]) return home;
  struct passwd pw;
  struct passwd* result = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &result) == 0 && result && result->pw_dir) {
    return result->pw_dir;
  }
  return "/tmp";
}

std::string StripTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

// The folder named by `key` in user-dirs.dirs, the file the xdg-user-dir tool answers from
// (read here rather than running the tool inside the host's process).
std::string UserDirFromConfig(const char* key) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(JoinPath(UserConfigFolder(), "user-dirs.dirs"), &bytes, 1 << 16)) return {};
  const std::string text(bytes.begin(), bytes.end());
  const std::string prefix = std::string(key) + "=";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, prefix.size(), prefix) != 0) continue;
    std::string value = line.substr(first + prefix.size());
    while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
      value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.compare(0, 5, "$HOME") == 0) {
      value = HomeFolder() + value.substr(5);
    } else if (value.empty() || value[0] != '/') {
      return {};  // only absolute paths and $HOME-relative ones are valid there
    }
    return StripTrailingSeparators(value);
  }
  return {};
}

std::string UserDir(const char* key, const char* fallback) {
  if (const char* env = getenv(key); env && env[0] == '/') return StripTrailingSeparators(env);
  std::string dir = UserDirFromConfig(key);
  return dir.empty() ? JoinPath(HomeFolder(), fallback) : dir;
}

}  // namespace

std::string UserConfigFolder() {
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return StripTrailingSeparators(xdg);
  return JoinPath(HomeFolder(), ".config");
}

std::string UserStateFolder() {
  const char* xdg = getenv("XDG_STATE_HOME");
  if (xdg && xdg[0] == '/') return StripTrailingSeparators(xdg);
  return JoinPath(HomeFolder(), ".local/state");
}

std::string DocumentsFolder() {
  return UserDir("XDG_DOCUMENTS_DIR", "Documents");
}

std::string DesktopFolder() {
  return UserDir("XDG_DESKTOP_DIR", "Desktop");
}

std::string ModuleFolder() {
  {
    std::lock_guard lock(g_module_folder_mutex);
    if (!g_module_folder_override.empty()) return g_module_folder_override;
  }
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  if (path.find('/') == std::string::npos) {
    // A program started through PATH reports its bare name; its file is known to the kernel.
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    path.assign(buffer, static_cast<size_t>(n));
  }
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size()) return {};
  return path.substr(0, slash + 1);
}

void OverrideModuleFolder(const std::string& folder) {
  std::lock_guard lock(g_module_folder_mutex);
  g_module_folder_override = folder;
  if (!folder.empty() && folder.back() != '/') g_module_folder_override += '/';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  if (FolderExists(path)) return true;
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string parent = path.substr(0, slash);
    if (!FolderExists(parent) && mkdir(parent.c_str(), 0755) != 0 && errno != EEXIST) {
      return false;
    }
  }
  if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
  return FolderExists(path);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, size_t max_size) {
  bytes->clear();
  if (path.empty()) return false;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok =
      fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= max_size;
  if (ok) {
    bytes->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (ok && done < bytes->size()) {
      const ssize_t n = read(fd, bytes->data() + done, bytes->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        bytes->resize(done);  // the file shrank while we read it
        break;
      }
      done += static_cast<size_t>(n);
    }
  }
  close(fd);
  if (!ok) bytes->clear();
  return ok;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
  if (path.empty() || path.back() == '/') return false;
  // A symbolic link stays a link: the file it points to is replaced.
  std::string target = path;
  struct stat link_st;
  if (lstat(path.c_str(), &link_st) == 0 && S_ISLNK(link_st.st_mode)) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return false;
    target = resolved;
    free(resolved);
  }
  // The temporary name is unique per call so that instances writing at once do not collide.
  static std::mutex random_mutex;
  static std::mt19937_64 random{std::random_device{}()};
  uint64_t token;
  {
    std::lock_guard lock(random_mutex);
    token = random();
  }
  char suffix[32];
  snprintf(suffix, sizeof suffix, ".tmp%016llx", static_cast<unsigned long long>(token));
  const std::string temp = target + suffix;

  // Keep the permissions of a file that is replaced.
  mode_t mode = 0644;
  struct stat st;
  if (stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    mode = st.st_mode & 07777;
  }
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  size_t done = 0;
  bool ok = true;
  while (done < size) {
    const ssize_t n = write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && rename(temp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace vantor::platform
