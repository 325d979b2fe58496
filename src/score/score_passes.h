// The passes that reshape a score after it has been read and before it is
// written, for ringtone formats that are monophonic per voice and have few
// voices: an accompaniment for one-track songs, and the pseudo-chord fold of a
// multi-track song into a few monophonic voices.
#pragma once

#include <cstddef>

#include "score/options.h"
#include "score/score_stream.h"

namespace mel {

// Adds a generated accompaniment as track 2 of a one-track song (root and
// octave below the melody in eighths or sixteenths, accompanimentLevel 1 or 2).
// Does nothing unless trackCount is 1 and the level is at least 1.
void add_accompaniment(Score& score, SongInfo& song, const Settings& settings);

// Folds the selected melodic tracks into gizino voices, choosing at every
// moment which note of the merged tracks sounds. The new score has no control
// events; trackCount keeps the number of source tracks and scoreTrackCount
// becomes the number of voices. Does nothing unless pseudo-chord mode is on and
// the song has more than one track.
void fold_pseudo_chords(Score& score, SongInfo& song, const Settings& settings);

// The passes in the dispatcher's order; sets scoreTrackCount.
void run_score_passes(Score& score, SongInfo& song, const Settings& settings);

}  // namespace mel
