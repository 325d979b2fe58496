#include "convert/format_registry.h"

#include <string>

#include "formats/dxm/dxm_writer.h"
#include "formats/kanji_mld/kanji_mld_reader.h"
#include "formats/mfi/mfi_output.h"
#include "formats/mfi/mfi_reader.h"
#include "formats/pmail/pmail_reader.h"
#include "formats/smaf/smaf_reader.h"
#include "score/format_codes.h"
#include "midi/midi_reader.h"
#include "midi/midi_writer.h"

namespace mel {

ScoreReader reader_for(int inputType) {
  switch (inputType) {
    case kInputMidi:
    case kInputDxm:
      return read_midi_file;
    case kInputMfi: return read_mfi_file;
    case kInputCmx: return read_cmx_file;
    case kInputSmaf:
    case kInputSmafSmz:
      return read_smaf_file;
    case kInputPmail: return read_pmail_file;
    case kInputKanjiMld: return read_kanji_mld_file;
    default:
      return nullptr;
  }
}

ScoreWriter writer_for(int outputKind) {
  switch (outputKind) {
    case kOutputMidi: return write_midi_file;
    case kOutputMfi: return write_mfi_file;
    case kOutputCmx: return write_cmx_file;
    case kOutputDxm: return write_dxm_file;
    default: return nullptr;
  }
}

bool is_dispatcher_kind(int outputKind) {
  switch (outputKind) {
    case kOutputAls:
    case kOutputChara:
    case kOutputPana:
    case kOutputMml:
    case kOutputMidi:
    case kOutputDotI:
    case kOutputWam:
    case kOutputMfi:
    case kOutputSmd:
    case kOutputDxm:
    case kOutputMozio:
    case kOutputCmx:
    case kOutputMml2Mmf:
    case kOutputRawCopy:
      return true;
    default:
      return false;
  }
}

const char* output_extension(int outputKind) {
  switch (outputKind) {
    case kOutputAls: return ".als";
    case kOutputChara: return ".cmd";
    case kOutputPana: return ".pmd";
    case kOutputMml: return ".mml";
    case kOutputMidi: return ".mid";
    case kOutputDotI: return ".mmd";
    case kOutputWam: return ".wam";
    case kOutputMfi: return ".mld";
    case kOutputSmd: return ".smd";
    case kOutputDxm: return ".dxm";
    case kOutputMozio: return ".mel";
    case kOutputCmx: return ".pmd";
    case kOutputMml2Mmf: return ".mus";
    case kOutputPlaylist: return ".m3u";
    default: return "";
  }
}

int output_kind_for_extension(const std::string& ext) {
  if (ext == ".mid" || ext == ".rmi") return kOutputMidi;
  if (ext == ".als") return kOutputAls;
  if (ext == ".cmd") return kOutputChara;
  if (ext == ".mml") return kOutputMml;
  if (ext == ".mmd") return kOutputDotI;
  if (ext == ".mel" || ext == ".sml") return kOutputMozio;
  if (ext == ".wam") return kOutputWam;
  if (ext == ".mld") return kOutputMfi;
  if (ext == ".smd") return kOutputSmd;
  if (ext == ".dxm") return kOutputDxm;
  if (ext == ".mus") return kOutputMml2Mmf;
  // ".pmd" is both pana melody and CMX; the command line asks which.
  return 0;
}

}  // namespace mel
