#include "score/options.h"

#include "common/path_util.h"

namespace mel {

namespace {

#define MEL_FIELD(expr) [](Settings& s) -> int* { return &(s.expr); }

}  // namespace

const std::vector<OptionInfo>& option_table() {
  static const std::vector<OptionInfo> table = {
      {"shortNoteCutLevel", nullptr, 0, 0, 100, "notes not longer than this many 1/960 whole notes become rests",
       MEL_FIELD(conv.shortNoteCutLevel)},
      {"lowNoteCutLevel", nullptr, 0, 0, 127, "notes of this key or lower become rests",
       MEL_FIELD(conv.lowNoteCutLevel)},
      {"lowNoteFoldLevel", nullptr, 0, 0, 127, "notes below this key move up into the octave starting there",
       MEL_FIELD(conv.lowNoteFoldLevel)},
      {"noteLengthScale", nullptr, 16, 4, 64, "length analysis scale in sixteenths: 4, 8, 16, 32 or 64",
       MEL_FIELD(conv.noteLengthScale)},
      {"giziwaon", "giziwaon", 3, 0, 7, "pseudo-chord level (bits 0-1) and mode (bit 2)", MEL_FIELD(conv.giziwaon)},
      {"gizino", "gizino", 1, 1, 8, "voices the pseudo-chord pass produces", MEL_FIELD(conv.gizino)},
      {"accompanimentLevel", nullptr, 0, 0, 2, "accompaniment for one-track songs: 0 off, 1 eighths, 2 sixteenths",
       MEL_FIELD(conv.accompanimentLevel)},
      {"chsepcnt", "chsepcnt", 4, 2, 16, "largest number of voices taken from one MIDI track when splitting chords",
       MEL_FIELD(conv.chsepcnt)},
      {"chordSplitChannels", nullptr, 0xFFFF, 0, 0xFFFF, "MIDI channels whose chords are split (bit 0 = channel 1)",
       MEL_FIELD(conv.chordSplitChannels)},
      {"relnflg", "relnflg", 1, 0, 1, "join short rests to the preceding note", MEL_FIELD(conv.relnflg)},
      {"l16nouse", "l16nouse", 0, 0, 1, "round on a sixteenth-note grid", MEL_FIELD(conv.l16nouse)},
      {"highmld", "highmld", 0, 0, 1, "high-note priority in chord analysis and pseudo-chords",
       MEL_FIELD(conv.highmld)},
      {"restcut", "restcut", 0, 0, 1, "remove the song's common leading silence", MEL_FIELD(conv.restcut)},
      {"KeyOffset", "key", 0, -24, 24, "transposition in semitones", MEL_FIELD(play.KeyOffset)},
      {"SpeedFactor", "speed", 16, 1, 255, "tempo factor in sixteenths (16 = as written)",
       MEL_FIELD(play.SpeedFactor)},
      {"velocity", "velocity", 100, 0, 127, "default note velocity", MEL_FIELD(play.velocity)},
      {"volume", "volume", 100, 0, 127, "default channel volume", MEL_FIELD(play.volume)},
      {"melody", "melody", 1, 0, 127, "program for tracks without their own", MEL_FIELD(play.melody)},
      {"StandardInstrument", nullptr, 1, 0, 1, "play the file's own instruments where the format has them",
       MEL_FIELD(play.StandardInstrument)},
      {"StandardVolume", nullptr, 1, 0, 1, "play the score's volume changes", MEL_FIELD(play.StandardVolume)},
      {"ThreeTimes", nullptr, 0, 0, 1, "write every track three times in a row", MEL_FIELD(play.ThreeTimes)},
      {"MidiStandard", nullptr, 1, 0, 1, "rewrite MIDI input directly instead of through the score",
       MEL_FIELD(play.MidiStandard)},
      {"TrackSplit", nullptr, 0, 0, 1, "split chords of MIDI and MFi tracks into several tracks",
       MEL_FIELD(play.TrackSplit)},
      {"excutplay", "excutplay", 0, 0, 1, "replace system-exclusive events when rewriting MIDI",
       MEL_FIELD(play.excutplay)},
      {"txtfileas", "txtfileas", 0, 0, 3, "how .txt input is read: 0 automatic, 1 chara, 2 MML, 3 MFi mail text",
       MEL_FIELD(play.txtfileas)},
      {"mldbyte", "mldbyte", 5120, 0, 184320, "MFi output size limit in bytes (0 = none)",
       MEL_FIELD(writers.mldbyte)},
      {"ezpmdbyte", "ezpmdbyte", 10240, 0, 184320, "CMX output size limit in bytes (0 = none)",
       MEL_FIELD(writers.ezpmdbyte)},
      {"dxmbyte", "dxmbyte", 10240, 0, 184320, "DXM output size limit in bytes", MEL_FIELD(writers.dxmbyte)},
      {"mailBase64", nullptr, 0, 0, 1, "write MFi output as Base64 mail text", MEL_FIELD(writers.mailBase64)},
      {"mldhmn", "mldhmn", 4, 1, 24, "MFi polyphony: tracks written (the 16-chord layout raises 4 or less to 16)",
       MEL_FIELD(writers.mldhmn)},
      {"ezpmdhmn", "ezpmdhmn", 16, 1, 24, "CMX polyphony: tracks written; above 4 is 16-chord mode",
       MEL_FIELD(writers.ezpmdhmn)},
      {"mldLayout", nullptr, 0, 0, 3, "MFi handset layout: 0 standard 1 track 4 chords, 1 SH 4x4, 2 F 4x4, 3 503i 4x16",
       MEL_FIELD(writers.mldLayout)},
      {"extendedScale", nullptr, 0, 0, 1, "MFi/CMX 16-chord mode: 4-byte notes with wider scale and velocity",
       MEL_FIELD(writers.extendedScale)},
      {"chordsInChannel", nullptr, 0, 0, 1, "MFi/CMX 16-chord mode: tracks of one part share a channel",
       MEL_FIELD(writers.chordsInChannel)},
      {"outputVoice", nullptr, 0, 0, 257, "MFi voice for every track: 0 the score's, n + 1 voice n, 257 no voice or volume",
       MEL_FIELD(writers.outputVoice)},
      {"outputVelocity", nullptr, 0, 0, 127, "MFi/CMX fixed velocity of 4-byte notes (0 = the score's)",
       MEL_FIELD(writers.outputVelocity)},
      {"dxmVelocity", nullptr, 0, 0, 127, "DXM fixed note-on velocity (0 = the score's)", MEL_FIELD(writers.dxmVelocity)},
      {"dxmSharedChannels", nullptr, 0, 0, 1, "DXM: tracks with the same instrument share one channel",
       MEL_FIELD(writers.dxmSharedChannels)},
      {"dxmRhythmReplace", nullptr, 0, 0, 1, "DXM: guitar noise and gunshot tracks become snare hits",
       MEL_FIELD(writers.dxmRhythmReplace)},
      {"dxmChordLimit", nullptr, 0, 0, 1, "DXM: drop the 13th and later simultaneous notes",
       MEL_FIELD(writers.dxmChordLimit)},
      {"dxmPitchBend", nullptr, 0, 0, 1, "DXM from MIDI: keep pitch bends, modulation and sustain",
       MEL_FIELD(writers.dxmPitchBend)},
      {"smdnum", "smdnum", 256, 0, 1024, "SMD note limit: note and rest characters per track, 0 = none",
       MEL_FIELD(writers.smdnum)},
      {"smdhmn", "smdhmn", 5, 1, 16, "SMD tracks written", MEL_FIELD(writers.smdhmn)},
      {"mmdnum", "mmdnum", 64, 0, 1024, "dot-i / MOZiO note limit per track (0 = none)", MEL_FIELD(writers.mmdnum)},
      {"mmdhmn", "mmdhmn", 3, 1, 10, "dot-i / MOZiO tracks written", MEL_FIELD(writers.mmdhmn)},
      {"alsnum", "alsnum", 128, 0, 1024, "ALS note limit per part (0 = none)", MEL_FIELD(writers.alsnum)},
      {"alshmn", "alshmn", 1, 1, 12, "ALS parts written (above 1: the chord option)", MEL_FIELD(writers.alshmn)},
  };
  return table;
}

#undef MEL_FIELD

const OptionInfo* find_option(const std::string& keyOrName) {
  for (const OptionInfo& option : option_table()) {
    if ((option.settingsKey && equals_ignore_case(keyOrName, option.settingsKey)) ||
        equals_ignore_case(keyOrName, option.name)) {
      return &option;
    }
  }
  return nullptr;
}

namespace {
bool is_power_of_two(int v) { return v > 0 && (v & (v - 1)) == 0; }
}  // namespace

bool set_option(Settings& settings, const OptionInfo& option, int value) {
  if (value < option.minValue || value > option.maxValue) return false;
  int* field = option.field(settings);
  if (field == &settings.conv.noteLengthScale && !is_power_of_two(value)) return false;
  *field = value;
  return true;
}

}  // namespace mel
