#include "gui_converter.h"

#include <QFile>
#include <cstdarg>

#include "format_text.h"

namespace zektwin {
namespace {

constexpr std::size_t maxTokenLength = 15;

// The C locale's isspace set, fixed so that no locale can widen it.
constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::vector<std::string> splitOptionText(std::string_view text) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '-') {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && !isBlank(text[i]) && i - start < maxTokenLength) ++i;
        tokens.emplace_back(text.substr(start, i - start));
        // A cut token never runs on into a new one.
        if (i - start == maxTokenLength && i < text.size()) ++i;
    }
    return tokens;
}

void GuiConverter::print(int, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::string text = zekt::formatText(format, args);
    va_end(args);
    m_log += QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

FileOutcome GuiConverter::outcome() const {
    using Fate = zekt::FileResult::Fate;
    if (optionErrorSeen()) return FileOutcome::FAILED;
    if (!m_processed) return FileOutcome::NONE;
    switch (fileResult().fate) {
        case Fate::DONE: return FileOutcome::DONE;
        case Fate::REFUSED: return FileOutcome::REFUSED;
        case Fate::CANCELLED: return FileOutcome::CANCELLED;
        case Fate::FAILED: return FileOutcome::FAILED;
        default: return FileOutcome::NONE;
    }
}

// ZektWin has no standard input to offer: "-" among the options names none,
// which is said but does not count against the file.
void GuiConverter::processFile(bool check, const char* inputName, const char*) {
    if (inputName == nullptr) {
        m_log += QStringLiteral("%1: %2.\n")
                     .arg(QLatin1String(zekt::standardInputName),
                          QLatin1String(zekt::fileErrorText(zekt::CANNOT_OPEN)));
        return;
    }
    m_processed = true;
    m_bytesRead = 0;
    const QByteArray outputName = QFile::encodeName(m_outputPath);
    Converter::processFile(check, inputName, outputName.constData());
}

int GuiConverter::readBlock(std::uint8_t* data, int capacity) {
    const int count = StdioConverter::readBlock(data, capacity);
    if (count > 0 && onRead) onRead(m_bytesRead += count);
    return count;
}

void GuiConverter::runOptionText(const QString& optionText, const QString& fileName) {
    const QByteArray text = optionText.toLocal8Bit();
    const std::vector<std::string> tokens =
        splitOptionText({text.constData(), static_cast<std::size_t>(text.size())});
    const QByteArray file = QFile::encodeName(fileName);

    std::vector<const char*> argv{"ZektWin"};
    for (const std::string& token : tokens) argv.push_back(token.c_str());
    if (!fileName.isEmpty()) argv.push_back(file.constData());
    run(static_cast<int>(argv.size()), argv.data());
}

}  // namespace zektwin
