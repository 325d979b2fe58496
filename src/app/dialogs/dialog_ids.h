// Control and template ids of the dialogs, shared by the dialog templates
// (resources/dialogs/*.rc) and the code that binds the controls. Plain
// #defines, so that the resource compiler reads this file as well.
#pragma once

// Templates: the dialog numbers the create table and the commands name.
#define IDD_MFI_SETTINGS 8          // "MLDファイル設定"
#define IDD_SMD_SETTINGS 9          // "SMDファイル設定"
#define IDD_DXM_SETTINGS 10         // "DXMファイル設定"
#define IDD_DXM_DIRECT_SETTINGS 11  // "MIDI > DXMファイル設定"
#define IDD_TRACK_VALUES 12         // "音色設定" / "音量設定"
#define IDD_CMX_SETTINGS 13         // "PMDファイル設定"
#define IDD_PROPERTY_REPORT 16      // "ファイルプロパティ"
#define IDD_CONVERSION_DETAIL 4     // "ファイル変換詳細設定"
#define IDD_KEY_DETAIL 17           // "キー詳細設定"

// The format settings dialogs.
#define IDC_TITLE 101
#define IDC_TEMPO 102
#define IDC_KEY 103
#define IDC_SIZE_LIMIT 104
#define IDC_LAYOUT 105
#define IDC_OUTPUT_VOICE 106
#define IDC_START 109
#define IDC_END 110
#define IDC_VELOCITY 111
#define IDC_TEMPO_SPIN 152
#define IDC_KEY_SPIN 153
#define IDC_SIZE_SPIN 154
#define IDC_START_SPIN 159
#define IDC_END_SPIN 160
#define IDC_VELOCITY_SPIN 161
#define IDC_KEY_HINT 200
#define IDC_KEY_LOW 201
#define IDC_KEY_HIGH 202
#define IDC_DETAIL 142
#define IDC_EXPLAIN 143
#define IDC_MAIL_BASE64 501
#define IDC_CHORDS_IN_CHANNEL 502
#define IDC_EXTENDED_SCALE 503
#define IDC_DXM_PITCH_BEND 501
#define IDC_DXM_SHARED_CHANNELS 503
#define IDC_DXM_RHYTHM_REPLACE 504
#define IDC_DXM_CHORD_LIMIT 505

// The MML, MML2MMF and SMD settings dialogs.
#define IDD_MML_SETTINGS 14      // "MMLファイル設定"
#define IDD_MML2MMF_SETTINGS 15  // "MML2MMFファイル設定"
#define IDC_MML_RHYTHM_VOICES 107
#define IDC_MML_RHYTHM_VOICES_SPIN 157
#define IDC_SMD_NOTE_LIMIT 108
#define IDC_SMD_NOTE_LIMIT_SPIN 158

// The per-track instrument and volume dialog: row k has the label 201 + k
// and the combo box 401 + k.
#define IDC_TRACK_LABEL_FIRST 201
#define IDC_TRACK_VALUE_FIRST 401
#define IDC_INSTRUMENT_LIST 301
#define IDC_APPLY 142
#define IDC_RESET 143

// The property report.
#define IDC_REPORT_TEXT 201
#define IDC_REFRESH 142

// The key detail dialog: row i (0..15) has the label 300 + i, the lowest and
// highest key 320 + i and 340 + i, and the octave scroll bar 360 + i.
#define IDC_KEY_ROW_LABEL_FIRST 300
#define IDC_KEY_ROW_LOW_FIRST 320
#define IDC_KEY_ROW_HIGH_FIRST 340
#define IDC_KEY_ROW_SHIFT_FIRST 360

// The conversion detail dialog.
#define IDC_CHORD_SPLIT_COUNT 104
#define IDC_LENGTH_SCALE 105
#define IDC_SHORT_NOTE_CUT 106
#define IDC_PSEUDO_CHORD_LEVEL 108
#define IDC_PSEUDO_CHORD_VOICES 109
#define IDC_LOW_NOTE_FOLD 110
#define IDC_LOW_NOTE_CUT 111
#define IDC_ACCOMPANIMENT 112
#define IDC_SHORT_NOTE_CUT_SPIN 161
#define IDC_LENGTH_SCALE_SPIN 162
#define IDC_PSEUDO_CHORD_LEVEL_SPIN 163
#define IDC_CHORD_SPLIT_COUNT_SPIN 164
#define IDC_LOW_NOTE_CUT_SPIN 167
#define IDC_ACCOMPANIMENT_SPIN 168
#define IDC_PSEUDO_CHORD_VOICES_SPIN 169
#define IDC_LOW_NOTE_FOLD_SPIN 170
#define IDC_REST_MERGE 501
#define IDC_SIXTEENTH_GRID 502
#define IDC_HIGH_NOTE_FIRST 503
#define IDC_LEADING_REST_CUT 504
#define IDC_SPLIT_CHANNEL_FIRST 511
#define IDC_RESTCUT_NOTE 201

// The dot-i / MOZiO, ALS and pana settings dialogs.
#define IDD_ALS_SETTINGS 1          // "ALSファイル設定"
#define IDD_DOTI_SETTINGS 3         // "ドットi/MOZiOファイル設定"
#define IDD_PANA_SETTINGS 5         // "ﾊﾟﾅﾒﾛﾃﾞｨｰﾌｧｲﾙ設定"
#define IDC_DOTI_NOTE_LIMIT 107
#define IDC_DOTI_NOTE_LIMIT_SPIN 157
#define IDC_DOTI_TRIPLETS 501
#define IDC_ALS_NOTE_LIMIT 107
#define IDC_ALS_NOTE_LIMIT_SPIN 157
#define IDC_ALS_TIES_AS_RESTS 501
#define IDC_ALS_REPEAT_REST 502
#define IDC_ALS_TRIPLETS 503
#define IDC_ALS_CHORDS 504
#define IDC_PANA_NOTE_LIMIT 107
#define IDC_PANA_NOTE_LIMIT_SPIN 157
#define IDC_PANA_INSTRUMENT 106
#define IDC_PANA_MELODY_NAME 501
// The chara and WAM settings dialogs (one model): their templates, the note
// limit with its spin, and chara's header mark.
#define IDD_CHARA_SETTINGS 2  // "きゃらメロディー設定"
#define IDD_WAM_SETTINGS 7    // "WAMファイル設定"
#define IDC_ONE_PART_NOTE_LIMIT 107
#define IDC_CHARA_HEADER_MARK 108
#define IDC_ONE_PART_NOTE_SPIN 157
