// The editor's built-in bitmaps: the PNG files of resources/img, compiled into the plug-in.
#pragma once

#include <cstdint>
#include <span>

namespace vantor {

// The PNG bytes of the image with a resource identifier (101 .. 115 at 100%, 201 .. 215 at 150%,
// 301 .. 315 at 200%); empty for any other.
std::span<const uint8_t> EditorImageBytes(int id);

}  // namespace vantor
