// Rules of the load and create flows: enable lists, popups, the recent list,
// track labels, dialog texts, the create table and the mail-size warnings.
#include "shell/model/load_flow_model.h"

#include <gtest/gtest.h>

#include <type_traits>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "score/format_codes.h"
#include "shell/model/command_ids.h"

namespace mel {
namespace {

namespace fs = std::filesystem;

std::map<int, bool> states_of(const LoadOutcome& outcome) {
  std::map<int, bool> states;
  for (const ItemEnable& item : load_flow_menu_states(outcome)) {
    EXPECT_TRUE(states.emplace(item.id, item.enabled).second) << "listed twice: " << item.id;
  }
  return states;
}

std::vector<fs::path> playlist_of(int count) {
  std::vector<fs::path> list;
  for (int i = 1; i <= count; ++i) list.push_back("/music/song" + std::to_string(i) + ".mld");
  return list;
}

TEST(LoadFlowModel, FirstOfThreeGreysPreviousAndListsTheNextTwo) {
  LoadOutcome outcome{true, kInputMfi, 4, 0, 3, 1};
  std::map<int, bool> states = states_of(outcome);
  EXPECT_FALSE(states.at(cmd::kPrevious));
  EXPECT_FALSE(states.at(cmd::kFirst));
  EXPECT_TRUE(states.at(cmd::kNext));
  EXPECT_TRUE(states.at(cmd::kShuffle));

  EXPECT_FALSE(load_flow_button_states(outcome).previous);
  const std::vector<fs::path> playlist = playlist_of(3);
  EXPECT_TRUE(previous_popup(playlist, 0).empty());
  const std::vector<PopupEntry> next = next_popup(playlist, 0);
  ASSERT_EQ(next.size(), 2u);
  EXPECT_EQ(next[0].id, 1101);
  EXPECT_EQ(name_and_extension(next[0].path), fs::path("song2.mld"));
  EXPECT_EQ(next[1].id, 1102);
  EXPECT_EQ(name_and_extension(next[1].path), fs::path("song3.mld"));
}

TEST(LoadFlowModel, PopupsListTenNearestEntriesOutwards) {
  const std::vector<fs::path> playlist = playlist_of(25);
  const std::vector<PopupEntry> previous = previous_popup(playlist, 12);
  ASSERT_EQ(previous.size(), 10u);
  EXPECT_EQ(previous.back().id, 1010);
  EXPECT_EQ(previous.back().path, playlist[2]);
  EXPECT_EQ(next_popup(playlist, 20).size(), 4u);
  // An index outside the list names nothing that is not there.
  EXPECT_EQ(previous_popup(playlist_of(2), 5).size(), 2u);
  EXPECT_TRUE(next_popup(playlist_of(2), 5).empty());
}

TEST(LoadFlowModel, MenuStatesFollowTheSongType) {
  // A failed load greys everything that needs a song.
  std::map<int, bool> failed = states_of(LoadOutcome{false, kInputMidi, 3, 1, 3, 1});
  for (int id : {101, 111, 113, 121, 130, 152, 156, 202, 207, 211, 212, 214, 221, 222, 261, 262, 271, 286, 291, 297})
    EXPECT_FALSE(failed.at(id)) << id;
  EXPECT_TRUE(failed.at(cmd::kPrevious));  // the playlist rules do not depend on the song

  // MIDI played as written: no three-times, "MIDI標準" and split usable.
  std::map<int, bool> midi = states_of(LoadOutcome{true, kInputMidi, 3, 0, 1, 1});
  EXPECT_FALSE(midi.at(cmd::kThreeTimes));
  EXPECT_TRUE(midi.at(cmd::kMidiStandard));
  EXPECT_TRUE(midi.at(cmd::kTrackSplit));
  EXPECT_FALSE(midi.at(cmd::kShuffle));
  EXPECT_TRUE(states_of(LoadOutcome{true, kInputMidi, 3, 0, 1, 0}).at(cmd::kThreeTimes));

  // MFi: split but no "MIDI標準"; tracks up to the track count.
  std::map<int, bool> mfi = states_of(LoadOutcome{true, kInputMfi, 3, 0, 1, 1});
  EXPECT_FALSE(mfi.at(cmd::kMidiStandard));
  EXPECT_TRUE(mfi.at(cmd::kTrackSplit));
  EXPECT_TRUE(mfi.at(cmd::kTrackFirst + 2));
  EXPECT_FALSE(mfi.at(cmd::kTrackFirst + 3));

  // A type without its own instruments: instrument "標準" greyed, and the
  // instruments it would keep are not kept.
  std::map<int, bool> plain = states_of(LoadOutcome{true, kInputDotI, 0, 0, 1, 1});
  EXPECT_FALSE(plain.at(cmd::kStandardInstrument));
  EXPECT_FALSE(plain.at(cmd::kAllTracks));
  EXPECT_EQ(keep_file_instruments_for(kInputDotI, 1), 0);
  EXPECT_EQ(keep_file_instruments_for(kInputMfi, 1), 1);

  EXPECT_EQ(load_flow_button_states(LoadOutcome{true, kInputMfi, 40, 0, 1, 1}).tracksEnabled, 32);  // no more than exist
  EXPECT_EQ(load_flow_button_states(LoadOutcome{false, kInputMfi, 4, 0, 1, 1}).tracksEnabled, 0);
}

TEST(LoadFlowModel, TrackLabelsAndCaption) {
  SongInfo song;
  reset_song_header(song);
  song.trackCount = 4;
  song.program[0] = kRhythmProgram;
  song.part[1] = kMixedChannelPart;
  song.part[2] = 7;
  song.part[5] = kMixedChannelPart;  // past the track count
  song.program[6] = kRhythmProgram;  // the rhythm mark does not ask whether the track exists
  EXPECT_EQ(track_label(song, 0), "R  ");
  EXPECT_EQ(track_label(song, 1), "*  ");
  EXPECT_EQ(track_label(song, 2), "7  ");
  EXPECT_EQ(track_label(song, 3), "4  ");
  EXPECT_EQ(track_label(song, 5), "6  ");
  EXPECT_EQ(track_label(song, 6), "R  ");
  EXPECT_EQ(track_label(song, 32), "");

  EXPECT_EQ(fs::path(window_caption(kInputMfi, "/music/song.mld")), fs::path("MELVARINO[song.mld]"));
  EXPECT_EQ(fs::path(window_caption(0, "/music/song.xyz")), fs::path("MELVARINO"));
}

TEST(LoadFlowModel, RecentListKeepsOneEntryPerFileAndElevenAtMost) {
  std::vector<fs::path> recent;
  remember_recent(recent, "/music/a.mld");
  remember_recent(recent, "/music/b.mld");
  remember_recent(recent, "/music/A.MLD");  // the same file in other case
  ASSERT_EQ(recent.size(), 2u);
  EXPECT_EQ(recent[0], fs::path("/music/A.MLD"));
  EXPECT_EQ(recent[1], fs::path("/music/b.mld"));

  // "ア" (83 41) and "ヂ" (83 61) differ only in a trail byte that looks like
  // a letter: they are different files. (Byte paths only: Windows paths are
  // UTF-16, and how narrow bytes become one depends on the run-time library.)
  if constexpr (std::is_same_v<fs::path::value_type, char>) {
    remember_recent(recent, "/music/\x83\x41.mld");
    remember_recent(recent, "/music/\x83\x61.mld");
    EXPECT_EQ(recent.size(), 4u);
  }

  recent.clear();
  for (int i = 0; i < 13; ++i) remember_recent(recent, "/m/" + std::to_string(i) + ".mld");
  ASSERT_EQ(recent.size(), 11u);
  EXPECT_EQ(recent.front(), fs::path("/m/12.mld"));
  EXPECT_EQ(recent.back(), fs::path("/m/2.mld"));
  // The eleventh name comes back: it goes on top once, not twice.
  remember_recent(recent, "/m/2.mld");
  ASSERT_EQ(recent.size(), 11u);
  EXPECT_EQ(recent.front(), fs::path("/m/2.mld"));
  EXPECT_EQ(std::count(recent.begin(), recent.end(), fs::path("/m/2.mld")), 1);

  const std::vector<PopupEntry> popup = recent_popup(recent);
  ASSERT_EQ(popup.size(), 10u);  // the current file is not offered
  EXPECT_EQ(popup.front().id, 1201);
  EXPECT_EQ(popup.front().path, fs::path("/m/12.mld"));
}

TEST(LoadFlowModel, WithNoCurrentFileTheFileJustUnloadedIsOfferedFirst) {
  const std::vector<fs::path> recent = {"/m/unloaded.mld", "/m/older.mld"};
  // An open that added nothing leaves no current file; entry 0 is the file
  // that was playing until then.
  const std::vector<PopupEntry> popup = recent_popup(recent, false);
  ASSERT_EQ(popup.size(), 2u);
  EXPECT_EQ(popup[0].id, 1201);
  EXPECT_EQ(popup[0].path, fs::path("/m/unloaded.mld"));
  EXPECT_EQ(recent_entry_for_command(1201, false), 0u);
  EXPECT_EQ(recent_entry_for_command(1201, true), 1u);
}

TEST(LoadFlowModel, SaveDialogFiltersAndNames) {
  SaveDialogSetup mld = save_dialog_setup("/music/song.mld", kOutputMfi);
  EXPECT_EQ(mld.initialName, fs::path("song.mld"));
  EXPECT_STREQ(mld.filters.at(0).second, "*.*");
  EXPECT_EQ(mld.defaultExtension, "mld");
  // "MELVARINO [.mldファイルを作成]" in CP932.
  EXPECT_EQ(mld.title, "MELVARINO [.mld\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x8D\xEC\x90\xAC]");

  SaveDialogSetup dotI = save_dialog_setup("/music/song.mmd", kOutputDotI);
  EXPECT_EQ(dotI.initialName, fs::path("song"));
  EXPECT_EQ(dotI.filters.size(), 3u);

  SaveDialogSetup empty = save_dialog_setup("", kOutputMidi);
  EXPECT_EQ(empty.initialName, fs::path("*.*"));
  EXPECT_EQ(empty.defaultExtension, "*");

  EXPECT_EQ(save_folder_of("/music/out/a.mld"), fs::path("/music/out/"));
}

TEST(LoadFlowModel, CreateTableAndProposedPath) {
  constexpr int kNotAKind = 11;  // kinds 10, 11, 12 and 16 do not exist
  EXPECT_FALSE(create_target(kNotAKind, kInputMfi, 1, false, "/m/a.mld").has_value());

  // DXM: MIDI played as written uses its own dialog.
  EXPECT_EQ(create_target(kOutputDxm, kInputMidi, 1, false, "/m/a.mid")->dialog, 11);
  EXPECT_EQ(create_target(kOutputDxm, kInputMidi, 0, false, "/m/a.mid")->dialog, 10);
  EXPECT_EQ(create_target(kOutputDxm, kInputMfi, 1, false, "/m/a.mld")->dialog, 10);

  EXPECT_EQ(create_target(kOutputMfi, kInputMidi, 1, true, "/m/a.mid")->extension, ".txt");
  EXPECT_EQ(create_target(kOutputMfi, kInputMidi, 1, false, "/m/a.mid")->extension, ".mld");
  EXPECT_EQ(create_target(kOutputRawCopy, kInputMfi, 1, false, "/m/Song.MLD")->extension, ".MLD");

  // Only kinds with a writer (and the raw copy) are created; the rest do nothing.
  EXPECT_TRUE(kind_can_be_created(kOutputMfi));
  EXPECT_TRUE(kind_can_be_created(kOutputRawCopy));
  EXPECT_TRUE(kind_can_be_created(kOutputAls));
  EXPECT_FALSE(kind_can_be_created(kNotAKind));

  EXPECT_EQ(proposed_create_path("/music/song.mid", ".pmd", false), fs::path("/music/song.pmd"));
  EXPECT_EQ(proposed_create_path("/music/song.mid", ".pmd", true), fs::path("/music/melody.pmd"));
  EXPECT_EQ(proposed_create_path("/music/a.b.mid", ".mld", false), fs::path("/music/a.b.mld"));
}

TEST(LoadFlowModel, DotINamedOtherThanMmdBecomesTheSecondVariant) {
  EXPECT_EQ(adjust_dot_i_kind(kOutputDotI, "/out/x.mmd"), kOutputDotI);
  EXPECT_EQ(adjust_dot_i_kind(kOutputDotI, "/out/x.MMD"), kOutputDotI);
  EXPECT_EQ(adjust_dot_i_kind(kOutputDotI, "/out/x.mel"), kOutputMozio);
  EXPECT_EQ(adjust_dot_i_kind(kOutputDotI, "/out/x"), kOutputMozio);
  EXPECT_EQ(adjust_dot_i_kind(kOutputMfi, "/out/x.mel"), kOutputMfi);
}

TEST(LoadFlowModel, MailSizeWarningsAreExclusive) {
  const char* k500 = "500byteを超えています。\r\niモードメールでは送れません。";
  const char* k3000 = "3000byteを超えています。\r\niモードメール、パルディオEメールでは送れません。";
  EXPECT_EQ(mail_size_warning(500), nullptr);
  EXPECT_STREQ(mail_size_warning(600), k500);
  EXPECT_STREQ(mail_size_warning(3000), k500);
  EXPECT_STREQ(mail_size_warning(3500), k3000);
}

TEST(LoadFlowModel, CounterTextUsesAFullWidthSpace) {
  // "さくら" stays as given; a '%' in a title is not a format.
  EXPECT_EQ(counter_position_text(0, 120, "\x82\xB3%s"), "   1 /  120\x81\x40\x82\xB3%s");
  EXPECT_EQ(counter_position_text(12344, 99999, ""), "12345 / 99999\x81\x40");
}

}  // namespace
}  // namespace mel
