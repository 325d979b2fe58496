// Shift-JIS (code page 932) byte classes. Titles, names and every text the
// program stores are CP932 bytes; a double-byte character is a lead byte
// followed by a trail byte, and a trail byte may look like an ASCII letter,
// a backslash or a digit, so text scans step over whole characters.
#pragma once

#include <cstdint>

namespace mel {

constexpr bool is_cp932_lead_byte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool is_cp932_lead_byte(char c) { return is_cp932_lead_byte(static_cast<uint8_t>(c)); }

// The byte 0x7F is the one gap in the trail range.
constexpr bool is_cp932_trail_byte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
constexpr bool is_cp932_trail_byte(char c) { return is_cp932_trail_byte(static_cast<uint8_t>(c)); }

}  // namespace mel

// The wider lead-byte range by which the handset melody formats count title
// characters (0x80-0x9F and 0xE0-0xFF): a writer and reader of such a title
// must agree on it byte for byte, so it is kept apart from the strict test.
constexpr bool is_handset_title_lead_byte(uint8_t b) { return (b >= 0x80 && b <= 0x9F) || b >= 0xE0; }
constexpr bool is_handset_title_lead_byte(char c) { return is_handset_title_lead_byte(static_cast<uint8_t>(c)); }
