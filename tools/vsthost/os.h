// What vsthost needs of the operating system: plug-in libraries, files, clocks, child processes.
// One implementation per system: os_posix.cpp and os_win32.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
// Sets a variable of this process's environment, which a plug-in loaded after it reads too.
void SetEnvironment(const char* name, const char* value);

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

// A top-level window that holds a plug-in's editor, and input delivered to what it shows as the
// system would deliver it. Coordinates are the window's own; buttons 1 left, 2 middle, 3 right,
// 4 and 5 the wheel up and down.
class HostWindow {
 public:
  virtual ~HostWindow() = default;
  // What the plug-in gets as its parent window (effEditOpen).
  virtual void* Handle() const = 0;
  // Handles the window's own pending events; `milliseconds` of waiting for more at most.
  virtual void Pump(int milliseconds) = 0;
  // Returns once the input sent so far has reached the plug-in's windows (X11: the server has
  // queued it for the plug-in's connection; Windows: it waits in this thread's queue anyway).
  virtual void Deliver() {}
  // Asks the plug-in's windows to draw all of themselves: at once on Windows (the paint is done
  // when this returns); on X11 as exposures that the plug-in handles in its next idle call.
  virtual void Repaint() = 0;
  virtual bool Press(int x, int y, int button) = 0;
  virtual bool Release(int x, int y, int button) = 0;
  // Pointer motion with buttons held (bit 0 left, bit 2 right).
  virtual bool Move(int x, int y, int buttons_held) = 0;
  // A press and release of the key of that name ("space", "Up", "a", "Return").
  virtual bool Key(const std::string& name, std::string& error) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // Makes the inside of the window width x height; false when it cannot.
  virtual bool Resize(int width, int height) = 0;
  // True once the user has asked to close the window (its close button); the window stays until
  // the owner destroys it, after closing the editor inside.
  virtual bool CloseRequested() const = 0;
  // The window's pixels, 3 bytes (red, green, blue) each, rows top down.
  virtual bool Capture(std::vector<uint8_t>& rgb, int& width, int& height, std::string& error) = 0;
};
// Null with a reason in `error` where windows cannot be opened (no display, or not built here).
std::unique_ptr<HostWindow> OpenHostWindow(int width, int height, const std::string& title,
                                           std::string& error);

}  // namespace vsthost::os
