#include "formats/mfi/mfi_output.h"

#include <algorithm>

#include "formats/mfi/mail_text.h"
#include "formats/mfi/mfi_track_merge.h"

namespace mel {

namespace {

// The shape of MFi mail text: a marker line of 7 bytes, then lines of 72
// characters plus CR LF, and 4 characters for every 3 bytes of the file.
constexpr int kMailMarkerLineBytes = 7;
constexpr int kMailLineBytes = 74;
constexpr int kMailLineBreakBytes = 2;
constexpr int kMailCharsPerGroup = 4;
constexpr int kMailBytesPerGroup = 3;

}  // namespace

std::optional<int> mfi_size_limit(const WriterSettings& writers) {
  if (writers.mldbyte <= 0) return std::nullopt;
  if (writers.mailBase64 == 0) return writers.mldbyte;
  int text = writers.mldbyte - kMailMarkerLineBytes;
  int chars = text - kMailLineBreakBytes * (text / kMailLineBytes);
  return std::max(0, kMailBytesPerGroup * (chars / kMailCharsPerGroup));
}

std::vector<uint8_t> write_mfi_output(const Score& score, const SongInfo& song, const Settings& settings,
                                      const MfiWriterSettings& mfi) {
  MfiTracks tracks = write_mfi_tracks(score, song, settings, mfi);
  std::vector<uint8_t> file = std::move(tracks.bytes);
  if (mfi.track_merge()) file = merge_mfi_tracks(ByteView(file), tracks.chunkChannels, mfi.cmx);

  if (mfi.cmx) {
    if (settings.writers.ezpmdbyte > 0) file = limit_mfi_size(ByteView(file), settings.writers.ezpmdbyte);
    return file;
  }
  WriterSettings writers = settings.writers;
  writers.mailBase64 = mfi.mailBase64 ? 1 : 0;
  std::optional<int> limit = mfi_size_limit(writers);
  if (!mfi.mailBase64) return limit ? limit_mfi_size(ByteView(file), *limit) : file;

  // The formula for the byte limit leaves some text lengths a byte or two over
  // the limit; the limit is lowered until the text fits.
  constexpr int kLimitStep = 3;
  auto limited = [&file](std::optional<int> l) { return l ? limit_mfi_size(ByteView(file), *l) : file; };
  std::vector<uint8_t> text = encode_mail_text(ByteView(limited(limit)));
  while (limit && *limit > 0 && text.size() > static_cast<std::size_t>(writers.mldbyte)) {
    limit = std::max(0, *limit - kLimitStep);
    text = encode_mail_text(ByteView(limited(limit)));
  }
  return text;
}

std::vector<uint8_t> write_mfi_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return write_mfi_output(score, song, settings, mfi_dialog_values(song, settings, false));
}

std::vector<uint8_t> write_cmx_file(const Score& score, const SongInfo& song, const Settings& settings) {
  return write_mfi_output(score, song, settings, mfi_dialog_values(song, settings, true));
}

}  // namespace mel
