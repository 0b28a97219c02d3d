// What vsthost needs of the operating system: plug-in libraries, files, clocks, child processes.
// One implementation per system: os_posix.cpp and os_win32.cpp.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace vsthost::os {

// Loads a plug-in library. `path` is meant literally, never searched for. Null with a reason in
// `error` on failure. Libraries stay loaded until the process ends (see os_posix.cpp).
void* OpenLibrary(const std::string& path, std::string& error);
void* LibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);
// The folder a plug-in path lies in ("." for a bare name), as plug-ins see their own folder.
std::string FolderOf(const std::string& path);

// fopen for a UTF-8 path.
FILE* OpenFile(const std::string& path, const char* mode);
// Creates an empty file with a unique name beside `path`; its name goes to `temp_path`.
bool CreateFileBeside(const std::string& path, std::string& temp_path, std::string& error);
// Moves `from` to `to`, replacing a file there.
bool MoveIntoPlace(const std::string& from, const std::string& to, std::string& error);
void RemoveFile(const std::string& path);

bool ErrorOutputIsTerminal();
double ThreadCpuSeconds();
double WallSeconds();

// How a body run apart from this process ended.
struct ChildResult {
  enum class Ending { kFinished, kCrashed, kTimedOut, kNoAnswer, kNotStarted } ending;
  std::string answer;  // what the body returned, when it finished
  std::string reason;  // for the other endings
};
// Runs `body` in a child process, so that a crash or a hang of a plug-in is reported instead
// of ending this one. Where the system cannot copy a running process (Windows), the body runs
// in this process and a crash ends vsthost itself.
ChildResult RunApart(const std::function<std::string()>& body, int timeout_seconds);

}  // namespace vsthost::os
