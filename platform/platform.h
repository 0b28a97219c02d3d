// What the operating system provides to the plug-in: folders, its own location and whole files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantor::platform {

// Paths are UTF-8 on every system.

// Per-user folder for settings (the local application data folder on Windows, the XDG
// configuration folder elsewhere). Without trailing separator.
std::string UserConfigFolder();
// Per-user folder for what a program remembers between runs (the local application data folder
// on Windows, the XDG state folder elsewhere: $XDG_STATE_HOME or ~/.local/state). Without
// trailing separator.
std::string UserStateFolder();
// The user's documents and desktop folders. Without trailing separator.
std::string DocumentsFolder();
std::string DesktopFolder();
// Folder of the library or program that holds this code, with a trailing separator; empty
// when it cannot be found.
std::string ModuleFolder();
// Lets tests stand in for the module's folder (empty: ask the system again).
void OverrideModuleFolder(const std::string& folder);

// `folder` + separator ("\\" on Windows, "/" elsewhere) + `name`; `name` alone when folder is
// empty.
std::string JoinPath(const std::string& folder, const std::string& name);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// Creates the folder and any missing parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);

// Reads a whole regular file of at most `max_size` bytes. False when it cannot be opened, is
// not a regular file or is larger.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes,
                   size_t max_size = size_t{64} << 20);
// Writes the bytes to a temporary file beside `path` and renames it into place, so the path
// holds either its old contents or all of the new ones. False on any failure.
bool WriteWholeFile(const std::string& path, const void* data, size_t size);

// A plain HTTP GET of http://host:port/path, sent directly (no proxy) with the given user
// agent and "Accept: */*". Appends to `reply` the body as far as it arrived, at most
// `max_size` bytes; the whole exchange is bounded by `timeout_ms`. False when no connection
// could be made, the request failed before any byte of the reply arrived, or the server
// answered with a status other than success (2xx after any redirections); the body of such an
// answer is not appended.
bool HttpGet(const std::string& host, int port, const std::string& path,
             const std::string& user_agent, int timeout_ms, size_t max_size, std::string* reply);

#ifdef _WIN32
// The bytes of a resource compiled into the module that holds this code (Windows modules carry
// resources; elsewhere such bytes are compiled in as arrays). Empty when there is none.
std::span<const uint8_t> ModuleResource(const char* type, const char* name);
std::span<const uint8_t> ModuleResource(const char* type, int id);

// True when this Windows program runs under Wine (its registry has HKLM\Software\Wine); asked
// of the system once per process.
bool RunningUnderWine();
// Lets tests take either side (-1: ask the system again).
void OverrideRunningUnderWine(int under_wine);
#endif

}  // namespace vantor::platform
