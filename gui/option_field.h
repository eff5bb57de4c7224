// The options field of the dialog and the two lists beside it: the words
// the user types, read as the drop will read them, with every word the
// field cannot take given its reason.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <span>

namespace zektwin {

// An entry of the 出力コード or 改行 list: its label, the option word it
// stands for and how the log names what it writes (null: as the input was).
struct ListEntry {
    const char* label;
    const char* word;
    const char* shown;
};

inline constexpr ListEntry outputCodes[] = {
    {"Shift-JIS", "-s", "SJIS"},
    {"EUC", "-e", "EUC"},
    {"JIS", "-j", "JIS"},
    {"UTF-8", "-u8", "UTF-8"},
    {"UTF-8 (BOM)", "-u8bom", "UTF-8 BOM"},
    {"UTF-16", "-u16", "UTF-16"},
    {"変換しない", "-nk", nullptr},
    // After the others, so that a remembered choice keeps its place.
    {"Shift_JIS-2004", "-s2004", "SJIS-2004"},
    {"EUC-JIS-2004", "-e2004", "EUC-2004"},
    {"ISO-2022-JP-2004", "-j2004", "JIS-2004"},
};
inline constexpr ListEntry lineEnds[] = {
    {"CR+LF", "-crlf", "CRLF"},
    {"LF", "-lf", "LF"},
    {"CR", "-cr", "CR"},
    {"そのまま", "-nr", nullptr},
};
// UTF-8 with LF: what this platform's tools expect.
inline constexpr int defaultOutputCode = 3;
inline constexpr int defaultLineEnd = 1;

// Full-width letters, digits and signs (as an input method types them) and
// the ideographic space, as their ASCII.
QString toAscii(const QString& text);

struct OptionField {
    QStringList words;  // the options to pass on, in order
    // The list entries that words of the text name (the last one counts);
    // those words are not among words.
    std::optional<int> outputCode, lineEnd;
    QStringList problems;  // "WORD: reason", one for each word refused
    QStringList kept;      // every word but the lists' ones, in ASCII: what the field keeps
};

// Reads the field's text: words split at blanks, each an option the
// library takes, a list's word, or a problem.
OptionField readOptionField(const QString& text);

// The words a drop converts with: the lists' words, then the field's.
QStringList dropWords(int outputCode, int lineEnd, const QStringList& fieldWords);

// What a conversion with words did to an input found as code and lineEnd,
// as the log says it: "SJIS CRLF → UTF-8 LF". The last word that sets the
// code or the line end counts. Without code conversion nothing is
// detected, so only the line ends are named then.
QString conversionText(const QStringList& words, const QString& code, const QString& lineEnd);

}  // namespace zektwin
