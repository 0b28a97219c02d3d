// One picture of many: the renders' pictures shrunk onto a grid, each under its label.
#pragma once

#include <string>
#include <vector>

namespace vantor::audition {

struct SheetEntry {
  std::string picture;  // PNG file
  std::string label;
};

// Writes the sheet as PNG; false with `error` set when no picture could be read or the sheet
// cannot be written.
bool WriteContactSheet(const std::vector<SheetEntry>& entries, int columns, const std::string& path,
                       std::string* error);

}  // namespace vantor::audition
