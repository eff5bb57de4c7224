#include "option_field.h"

#include <QRegularExpression>
#include <string_view>

#include "command_line.h"

namespace zektwin {
namespace {

// What a word sets: an entry of either list (-1: none), and what the log
// calls the code and the line end it writes (empty: not set by it; null
// text: as the input was).
struct WordEffect {
    std::string_view word;
    int outputCode;
    int lineEnd;
    const char* code;
    const char* lineEndShown;
};

constexpr const char* unset = "";
constexpr WordEffect effects[] = {
    {"-s", 0, -1, "SJIS", unset},          {"-sj", 0, -1, "SJIS", unset},
    {"-e", 1, -1, "EUC", unset},           {"-j", 2, -1, "JIS", unset},
    {"-jSHORT", -1, -1, "JIS", unset},     {"-u8", 3, -1, "UTF-8", unset},
    {"-utf8", 3, -1, "UTF-8", unset},      {"-u8bom", 4, -1, "UTF-8 BOM", unset},
    {"-u16", 5, -1, "UTF-16", unset},      {"-u16le", -1, -1, "UTF-16LE", unset},
    {"-u16be", -1, -1, "UTF-16BE", unset}, {"-nk", 6, -1, nullptr, unset},
    {"-crlf", -1, 0, unset, "CRLF"},       {"-cl", -1, 0, unset, "CRLF"},
    {"-lf", -1, 1, unset, "LF"},           {"-cr", -1, 2, unset, "CR"},
    {"-nr", -1, 3, unset, nullptr},        {"-unix", 1, 1, "EUC", "LF"},
    {"-mac", 0, 2, "SJIS", "CR"},          {"-dos", 0, 0, "SJIS", "CRLF"},
    {"-s2004", 7, -1, "SJIS-2004", unset}, {"-e2004", 8, -1, "EUC-2004", unset},
    {"-j2004", 9, -1, "JIS-2004", unset},
};

const WordEffect* effectOf(const QString& word) {
    const QByteArray bytes = word.toLatin1();
    for (const WordEffect& effect : effects)
        if (effect.word == std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))
            return &effect;
    return nullptr;
}

// Words that a command line takes but the dialog has a control for, or
// that make no sense without one.
QString refusal(const QString& word) {
    static const QStringList files{"-", "-f", "--"};
    static const QStringList help{"-h", "-help", "--help", "-v", "-version", "--version"};
    if (word == "-c") return QString::fromUtf8("check mode is chosen above (確認)");
    if (help.contains(word)) return QString::fromUtf8("see ヘルプ");
    if (files.contains(word)) return QStringLiteral("files are dropped, not named here");
    if (word == "-overwrite") return QStringLiteral("ZektWin never writes over its inputs");
    if (!word.startsWith('-')) return QStringLiteral("not an option (options begin with \"-\")");
    const QByteArray bytes = word.toUtf8();
    if (!zekt::isSettingWord(bytes.constData())) return QStringLiteral("unknown option");
    return {};
}

// unset (no word set it) and null alike keep what the input had.
QString shown(const char* text, const QString& asInput) {
    return text == nullptr || text == unset ? asInput : QString::fromUtf8(text);
}

}  // namespace

QString toAscii(const QString& text) {
    QString ascii = text;
    for (QChar& c : ascii) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E) c = QChar(u - 0xFEE0);
        if (u == 0x3000) c = QLatin1Char(' ');
        if (u == 0x2212) c = QLatin1Char('-');  // the minus sign some input methods give
    }
    return ascii;
}

OptionField readOptionField(const QString& text) {
    OptionField field;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& word : toAscii(text).split(blanks, Qt::SkipEmptyParts)) {
        if (const QString reason = refusal(word); !reason.isEmpty()) {
            field.problems << word + ": " + reason;
            field.kept << word;
            continue;
        }
        const WordEffect* effect = effectOf(word);
        if (effect == nullptr || (effect->outputCode < 0 && effect->lineEnd < 0)) {
            field.words << word;
            field.kept << word;
            continue;
        }
        if (effect->outputCode >= 0) field.outputCode = effect->outputCode;
        if (effect->lineEnd >= 0) field.lineEnd = effect->lineEnd;
    }
    return field;
}

QStringList dropWords(int outputCode, int lineEnd, const QStringList& fieldWords) {
    return QStringList{QString::fromLatin1(outputCodes[outputCode].word),
                       QString::fromLatin1(lineEnds[lineEnd].word)} +
           fieldWords;
}

QString conversionText(const QStringList& words, const QString& code, const QString& lineEnd) {
    const char* shownCode = unset;
    const char* shownLineEnd = unset;
    for (const QString& word : words) {
        const WordEffect* effect = effectOf(word);
        if (effect == nullptr) continue;
        if (effect->code != unset) shownCode = effect->code;
        if (effect->lineEndShown != unset) shownLineEnd = effect->lineEndShown;
    }
    if (shownCode == nullptr) {
        const bool lineEndsKept = shownLineEnd == nullptr || shownLineEnd == unset;
        return lineEndsKept ? QStringLiteral("unchanged")
                            : QStringLiteral("code unchanged, line ends ") + QString::fromUtf8(shownLineEnd);
    }
    return code + ' ' + lineEnd + " → " + shown(shownCode, code) + ' ' + shown(shownLineEnd, lineEnd);
}

}  // namespace zektwin
