// The platform interface on Windows: shell folders, the module's file and resources, whole files.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/platform.h"
#include "platform/win32/this_module.h"
#include "platform/win32/wide_text.h"

namespace vantor::platform {

// The module (plug-in DLL or program) this code was linked into, not the host's program.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

namespace {

std::mutex g_module_folder_mutex;
std::string g_module_folder_override;

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

std::string EnvironmentFolder(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD n = GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
  if (n == 0 || n >= std::size(buffer)) return {};
  return WideToUtf8(std::wstring(buffer, n));
}

// A shell folder, created when it is missing; the environment's idea of it when the shell
// cannot answer (a service account without a profile, say).
std::string ShellFolder(int csidl, const wchar_t* fallback_variable) {
  wchar_t buffer[MAX_PATH];
  if (SUCCEEDED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                 buffer))) {
    std::wstring path = buffer;
    while (path.size() > 3 && IsSeparator(path.back()))
      path.pop_back();
    return WideToUtf8(path);
  }
  std::string folder = EnvironmentFolder(fallback_variable);
  return folder.empty() ? EnvironmentFolder(L"USERPROFILE") : folder;
}

DWORD Attributes(const std::string& path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(Utf8ToWide(path).c_str());
}

// Length of the part of `path` that names a drive or share and is never created: "C:\",
// "\\server\share\", "\\?\C:\".
size_t RootLength(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') {
    return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    size_t pos = 2;
    if (path.size() >= 4 && (path[2] == L'?' || path[2] == L'.') && IsSeparator(path[3])) {
      return 4 + RootLength(path.substr(4));
    }
    for (int part = 0; part < 2 && pos < path.size(); ++part) {
      while (pos < path.size() && !IsSeparator(path[pos]))
        ++pos;
      if (pos < path.size()) ++pos;
    }
    return pos;
  }
  return path.size() >= 1 && IsSeparator(path[0]) ? 1 : 0;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool Close() {
    if (!Valid()) return true;
    const bool ok = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::string UserConfigFolder() {
  return ShellFolder(CSIDL_LOCAL_APPDATA, L"LOCALAPPDATA");
}

std::string UserStateFolder() {
  return ShellFolder(CSIDL_LOCAL_APPDATA, L"LOCALAPPDATA");
}

std::string DocumentsFolder() {
  return ShellFolder(CSIDL_PERSONAL, L"USERPROFILE");
}

std::string DesktopFolder() {
  return ShellFolder(CSIDL_DESKTOPDIRECTORY, L"USERPROFILE");
}

std::string ModuleFolder() {
  {
    std::lock_guard lock(g_module_folder_mutex);
    if (!g_module_folder_override.empty()) return g_module_folder_override;
  }
  // The path may be longer than MAX_PATH; the call says so by filling the whole buffer.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1]))
    --cut;
  if (cut == 0 || cut == path.size()) return {};
  return WideToUtf8(path.substr(0, cut));
}

void OverrideModuleFolder(const std::string& folder) {
  std::lock_guard lock(g_module_folder_mutex);
  g_module_folder_override = folder;
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') {
    g_module_folder_override += '\\';
  }
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '\\' || folder.back() == '/') return folder + name;
  return folder + "\\" + name;
}

bool FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  if (FolderExists(path)) return true;
  const std::wstring wide = Utf8ToWide(path);
  for (size_t pos = RootLength(wide); pos <= wide.size(); ++pos) {
    if (pos < wide.size() && !IsSeparator(wide[pos])) continue;
    if (pos == 0 || IsSeparator(wide[pos - 1])) continue;  // doubled separators
    const std::wstring part = wide.substr(0, pos);
    if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  return FolderExists(path);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, size_t max_size) {
  bytes->clear();
  if (path.empty()) return false;
  Handle file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid() || GetFileType(file.get()) != FILE_TYPE_DISK) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      static_cast<uint64_t>(size.QuadPart) > max_size) {
    return false;
  }
  bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes->size()) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes->data() + done, want, &got, nullptr)) {
      bytes->clear();
      return false;
    }
    if (got == 0) {
      bytes->resize(done);  // the file shrank while we read it
      break;
    }
    done += got;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
  if (path.empty() || path.back() == '\\' || path.back() == '/') return false;
  if (FolderExists(path)) return false;
  // The temporary name is unique per call so that instances writing at once do not collide.
  static std::atomic<uint32_t> counter{0};
  char suffix[48];
  snprintf(suffix, sizeof suffix, ".tmp%08lx%08lx%08x", GetCurrentProcessId(), GetTickCount(),
           counter.fetch_add(1));
  const std::wstring target = Utf8ToWide(path);
  const std::wstring temp = Utf8ToWide(path + suffix);

  Handle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  size_t done = 0;
  bool ok = true;
  while (ok && done < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    DWORD written = 0;
    ok = WriteFile(file.get(), p + done, chunk, &written, nullptr) && written > 0;
    done += written;
  }
  if (ok && !FlushFileBuffers(file.get())) ok = false;
  if (!file.Close()) ok = false;
  if (ok && !MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
  }
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

std::span<const uint8_t> ModuleResource(const char* type, const char* name) {
  HMODULE module = ThisModule();
  HRSRC found = FindResourceA(module, name, type);
  if (!found) return {};
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return {};
  // Resources stay mapped while the module is loaded, so the view needs no owner.
  return {static_cast<const uint8_t*>(bytes), size};
}

namespace {
std::atomic<int> g_wine_override{-1};
}  // namespace

bool RunningUnderWine() {
  const int forced = g_wine_override.load();
  if (forced >= 0) return forced != 0;
  static const bool under_wine = [] {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine", 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }();
  return under_wine;
}

void OverrideRunningUnderWine(int under_wine) {
  g_wine_override.store(under_wine < 0 ? -1 : under_wine != 0);
}

std::span<const uint8_t> ModuleResource(const char* type, int id) {
  return ModuleResource(type, MAKEINTRESOURCEA(id));
}

}  // namespace vantor::platform
