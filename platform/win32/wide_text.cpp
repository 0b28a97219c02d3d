// UTF-8 and UTF-16 conversions through the Windows code-page functions.
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace vantor::platform {

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(std::min<size_t>(text.size(), INT32_MAX));
  UINT code_page = CP_UTF8;
  int n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (n <= 0) {
    code_page = CP_ACP;
    n = MultiByteToWideChar(code_page, 0, text.data(), length, nullptr, 0);
    if (n <= 0) return {};
  }
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, text.data(),
                      length, wide.data(), n);
  return wide;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(std::min<size_t>(text.size(), INT32_MAX));
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), n, nullptr, nullptr);
  return narrow;
}

}  // namespace vantor::platform
