// Files written under a temporary name and moved into place only once complete.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vsthost {

// A failed or interrupted write never leaves a half-written file at the destination, and an
// existing file there stays as it was until the new one is whole.
class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile();  // removes the temporary file unless committed
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Creates the temporary file beside `path` (same folder, so the final rename is atomic).
  bool Begin(const std::string& path, std::string& error);
  const std::string& temp_path() const { return temp_path_; }
  bool Commit(std::string& error);

 private:
  std::string path_, temp_path_;
  bool committed_ = false;
};

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                         std::string& error);

}  // namespace vsthost
