// Temporary-name writing: a unique file beside the destination, moved into place on success.
#include "tools/vsthost/staged_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/vsthost/os.h"

namespace vsthost {

StagedFile::~StagedFile() {
  if (!temp_path_.empty() && !committed_) os::RemoveFile(temp_path_);
}

bool StagedFile::Begin(const std::string& path, std::string& error) {
  path_ = path;
  return os::CreateFileBeside(path, temp_path_, error);
}

bool StagedFile::Commit(std::string& error) {
  if (!os::MoveIntoPlace(temp_path_, path_, error)) return false;
  committed_ = true;
  return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string& error) {
  StagedFile staged;
  if (!staged.Begin(path, error)) return false;
  FILE* f = os::OpenFile(staged.temp_path(), "wb");
  if (!f) {
    error = "cannot write " + path + ": " + strerror(errno);
    return false;
  }
  const bool written = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = fclose(f) == 0;
  if (!written || !closed) {
    error = "cannot write " + path + " (disk full?)";
    return false;
  }
  return staged.Commit(error);
}

}  // namespace vsthost
