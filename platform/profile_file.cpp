// ProfileFile: parsing, lookup and in-place editing of INI text.
#include "platform/profile_file.h"

#include <cstdint>

#include "platform/platform.h"

namespace vantor {
namespace {

constexpr size_t kMaxProfileBytes = size_t{16} << 20;  // far beyond any real settings file
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string WithoutLineBreaks(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c != '\n' && c != '\r') out += c;
  }
  return out;
}

}  // namespace

ProfileFile::ProfileFile(std::string_view text) {
  // Editors on Windows may start the file with a UTF-8 byte order mark; without this, the first
  // section header would not be recognised. It is written back as it was found.
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
    byte_order_mark_ = true;
  }
  size_t start = 0;
  bool first_line = true;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const bool terminated = end != std::string_view::npos;
    if (!terminated) end = text.size();
    std::string_view raw = text.substr(start, end - start);
    if (!raw.empty() && raw.back() == '\r') {
      raw.remove_suffix(1);
      if (first_line && terminated) newline_ = "\r\n";
    }
    first_line = false;
    start = end + 1;

    Line line;
    line.text = std::string(raw);
    const std::string_view trimmed = Trim(raw);
    if (!trimmed.empty() && trimmed.front() == '[' && trimmed.find(']') != std::string_view::npos) {
      line.kind = Line::kSection;
      line.name = std::string(Trim(trimmed.substr(1, trimmed.find(']') - 1)));
    } else if (!trimmed.empty() && trimmed.front() != ';') {
      const size_t equals = trimmed.find('=');
      if (equals != std::string_view::npos && equals > 0) {
        line.kind = Line::kKey;
        line.name = std::string(Trim(trimmed.substr(0, equals)));
      }
    }
    lines_.push_back(std::move(line));
  }
}

std::vector<std::pair<size_t, size_t>> ProfileFile::FindSections(std::string_view section) const {
  std::vector<std::pair<size_t, size_t>> found;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Line::kSection || !SameName(lines_[i].name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && lines_[end].kind != Line::kSection)
      ++end;
    found.emplace_back(i, end);
    i = end - 1;
  }
  return found;
}

std::optional<std::string> ProfileFile::Get(std::string_view section, std::string_view key) const {
  const auto sections = FindSections(section);
  if (sections.empty()) return std::nullopt;
  const auto [begin, end] = sections.front();
  for (size_t i = begin + 1; i < end; ++i) {
    const Line& line = lines_[i];
    if (line.kind != Line::kKey || !SameName(line.name, key)) continue;
    std::string_view value = Trim(std::string_view(line.text).substr(line.text.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return std::nullopt;
}

void ProfileFile::AppendSection(std::string_view section) {
  Line header;
  header.kind = Line::kSection;
  header.name = WithoutLineBreaks(Trim(section));
  header.text = "[" + header.name + "]";
  lines_.push_back(std::move(header));
}

void ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  Line line;
  line.kind = Line::kKey;
  line.name = WithoutLineBreaks(Trim(key));
  line.text = line.name + "=" + WithoutLineBreaks(value);

  const auto sections = FindSections(section);
  if (sections.empty()) {
    AppendSection(section);
    lines_.push_back(std::move(line));
    return;
  }
  const auto [begin, end] = sections.front();
  size_t last_content = begin;
  for (size_t i = begin + 1; i < end; ++i) {
    if (lines_[i].kind == Line::kKey && SameName(lines_[i].name, key)) {
      lines_[i] = std::move(line);
      return;
    }
    if (!Trim(lines_[i].text).empty()) last_content = i;
  }
  // After the section's last non-blank line, so blank separator lines stay below it.
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last_content + 1), std::move(line));
}

void ProfileFile::EmptySection(std::string_view section) {
  const auto sections = FindSections(section);
  if (sections.empty()) {
    AppendSection(section);
    return;
  }
  // Later duplicates go entirely; they could only shadow nothing and confuse readers.
  for (size_t s = sections.size(); s-- > 1;) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(sections[s].first),
                 lines_.begin() + static_cast<std::ptrdiff_t>(sections[s].second));
  }
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(sections[0].first + 1),
               lines_.begin() + static_cast<std::ptrdiff_t>(sections[0].second));
}

void ProfileFile::RemoveSection(std::string_view section) {
  const auto sections = FindSections(section);
  for (size_t s = sections.size(); s-- > 0;) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(sections[s].first),
                 lines_.begin() + static_cast<std::ptrdiff_t>(sections[s].second));
  }
}

std::string ProfileFile::Text() const {
  std::string text(byte_order_mark_ ? kByteOrderMark : std::string_view());
  for (const Line& line : lines_) {
    text += line.text;
    text += newline_;
  }
  return text;
}

bool ProfileFile::Load(const std::string& path, ProfileFile* profile) {
  *profile = ProfileFile();
  if (!platform::FileExists(path)) return !platform::FolderExists(path);
  std::vector<uint8_t> bytes;
  if (!platform::ReadWholeFile(path, &bytes, kMaxProfileBytes)) return false;
  *profile =
      ProfileFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return true;
}

bool ProfileFile::Save(const std::string& path) const {
  const std::string text = Text();
  return platform::WriteWholeFile(path, text.data(), text.size());
}

}  // namespace vantor
