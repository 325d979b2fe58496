#include "formats/mfi/mfi_track_merge.h"

#include <algorithm>
#include <array>

#include "common/byte_writer.h"
#include "formats/mfi/mfi_format.h"

namespace mel {

namespace {

using namespace mfi;

constexpr std::size_t kMergeSlack = 100;
constexpr int kGroupCount = 4;
constexpr int kMaxInputs = 32;
constexpr int kMaxDelta = 255;
// MFi filler: a silent note event (status 0x20, gate 0).
constexpr uint8_t kFillerNoteStatus = 0x20;
// Control events remembered per instant for overwriting.
constexpr std::size_t kMaxInstantControls = 32;
constexpr std::size_t kEndEventSize = 3;  // after its delta
constexpr std::size_t kSizeLimitMinimumBuffer = 500;

uint32_t be16(ByteView v, std::size_t at) { return ByteReader(v, at).u16be(); }
uint32_t be32(ByteView v, std::size_t at) { return ByteReader(v, at).u32be(); }

void put_tag(ByteSink& out, const char* tag) { out.put_bytes(reinterpret_cast<const uint8_t*>(tag), kTagSize); }

// Copies the header sub-chunks that follow the 13-byte file header up to the
// first track chunk; returns that chunk's offset and notes the note size.
std::size_t copy_sub_chunks(ByteView in, ByteSink& out, bool& fourByteNotes) {
  std::size_t pos = kFileHeaderSize;
  while (pos + kSubChunkHeaderSize <= in.size && !in.matches(pos, kTagTrack, kTagSize)) {
    std::size_t length = be16(in, pos + kTagSize);
    std::size_t end = std::min(in.size, pos + kSubChunkHeaderSize + length);
    if (in.matches(pos, kTagNoteSize, kTagSize)) fourByteNotes = (in.at(pos + kSubChunkHeaderSize + 1) & kFourByteNotesFlag) != 0;
    out.put_bytes(in.data + pos, end - pos);
    pos = end;
  }
  return pos;
}

void write_file_header(ByteSink& out, bool cmx) {
  put_tag(out, cmx ? kMagicCmx : kMagicMfi);
  out.put_be(0, kFileLengthSize);
  out.put_be(0, kHeaderLengthSize);
  out.put(kContentType);
  out.put(kContentSubtype);
  out.put(1);
}

// Size of the event at pos (delta included).
std::size_t event_size(ByteView in, std::size_t pos, bool fourByteNotes) {
  if (in.at(pos + 1) == kExtendedEventLead) return kExtendedEventSize;
  return fourByteNotes ? 4 : 3;
}

struct MergeInput {
  std::size_t pos = 0;
  std::size_t end = 0;
  int64_t time = 0;
  int channel = 0;
  bool finished = false;
};

class TrackMerge {
 public:
  TrackMerge(ByteView in, const std::vector<int>& channels, bool cmx)
      : in_(in), channels_(channels), cmx_(cmx), out_(in.size + kMergeSlack) {}

  std::vector<uint8_t> run() {
    write_file_header(out_, cmx_);
    std::size_t pos = copy_sub_chunks(in_, out_, fourByteNotes_);
    out_.patch_be(kHeaderChunksLengthOffset, static_cast<uint32_t>(out_.pos() - kHeaderLengthBase), kHeaderLengthSize);
    collect_inputs(pos);
    int chunks = 0;
    for (int g = 0; g < kGroupCount; ++g) {
      if (g > 0 && std::none_of(inputs_.begin(), inputs_.end(), [](const MergeInput& i) { return !i.finished; })) break;
      write_group(g);
      ++chunks;
    }
    out_.patch_be(kFileLengthOffset, static_cast<uint32_t>(out_.pos() - kFileLengthBase), kFileLengthSize);
    out_.patch_be(kTrackCountOffset, static_cast<uint32_t>(chunks), 1);
    return out_.take();
  }

 private:
  void collect_inputs(std::size_t pos) {
    while (pos + kTrackHeaderSize <= in_.size && static_cast<int>(inputs_.size()) < kMaxInputs) {
      if (!in_.matches(pos, kTagTrack, kTagSize)) break;
      MergeInput input;
      input.pos = pos + kTrackHeaderSize;
      input.end = static_cast<std::size_t>(std::min<uint64_t>(in_.size, uint64_t{input.pos} + be32(in_, pos + kTagSize)));
      std::size_t index = inputs_.size();
      input.channel = index < channels_.size() ? channels_[index] : 0;
      inputs_.push_back(input);
      pos = input.end;
    }
  }

  bool at_end(const MergeInput& i) const {
    return i.pos + event_size(in_, i.pos, fourByteNotes_) > i.end;
  }

