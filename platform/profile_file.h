// ProfileFile: an INI text in memory, read and edited the way the Windows profile functions do.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

// Section and key names match without regard to case. Editing keeps every other line (other
// sections, other keys, comments, lines it cannot parse) where it was. The first of several
// equal keys in a section is the one read and written.
class ProfileFile {
 public:
  ProfileFile() = default;
  // Any bytes are accepted; lines end in "\n" or "\r\n"; a leading UTF-8 byte order mark is kept
  // aside.
  explicit ProfileFile(std::string_view text);

  // The value of `key` in `section`, without surrounding blanks and quotes; nullopt when the
  // section or key is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Sets the key, appending it to the section (and the section to the text) when missing.
  // Line breaks in the value are dropped so that a value can never add lines.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  // Removes every key and comment of the section but keeps its header (adding it when missing).
  void EmptySection(std::string_view section);
  // Removes the section, header and all.
  void RemoveSection(std::string_view section);

  // The text with the line ending style it was read with ("\n" for a new one).
  std::string Text() const;

  // Reads the file at `path`; a missing file is an empty profile. False when the file exists
  // but cannot be read.
  static bool Load(const std::string& path, ProfileFile* profile);
  // Writes the whole text atomically (temporary file beside it, then renamed).
  bool Save(const std::string& path) const;

 private:
  struct Line {
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string text;  // the line as read, without its line ending
    std::string name;  // section or key name, trimmed
  };

  // [begin, end) of the lines of every section named `section` (header at begin).
  std::vector<std::pair<size_t, size_t>> FindSections(std::string_view section) const;
  void AppendSection(std::string_view section);

  std::vector<Line> lines_;
  std::string newline_ = "\n";
  bool byte_order_mark_ = false;
};

}  // namespace vantor
