// Timing of a Standard MIDI File: its length in sixteenth notes (the player's
// counter unit) and in milliseconds, following the file's tempo map.
#pragma once

#include "common/byte_reader.h"

namespace mel {

struct MidiLength {
  long long sixteenths = 0;
  long long milliseconds = 0;
};

// Measures a Standard MIDI File; a file that cannot be parsed measures 0.
MidiLength measure_midi_length(ByteView smf);

}  // namespace mel