  // The unfinished input of the group whose next event comes first.
  int next_input(int g) const {
    int best = -1;
    for (int i = 0; i < static_cast<int>(inputs_.size()); ++i) {
      const MergeInput& c = inputs_[i];
      if (c.finished || c.channel / kSlotCount != g) continue;
      if (best < 0) {
        best = i;
        continue;
      }
      const MergeInput& b = inputs_[best];
      bool extended = in_.at(c.pos + 1) == kExtendedEventLead;
      bool bestExtended = in_.at(b.pos + 1) == kExtendedEventLead;
      if (c.time < b.time || (c.time == b.time && extended && !bestExtended)) best = i;
    }
    return best;
  }

  void put_filler() {
    out_.put(kMaxDelta);
    if (cmx_) {
      out_.put(kExtendedEventLead);
      out_.put(kExtFiller);
      out_.put(0);
    } else {
      out_.put(kFillerNoteStatus);
      out_.put(0);
      if (fourByteNotes_) out_.put(0);
    }
    instant_.clear();
  }

  void put_fillers() {
    while (pendingDelta_ > kMaxDelta) {
      put_filler();
      pendingDelta_ -= kMaxDelta;
      outTime_ += kMaxDelta;
    }
  }

  bool finishes(const MergeInput& i) const {
    if (at_end(i)) return true;
    if (in_.at(i.pos + 1) != kExtendedEventLead) return false;
    uint8_t status = in_.at(i.pos + 2);
    return status == kExtEndOfTrack || (status == kExtMarker && in_.at(i.pos + 3) == kMarkerEnd);
  }

  bool skipped(std::size_t pos, int input) const {
    if (in_.at(pos + 1) != kExtendedEventLead) return in_.at(pos + 2) == 0;  // a rest
    uint8_t status = in_.at(pos + 2);
    if (status == kExtMarker) return true;
    return status >= kExtTempoFirst && status <= kExtTempoLast && input != 0;
  }

  // A control event for a slot already set at this instant replaces that one.
  bool overwrite_control(std::size_t pos) {
    if (in_.at(pos + 1) != kExtendedEventLead || pendingDelta_ != 0) return false;
    uint8_t status = in_.at(pos + 2);
    if (status < kExtControlFirst || status > kExtControlLast) return false;
    uint8_t data = in_.at(pos + 3);
    for (std::size_t at : instant_) {
      if (out_.at(at + 2) == status && (out_.at(at + 3) & kSlotMask) == (data & kSlotMask)) {
        out_.patch_be(at + 3, data, 1);
        return true;
      }
    }
    if (instant_.size() < kMaxInstantControls) instant_.push_back(out_.pos());
    return false;
  }

  void copy_event(std::size_t pos, std::size_t size) {
    put_fillers();
    if (pendingDelta_ > 0) instant_.clear();
    if (overwrite_control(pos)) return;
    out_.put(static_cast<uint8_t>(pendingDelta_));
    out_.put_bytes(in_.data + pos + 1, size - 1);
    outTime_ += pendingDelta_;
    pendingDelta_ = 0;
  }

  void write_group(int g) {
    std::size_t chunkStart = out_.pos();
    put_tag(out_, kTagTrack);
    out_.put_be(0, kTrackLengthSize);
    outTime_ = 0;
    pendingDelta_ = 0;
    instant_.clear();
    for (;;) {
      int i = next_input(g);
      if (i < 0) break;
      MergeInput& input = inputs_[i];
      pendingDelta_ = input.time - outTime_;
      if (finishes(input)) {
        input.finished = true;
        continue;
      }
      std::size_t size = event_size(in_, input.pos, fourByteNotes_);
      if (!skipped(input.pos, i)) copy_event(input.pos, size);
      input.pos += size;
      if (!at_end(input)) input.time += in_.at(input.pos);
    }
    put_fillers();
    out_.put(static_cast<uint8_t>(std::max<int64_t>(0, pendingDelta_)));
    out_.put(kExtendedEventLead);
    out_.put(kExtEndOfTrack);
    out_.put(0);
    out_.patch_be(chunkStart + kTagSize, static_cast<uint32_t>(out_.pos() - chunkStart - kTrackHeaderSize),
                  kTrackLengthSize);
  }

