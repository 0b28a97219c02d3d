// UTF-8 decoding for text drawing, forgiving of bytes that are not UTF-8.
#pragma once

#include <string>

namespace vantor {

// Decodes one character at p (p < end) and advances p. Two- and three-byte sequences are
// decoded; a four-byte sequence yields a blank; any byte that does not start a complete
// sequence stands for itself (as in Latin-1), so text in a legacy encoding still shows.
char32_t NextTextCharacter(const unsigned char*& p, const unsigned char* end);

// The whole text; length -1 means NUL-terminated.
std::u32string DecodeText(const char* text, int length);

}  // namespace vantor
