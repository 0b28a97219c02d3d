// vsthost's operating-system needs on Windows: LoadLibrary, wide-character files, clocks.
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "tools/vsthost/os.h"

namespace vsthost::os {
namespace {

// Command-line arguments arrive in the ANSI code page, but paths of our own making are UTF-8;
// valid UTF-8 is taken as such, anything else as ANSI.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  UINT code_page = CP_UTF8;
  int n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(),
                              static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) {
    code_page = CP_ACP;
    n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  }
  std::wstring wide(static_cast<size_t>(std::max(n, 0)), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string LastError() {
  const DWORD code = GetLastError();
  char text[512] = {};
  if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                      text, sizeof text, nullptr)) {
    snprintf(text, sizeof text, "error %lu", code);
  }
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return value.QuadPart * 1e-7;  // 100-nanosecond units
}

}  // namespace

void* OpenLibrary(const std::string& path, std::string& error) {
  // A bare name would be searched for along the DLL path; a plug-in file is meant literally.
  std::string literal = path;
  if (literal.find_first_of("\\/:") == std::string::npos) literal = ".\\" + literal;
  // Dependencies of the plug-in are looked for beside it, as hosts do.
  HMODULE module = LoadLibraryExW(Wide(literal).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) error = "cannot load " + path + ": " + LastError();
  return module;
}

void* LibrarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

// Like the POSIX side, a plug-in stays loaded until the process ends: its threads and
// thread-local data may outlive its last instance.
void CloseLibrary(void*) {}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

FILE* OpenFile(const std::string& path, const char* mode) {
  FILE* file = _wfopen(Wide(path).c_str(), Wide(mode).c_str());
  return file ? file : fopen(path.c_str(), mode);
}

bool CreateFileBeside(const std::string& path, std::string& temp_path, std::string& error) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[64];
    snprintf(suffix, sizeof suffix, ".partial-%lx-%x", GetCurrentProcessId(), counter++);
    const std::string name = path + suffix;
    HANDLE file = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      temp_path = name;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  error = "cannot write " + path + ": " + LastError();
  return false;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string& error) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = "cannot write " + to + ": " + LastError();
    return false;
  }
  return true;
}

void RemoveFile(const std::string& path) {
  DeleteFileW(Wide(path).c_str());
}

bool ErrorOutputIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
  return Seconds(kernel) + Seconds(user);
}

double WallSeconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

ChildResult RunApart(const std::function<std::string()>& body, int /*timeout_seconds*/) {
  fflush(stdout);
  fflush(stderr);
  std::string answer = body();
  if (answer.empty()) return {ChildResult::Ending::kNoAnswer, "", "the check gave no verdict"};
  return {ChildResult::Ending::kFinished, std::move(answer), ""};
}

// The editor command needs a window of its own and synthetic input; not written for Windows yet.
std::unique_ptr<HostWindow> OpenHostWindow(int, int, const std::string&, std::string& error) {
  error = "the editor window is not available in the Windows build of vsthost";
  return nullptr;
}

}  // namespace vsthost::os
