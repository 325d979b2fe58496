// Text in other encodings turned into CP932 bytes, the encoding of every text
// the program stores. Portable: the conversion uses the program's own table
// of the characters CP932 has, not the system's converters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mel {

// Encodings a text can arrive in.
enum class TextEncoding { ShiftJis, Latin1, Utf8, Utf16BigEndian, Utf16LittleEndian };

// The CP932 code of a Unicode character: one byte (below 0x100) or a lead and
// trail byte pair (lead in the high byte); -1 when CP932 has no such character.
int cp932_code_of(char32_t c);

// Converts text to CP932. Characters CP932 lacks, and malformed sequences,
// become the full-width question mark. Shift-JIS text passes through as it
// is. A UTF-16 text may begin with a byte-order mark, which then decides the
// byte order.
std::string to_cp932(const uint8_t* text, std::size_t length, TextEncoding encoding);

}  // namespace mel
