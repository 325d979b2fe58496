#include "score/format_codes.h"

namespace mel {

const char* input_type_name(int type) {
  switch (type) {
    case kInputAls: return "ALS melody";
    case kInputChara: return "chara melody";
    case kInputPana: return "pana melody (623P PMD)";
    case kInputMml: return "MML text";
    case kInputMidi: return "Standard MIDI File";
    case kInputDotI: return "dot-i / MOZiO melody";
    case kInputWam: return "WAM melody";
    case kInputMfi: return "MFi melody";
    case kInputSmd: return "J-SKY SMD";
    case kInputSmz: return "J-SKY SMD (compressed name .smz)";
    case kInputPmail: return "X-PmailDX melody data";
    case kInputSmaf: return "SMAF";
    case kInputDxm: return "DXM";
    case kInputCmx: return "CMX melody";
    case kInputKanjiMld: return "kanji-coded MLD";
    case kInputSmafSmz: return "SMAF (.smz)";
    case kInputPlaylist: return "M3U playlist";
    case kInputFolder: return "folder";
    default: return "not a supported file";
  }
}

bool input_carries_instruments(int type) {
  switch (type) {
    case kInputPana:
    case kInputMml:
    case kInputMidi:
    case kInputMfi:
    case kInputSmaf:
    case kInputDxm:
    case kInputCmx:
    case kInputSmafSmz:
      return true;
    default:
      return false;
  }
}

}  // namespace mel
