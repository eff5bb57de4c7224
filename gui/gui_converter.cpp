#include "gui_converter.h"

#include <QFile>
#include <cstdarg>
#include <cstring>

#include "format_text.h"
#include "option_tables.h"

namespace zektwin {
namespace {

constexpr std::size_t maxTokenLength = 15;
// How the engine prints a file's error: the name, then the message.
constexpr char errorLineFormat[] = "%s: %s.\n";

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

// The engine's error lines ("NAME: MESSAGE.") tell how a file fared; a
// read failed on purpose is reported as the cancel it was.
void GuiConverter::print(int stream, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list peek;
    va_copy(peek, args);
    std::string text = zekt::formatText(format, args);
    va_end(args);
    if (stream == 1 && std::strcmp(format, errorLineFormat) == 0) {
        const char* name = va_arg(peek, const char*);
        const char* message = va_arg(peek, const char*);
        if (m_cancelled && std::strcmp(message, zekt::fileErrorText(zekt::CANNOT_READ)) == 0) {
            text = std::string(name) + ": Cancelled.\n";
            message = nullptr;
            m_error = FileOutcome::CANCELLED;
        }
        if (message != nullptr) noteError(message);
    } else if (stream == 1 && std::strcmp(text.c_str(), zekt::optionErrorText) == 0) {
        m_error = FileOutcome::FAILED;
    }
    va_end(peek);
    m_log += QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

void GuiConverter::noteError(const char* message) {
    if (std::strcmp(message, zekt::convertErrorText(zekt::NOT_TEXT)) == 0 ||
        std::strcmp(message, zekt::fileErrorText(zekt::NOT_REGULAR)) == 0) {
        if (m_error == FileOutcome::NONE) m_error = FileOutcome::REFUSED;
        return;
    }
    for (int code = 1; code <= zekt::OUT_OF_MEMORY; ++code)
        if (std::strcmp(message, zekt::fileErrorText(code)) == 0 ||
            std::strcmp(message, zekt::convertErrorText(code)) == 0)
            m_error = FileOutcome::FAILED;
}

FileOutcome GuiConverter::outcome() const {
    if (m_error != FileOutcome::NONE) return m_error;
    return m_processed ? FileOutcome::DONE : FileOutcome::NONE;
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
    if (m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed)) {
        m_cancelled = true;
        return -1;
    }
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
