// Melody files pasted into e-mail: Base64 text under a "--B:M" marker line.
// The MFi writer saves its file in this form when mail text is switched on, and
// MFi mail text (".mld", ".txt") and X-PmailDX mail text (".dat") are decoded
// back to bytes before their readers run.
#pragma once

#include <cstdint>
#include <vector>

#include "common/byte_reader.h"

namespace mel {

// Where the decoder starts taking Base64 characters.
enum class MailTextMode : int {
  AfterMarker = 0,  // MFi mail text: only what follows a "--B:M" marker
  FromStart = 1,    // ".dat" text: from the first byte, no marker needed
};

// The marker line that opens every mail text.
constexpr char kMailMarker[] = "--B:M";
constexpr std::size_t kMailMarkerLength = sizeof kMailMarker - 1;
// Base64 characters per line of mail text.
constexpr std::size_t kMailLineLength = 72;

// Encodes bytes as mail text: the marker line, then Base64 in lines of 72
// characters each ended by CR LF; the last, shorter line has no CR LF.
std::vector<uint8_t> encode_mail_text(ByteView bytes);

// Decodes mail text back to bytes. Anything that is not a Base64 character
// (line breaks, blanks, "=" fill, other text) is skipped; every "--B:M" marker
// is skipped and switches decoding on.
std::vector<uint8_t> decode_mail_text(ByteView text, MailTextMode mode);

// True when the dispatcher must decode the held input as mail text before the
// reader of inputType runs: MFi input not beginning with "m" (the binary file
// begins "melo"), and X-PmailDX input beginning with "A" or "B".
bool needs_mail_decoding(int inputType, ByteView held);

// The decoding mode for an input type that needs_mail_decoding() accepts.
MailTextMode mail_text_mode_for(int inputType);

}  // namespace mel
