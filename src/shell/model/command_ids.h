// Every command of the main window, in one place. Menu items, bitmap buttons,
// track-panel buttons, keys and popup lists all arrive as these numbers in
// WM_COMMAND, and the window sends some of them to itself for internal steps.
#pragma once

namespace mel::cmd {

// Player and file commands (the bitmap buttons use the same ids).
constexpr int kPlay = 11;
constexpr int kStop = 12;
constexpr int kPause = 13;
constexpr int kOpen = 14;
constexpr int kKeyDown = 15;
constexpr int kKeyUp = 16;
constexpr int kTempoDown = 17;
constexpr int kTempoUp = 18;
constexpr int kSaveButton = 19;

// Internal steps the window sends to itself.
constexpr int kLoadEntry = 30;    // lParam nonzero: do not start playing
constexpr int kReconvert = 31;
constexpr int kLoadSettings = 40;
constexpr int kSaveSettings = 41;
constexpr int kHandOver = 50;     // a second instance's command line

// File menu.
constexpr int kProperties = 101;
constexpr int kExit = 102;
constexpr int kOpenLastCreated = 103;
constexpr int kCopyAs = 104;
constexpr int kCreateMidi = 111;
constexpr int kCreateMml = 112;
constexpr int kCreatePlaylist = 113;
constexpr int kCreateFirst = 121;  // 121..130, see the create-item table
constexpr int kCreateLast = 130;
constexpr int kExternalSeparator = 151;
constexpr int kExternalFirst = 152;  // 152..156
constexpr int kExternalLast = 156;

// Settings menu.
constexpr int kLoop = 201;
constexpr int kResetKeySpeed = 202;
constexpr int kConversionDetail = 203;
constexpr int kTopmost = 204;
constexpr int kTrackPanel = 205;
constexpr int kCounterDisplay = 206;
constexpr int kThreeTimes = 207;
constexpr int kMidiStandard = 211;
constexpr int kPseudoChord = 212;
constexpr int kMultiTrackSelect = 213;
constexpr int kTrackSplit = 214;
constexpr int kAllTracks = 221;
constexpr int kTrackFirst = 222;  // track 1; 222..253
constexpr int kTrackLast = 253;
constexpr int kStandardInstrument = 261;
constexpr int kPerTrackInstrument = 262;
constexpr int kInstrumentFirst = 271;  // 271..280 standard, 281..286 extra
constexpr int kInstrumentStandardLast = 280;
constexpr int kInstrumentExtraFirst = 281;
constexpr int kInstrumentLast = 286;
constexpr int kStandardVolume = 291;
constexpr int kPerTrackVolume = 292;
constexpr int kVolumeFirst = 293;  // 293..297
constexpr int kVolumeLast = 297;

// Play menu and the previous/next buttons.
constexpr int kPrevious = 301;
constexpr int kNext = 302;
constexpr int kFirst = 303;
constexpr int kShuffle = 304;
constexpr int kClipboardPlay = 305;
constexpr int kIntro = 306;

// Control-button toggles.
constexpr int kShowOpenButton = 321;
constexpr int kShowKeyButtons = 322;
constexpr int kShowTempoButtons = 323;
constexpr int kShowBackNextButtons = 324;
constexpr int kShowSaveButton = 325;

// Help menu.
constexpr int kHelp = 401;
constexpr int kSettingsProgram = 402;
constexpr int kAbout = 403;

// Popup lists: previous songs, next songs, recent files, display colours.
constexpr int kPreviousPopupFirst = 1001;  // 1001..1010
constexpr int kNextPopupFirst = 1101;      // 1101..1110
constexpr int kRecentFirst = 1201;         // 1201..1210
constexpr int kRecentLast = 1210;
constexpr int kColourFirst = 1301;         // 1301..1307 tints, 1308 random
constexpr int kColourRandom = 1308;
constexpr int kPopupLength = 10;

// Child controls without a command of their own.
constexpr int kTrackButtonCount = 32;

// The feature area whose handler a command goes to. Each area has its own
// handler in the window; an id no area claims is not a command of the window
// (command 50 arrives as WM_COPYDATA, not as WM_COMMAND).
enum class CommandArea { None, Play, Files, Tracks, View, Playlist, Dialogs };

struct CommandRange {
  int first;
  int last;
  CommandArea area;
};

constexpr CommandRange kCommandAreas[] = {
    {kPlay, kPause, CommandArea::Play},
    {kOpen, kOpen, CommandArea::Files},
    {kKeyDown, kTempoUp, CommandArea::Play},
    {kSaveButton, kSaveButton, CommandArea::Files},
    {kLoadEntry, kReconvert, CommandArea::Play},
    {kLoadSettings, kSaveSettings, CommandArea::View},
    {kProperties, kProperties, CommandArea::Dialogs},
    {kExit, kCopyAs, CommandArea::Files},
    {kCreateMidi, kCreatePlaylist, CommandArea::Files},
    {kCreateFirst, kCreateLast, CommandArea::Files},
    {kExternalFirst, kExternalLast, CommandArea::Files},
    {kLoop, kLoop, CommandArea::Play},
    {kResetKeySpeed, kResetKeySpeed, CommandArea::Tracks},
    {kConversionDetail, kConversionDetail, CommandArea::Dialogs},
    {kTopmost, kCounterDisplay, CommandArea::View},
    {kThreeTimes, kThreeTimes, CommandArea::Play},
    {kMidiStandard, kTrackSplit, CommandArea::Tracks},
    {kAllTracks, kTrackLast, CommandArea::Tracks},
    {kStandardInstrument, kStandardInstrument, CommandArea::Tracks},
    {kPerTrackInstrument, kPerTrackInstrument, CommandArea::Dialogs},
    {kInstrumentFirst, kInstrumentLast, CommandArea::Tracks},
    {kStandardVolume, kStandardVolume, CommandArea::Tracks},
    {kPerTrackVolume, kPerTrackVolume, CommandArea::Dialogs},
    {kVolumeFirst, kVolumeLast, CommandArea::Tracks},
    {kPrevious, kClipboardPlay, CommandArea::Playlist},
    {kIntro, kIntro, CommandArea::Play},
    {kShowOpenButton, kShowSaveButton, CommandArea::View},
    {kHelp, kAbout, CommandArea::Dialogs},
    {kPreviousPopupFirst, kPreviousPopupFirst + kPopupLength - 1, CommandArea::Playlist},
    {kNextPopupFirst, kNextPopupFirst + kPopupLength - 1, CommandArea::Playlist},
    {kRecentFirst, kRecentLast, CommandArea::Files},
    {kColourFirst, kColourRandom, CommandArea::View},
};

constexpr CommandArea command_area(int id) {
  for (const CommandRange& range : kCommandAreas) {
    if (id >= range.first && id <= range.last) return range.area;
  }
  return CommandArea::None;
}

}  // namespace mel::cmd