  ByteView in_;
  const std::vector<int>& channels_;
  bool cmx_;
  ByteSink out_;
  bool fourByteNotes_ = false;
  std::vector<MergeInput> inputs_;
  int64_t outTime_ = 0;
  int64_t pendingDelta_ = 0;
  std::vector<std::size_t> instant_;
};

// ---- Size limit -------------------------------------------------------------------

struct LimitTrack {
  std::size_t headerAt = 0;
  std::size_t eventsAt = 0;  // the first delta
  std::size_t end = 0;
  std::size_t next = 0;      // the next event (after its delta)
  int64_t time = 0;          // the next event's time
  std::size_t counted = 0;   // events the budget took
  bool finished = false;
};

// Size of the event at pos (its delta excluded).
std::size_t limit_event_size(ByteView in, std::size_t pos, bool fourByteNotes) {
  if (in.at(pos) == kExtendedEventLead) {
    uint8_t status = in.at(pos + 1);
    if (status >= kExtLongFirst) return 4 + be16(in, pos + 2);
    return kEndEventSize;
  }
  return fourByteNotes ? 3 : 2;
}

}  // namespace

std::vector<uint8_t> merge_mfi_tracks(ByteView file, const std::vector<int>& chunkChannels, bool cmx) {
  return TrackMerge(file, chunkChannels, cmx).run();
}

std::vector<uint8_t> limit_mfi_size(ByteView in, int limit) {
  bool fourByteNotes = false;
  ByteSink header(in.size + kFileHeaderSize);
  header.put_bytes(in.data, std::min(in.size, kFileHeaderSize));
  std::size_t pos = copy_sub_chunks(in, header, fourByteNotes);
  int64_t total = static_cast<int64_t>(header.pos());

  std::vector<LimitTrack> tracks;
  while (pos + kTrackHeaderSize < in.size && in.matches(pos, kTagTrack, kTagSize)) {
    LimitTrack t;
    t.headerAt = pos;
    t.eventsAt = pos + kTrackHeaderSize;
    t.end = static_cast<std::size_t>(std::min<uint64_t>(in.size, uint64_t{t.eventsAt} + be32(in, pos + kTagSize)));
    t.next = t.eventsAt + 1;
    t.time = in.at(t.eventsAt);
    tracks.push_back(t);
    total += kTrackHeaderSize + kEndEventSize + 1;
    pos = t.end;
  }

  // Budget: events in time order until one would pass the limit.
  bool cut = false;
  int64_t cutTime = 0;
  for (;;) {
    LimitTrack* best = nullptr;
    for (LimitTrack& t : tracks) {
      if (t.finished) continue;
      std::size_t size = limit_event_size(in, t.next, fourByteNotes);
      // The end event (the chunk's last) and an event that would pass the
      // chunk's end finish the track.
      if (t.next + size >= t.end) {
        t.finished = true;
        continue;
      }
      if (!best || t.time < best->time) best = &t;
    }
    if (!best) break;
    std::size_t size = limit_event_size(in, best->next, fourByteNotes);
    if (total + static_cast<int64_t>(size) + 1 > limit) {
      cut = true;
      cutTime = best->time;
      break;
    }
    total += static_cast<int64_t>(size) + 1;
    ++best->counted;
    best->next += size + 1;
    best->time += in.at(best->next - 1);
  }

  // Rebuild from the counted events.
  // The rebuilt file is never longer than the input.
  ByteSink out(std::max(in.size + kFileHeaderSize, kSizeLimitMinimumBuffer));
  out.put_bytes(header.data(), header.pos());
  for (const LimitTrack& t : tracks) {
    std::size_t chunkStart = out.pos();
    out.put_bytes(in.data + t.headerAt, kTrackHeaderSize);
    int64_t time = in.at(t.eventsAt);
    auto put_delta = [&](int64_t delta, int64_t before) {
      if (cut && before + delta > cutTime) delta = std::max<int64_t>(0, cutTime - before);
      out.put(static_cast<uint8_t>(delta));
    };
    put_delta(time, 0);
    if (cut) time = std::min(time, cutTime);
    std::size_t p = t.eventsAt + 1;
    for (std::size_t n = 0; n < t.counted; ++n) {
      std::size_t size = limit_event_size(in, p, fourByteNotes);
      std::size_t gateAt = out.pos() + 1;
      out.put_bytes(in.data + p, size);
      bool note = in.at(p) != kExtendedEventLead;
      if (cut && note && time + in.at(p + 1) > cutTime) {
        out.patch_be(gateAt, static_cast<uint32_t>(std::max<int64_t>(0, cutTime - time)), 1);
      }
      int64_t delta = in.at(p + size);
      put_delta(delta, time);
      time += delta;
      if (cut) time = std::min(time, cutTime);
      p += size + 1;
    }
    // The chunk's end event: its last three bytes.
    std::size_t endAt = t.end >= t.eventsAt + kEndEventSize ? t.end - kEndEventSize : t.eventsAt;
    out.put_bytes(in.data + endAt, std::min(kEndEventSize, t.end - endAt));
    out.patch_be(chunkStart + kTagSize, static_cast<uint32_t>(out.pos() - chunkStart - kTrackHeaderSize),
                 kTrackLengthSize);
  }
  out.patch_be(kFileLengthOffset, static_cast<uint32_t>(out.pos() - kFileLengthBase), kFileLengthSize);
  return out.take();
}

}  // namespace mel
