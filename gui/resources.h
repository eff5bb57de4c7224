// ZektWin's resources under Qt: the object names of the dialog and its
// controls (the dialog names its widgets with them, the tests find them by
// them), the icon, the texts the user sees, and the application's identity.
#pragma once

#include "version.h"

namespace zektwin {

inline constexpr char IDD_MAIN_DIALOG[] = "IDD_MAIN_DIALOG";
inline constexpr char IDC_RADIO_CONVERT[] = "IDC_RADIO_CONVERT";
inline constexpr char IDC_RADIO_CHECK[] = "IDC_RADIO_CHECK";
inline constexpr char IDC_OUTPUT_FOLDER[] = "IDC_OUTPUT_FOLDER";
inline constexpr char IDC_CHANGE_FOLDER[] = "IDC_CHANGE_FOLDER";
inline constexpr char IDC_OPTIONS[] = "IDC_OPTIONS";
inline constexpr char IDC_HELP_BUTTON[] = "IDC_HELP_BUTTON";
inline constexpr char IDC_DROP_ZONE[] = "IDC_DROP_ZONE";
inline constexpr char IDC_MESSAGES[] = "IDC_MESSAGES";
inline constexpr char IDC_PROGRESS[] = "IDC_PROGRESS";
inline constexpr char IDC_CANCEL[] = "IDC_CANCEL";
inline constexpr char IDC_OUTPUT_CODE[] = "IDC_OUTPUT_CODE";
inline constexpr char IDC_LINE_END[] = "IDC_LINE_END";
inline constexpr char IDC_EXISTING[] = "IDC_EXISTING";
inline constexpr char IDC_OPTION_PROBLEMS[] = "IDC_OPTION_PROBLEMS";
inline constexpr char IDC_ADD_FILES[] = "IDC_ADD_FILES";
inline constexpr char IDC_ADD_FOLDER[] = "IDC_ADD_FOLDER";

// Path in the compiled-in resources (zektwin.qrc).
inline constexpr char IDI_MAIN_ICON[] = ":/icons/zektwin.png";

// Texts, UTF-8.
inline constexpr char IDS_SELECT_FOLDER[] = "出力先フォルダの選択";
inline constexpr char IDS_ADD_FILES[] = "追加するファイルの選択";
inline constexpr char IDS_ADD_FOLDER[] = "追加するフォルダの選択";
inline constexpr char IDS_CLOSE_RUNNING[] = "変換の途中です。中止して閉じますか?";
inline constexpr char IDS_ABOUT_TITLE[] = "ZektWin について";
// Follows the name and version.
inline constexpr char IDS_ABOUT_TEXT[] =
    "文字コード変換ツール\n\n"
    "ファイルやフォルダを枠にドロップするか、「ファイルを追加…」(Ctrl+O)や"
    "「フォルダを追加…」で選ぶと、出力先フォルダに同じ名前で変換します"
    "(フォルダはその名前ごと)。\n"
    "出力コードと改行は一覧で選び、そのほかのオプション(-Z、-X、-xNOWIN など)は"
    "詳細オプションに zekt と同じ書き方で入力します。\n"
    "既存のファイルは、設定により名前を変えるか、置き換えるか、スキップします。"
    "同じドロップで書いたファイルと入力ファイルは置き換えません。\n"
    "確認モードでは何も書かず、各ファイルのコードと改行を表示します。\n\n"
    "詳しくは man ZektWin と man zekt を参照してください。";

inline constexpr char dialogTitle[] = "ZektWin";
inline constexpr char captionConvert[] = "変換";
inline constexpr char captionCheck[] = "確認";
inline constexpr char captionFolderLabel[] = "出力先フォルダ";
inline constexpr char captionChangeFolder[] = "変更…";
inline constexpr char captionOptionLabel[] = "詳細オプション";
inline constexpr char captionHelp[] = "ヘルプ";
inline constexpr char captionDropZone[] = "対象となるファイルをここにドロップして下さい";
inline constexpr char captionMessageLabel[] = "メッセージ";
inline constexpr char captionCancel[] = "中止";
inline constexpr char captionOutputCode[] = "出力コード";
inline constexpr char captionLineEnd[] = "改行";
inline constexpr char captionExisting[] = "既存のファイル";
// In the order of Existing.
inline constexpr const char* existingChoices[] = {"名前を変える", "置き換える", "スキップ"};
inline constexpr char captionAddFiles[] = "ファイルを追加…";
inline constexpr char captionAddFolder[] = "フォルダを追加…";

// The application as Qt names it (--version, --help, the window system).
inline constexpr char applicationName[] = "ZektWin";
inline constexpr char applicationVersion[] = ZEKT_VERSION ".0";
inline constexpr char applicationComments[] = "文字コード変換ツール";
inline constexpr char organizationName[] = "the zekt authors";

}  // namespace zektwin
