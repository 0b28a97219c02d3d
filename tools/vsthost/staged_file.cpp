// Temporary-name writing: mkstemp beside the destination, rename on success.
#include "tools/vsthost/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vsthost {

StagedFile::~StagedFile() {
  if (!temp_path_.empty() && !committed_) unlink(temp_path_.c_str());
}

bool StagedFile::Begin(const std::string& path, std::string& error) {
  path_ = path;
  std::vector<char> name(path.begin(), path.end());
  const char kSuffix[] = ".partial-XXXXXX";
  name.insert(name.end(), kSuffix, kSuffix + sizeof kSuffix);  // with the terminator
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    error = "cannot write " + path + ": " + strerror(errno);
    return false;
  }
  // mkstemp makes the file private; the finished file should get the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  temp_path_ = name.data();
  return true;
}

bool StagedFile::Commit(std::string& error) {
  if (rename(temp_path_.c_str(), path_.c_str()) != 0) {
    error = "cannot write " + path_ + ": " + strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string& error) {
  StagedFile staged;
  if (!staged.Begin(path, error)) return false;
  FILE* f = fopen(staged.temp_path().c_str(), "wb");
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
