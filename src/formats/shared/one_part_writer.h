// What the writers of the one-part handset formats (chara, WAM) share: the
// choice of the one score track they write, the octave fit of their dialogs'
// key, and the walk that turns the track's notes and rests into pieces of
// whole-note units (960 to the whole note) of the format's lengths.
#pragma once

#include <cstddef>

#include "formats/shared/written_tracks.h"
#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// The track a one-part writer writes: the first selected one (every track
// counts as selected without a selection or in pseudo-chord mode), else the
// last input track; beyond 32 tracks, track 32 is the last.
TrackSpan one_part_track(const Score& score, const Settings& settings);

// The tempo and key a one-part settings dialog opens with: the first table
// tempo at least the song's tempo at the window's speed (the highest above the
// table), and the window's key moved by octaves over the range of the track
// to be written (as the dialog finds it from scoreTrackCount). For
// n = 3, 2, 1, 0 the key rises an octave when lowest + key < riseBelow - 12n
// and highest + key <= 95 - 12n, else falls one when lowest + key >=
// fallFrom + 12n and highest + key > 107 + 12n. A track without notes leaves
// the key as it is.
struct OnePartDialogStart {
  int tempo = 0;
  int key = 0;
};
OnePartDialogStart one_part_dialog_start(const SongInfo& song, const Settings& settings, int riseBelow,
                                         int fallFrom);

// Receives the pieces of the walk.
class OnePartSink {
 public:
  virtual ~OnePartSink() = default;
  // False once the note limit or the output bound is reached: the rest of
  // the track is skipped. Asked before every event and every piece.
  virtual bool room() const = 0;
  // A piece of units (60, 80, 120, 160, 180, 240, 360, 480, 720 or 960) of
  // a note (key: the score key plus the output key, not folded yet) or of a
  // rest. continuation marks the second and later pieces of one note or rest.
  virtual void put(bool note, int key, int units, bool continuation) = 0;
};

// The dialog values the walk takes.
struct OnePartWalkSettings {
  int key = 0;           // output key, added to every note
  int startCounter = 0;  // range cut, in sixteenths
  int endCounter = 0;
  int minPieceUnits = 60;  // pieces are written while at least this much is left
};

// Walks the track: length conversion with carry, the rest merge (grid 60,
// triplet grid 80), the range cut (60 units per sixteenth), the rounding of
// short lengths with carry, and the pieces: exactly 160 or 80 whole, else the
// largest table length that fits.
void walk_one_part(const Score& score, const SongInfo& song, const Settings& settings, const TrackSpan& track,
                   const OnePartWalkSettings& walk, OnePartSink& sink);

}  // namespace mel
