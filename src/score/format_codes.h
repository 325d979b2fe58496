// The numeric codes of recognised inputs and of conversion targets. What each
// code stands for (names, extensions, reader, writer) is its row in the
// format table (convert/format_table.h).
#pragma once

namespace mel {

// What detection makes of a file.
enum InputType : int {
  kInputUnsupported = 0,
  kInputAls = 1,
  kInputChara = 2,
  kInputPana = 3,
  kInputMml = 4,
  kInputMidi = 5,
  kInputDotI = 6,
  kInputWam = 7,
  kInputMfi = 8,
  kInputSmd = 9,
  kInputSmz = 10,
  kInputPmail = 11,
  kInputSmaf = 12,
  kInputDxm = 13,
  kInputCmx = 15,
  kInputKanjiMld = 16,
  kInputSmafSmz = 18,
  kInputPlaylist = -1,
  kInputFolder = -2,
};

// What the dispatcher writes.
enum OutputKind : int {
  kOutputAls = 1,
  kOutputChara = 2,
  kOutputPana = 3,
  kOutputMml = 4,
  kOutputMidi = 5,
  kOutputDotI = 6,
  kOutputWam = 7,
  kOutputMfi = 8,
  kOutputSmd = 9,
  kOutputDxm = 13,
  kOutputMozio = 14,
  kOutputCmx = 15,
  kOutputMml2Mmf = 17,
  kOutputPlaylist = -1,
  kOutputRawCopy = -3,
};

// True for Standard MIDI File and DXM input (read by the MIDI reader).
inline bool is_midi_input(int type) { return type == kInputMidi || type == kInputDxm; }

}  // namespace mel
