// Conversions between the UTF-8 text the system keeps and the UTF-16 text Windows calls take.
#pragma once

#include <string>

namespace vantor::platform {

// Text that is not valid UTF-8 is taken as the ANSI code page, as older files may hold it.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace vantor::platform
