// Control IDs, string table and version block of ZektWin. The IDs double as
// the controls' object names, so a control can be found by its resource name.
#pragma once

#include <QString>
#include <array>
#include <string_view>

namespace zektwin {

inline constexpr int IDD_MAIN_DIALOG = 102;
inline constexpr int IDI_MAIN_ICON = 128;

inline constexpr int IDC_CHANGE_FOLDER = 1002;
inline constexpr int IDC_OUTPUT_FOLDER = 1003;
inline constexpr int IDC_DROP_ZONE = 1010;
inline constexpr int IDC_RADIO_CONVERT = 1011;
inline constexpr int IDC_RADIO_CHECK = 1012;
inline constexpr int IDC_OPTIONS = 1023;
inline constexpr int IDC_HELP_BUTTON = 1024;
inline constexpr int IDC_MESSAGES = 1025;

inline constexpr int IDS_SELECT_FOLDER = 60001;
inline constexpr int IDS_SAME_FILE = 60002;

struct StringEntry {
    int id;
    std::string_view text;
};

inline constexpr std::array<StringEntry, 2> stringTable{{
    {IDS_SELECT_FOLDER, "出力先フォルダの選択"},
    {IDS_SAME_FILE, "入力ファイルと出力ファイルが同じです"},
}};

// The text of a string-table entry; empty for an unknown ID.
inline QString loadString(int id) {
    for (const StringEntry& entry : stringTable)
        if (entry.id == id) return QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size()));
    return {};
}

// Captions of the dialog's controls.
inline constexpr const char* captionConvert = "変換";
inline constexpr const char* captionCheck = "確認";
inline constexpr const char* captionFolderLabel = "出力先フォルダ";
inline constexpr const char* captionChangeFolder = "変更…";
inline constexpr const char* captionOptionLabel = "詳細オプション";
inline constexpr const char* captionHelp = "ヘルプ";
inline constexpr const char* captionDropZone = "対象となるファイルをここにドロップして下さい";
inline constexpr const char* captionMessageLabel = "メッセージ";
inline constexpr const char* dialogTitle = "ZektWin";

// Version block.
struct VersionInfo {
    const char* version;
    const char* comments;
    const char* fileDescription;
    const char* internalName;
    const char* originalFilename;
    const char* productName;
    const char* companyName;
    const char* legalCopyright;
};

inline constexpr VersionInfo versionInfo{
    "2.2.1.0",
    "文字コード変換ツール",
    "ZektWin MFC ｱﾌﾟﾘｹｰｼｮﾝ",
    "ZektWin",
    "ZektWin.EXE",
    "ZektWin ｱﾌﾟﾘｹｰｼｮﾝ",
    "the zekt authors",
    "Copyright (C) the zekt authors",
};

}  // namespace zektwin
