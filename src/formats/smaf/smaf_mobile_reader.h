// SMAF score tracks in the mobile-standard forms (16 polyphonic channels with
// MIDI-like events and millisecond ticks; plain, Huffman-compressed or with
// 32 channels) and the texts of the optional-data chunk.
//
// The tracks are expanded into one timeline of channel events and reduced to
// score tracks by the MIDI reader's own rules, so chords, drums and the note
// filter behave exactly as for a Standard MIDI File.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The largest expanded sequence a compressed track may declare.
constexpr std::size_t kMaxExpandedSequence = std::size_t{1} << 20;

// Expands the Huffman-coded sequence data of a compressed track (expanded
// size, code tree, codes) into out. Returns false, leaving out empty, when
// the tree or the codes are malformed or run out before the declared size.
bool expand_smaf_sequence(ByteView data, std::vector<uint8_t>& out);

// Reads the data of mobile-standard score track chunks (each from its format
// type byte on) into score and song, all on one timeline. Texts already in
// song and its notices are kept; new notices are added.
void read_smaf_mobile_tracks(const std::vector<ByteView>& tracks, Score& score, SongInfo& song,
                             const Settings& settings);

// Stores the texts of the file: contentsCodeType is the contents
// information's text encoding, which the title and copyright already read from
// it are in; the optional-data chunk (when present) overrides them with its
// title, artist, composer and copyright, each in its own declared encoding.
void apply_smaf_texts(uint8_t contentsCodeType, ByteView optionalData, SongInfo& song);

}  // namespace mel
