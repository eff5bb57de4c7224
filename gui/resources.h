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

// Path in the compiled-in resources (zektwin.qrc).
inline constexpr char IDI_MAIN_ICON[] = ":/icons/zektwin.png";

// Texts, UTF-8.
inline constexpr char IDS_SELECT_FOLDER[] = "出力先フォルダの選択";
inline constexpr char IDS_SAME_FILE[] = "入力ファイルと出力ファイルが同じです";

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

// The application as Qt names it (--version, --help, the window system).
inline constexpr char applicationName[] = "ZektWin";
inline constexpr char applicationVersion[] = ZEKT_VERSION ".0";
inline constexpr char applicationComments[] = "文字コード変換ツール";
inline constexpr char organizationName[] = "the zekt authors";

}  // namespace zektwin
