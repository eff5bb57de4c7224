#include "gui_converter.h"

#include <QFile>

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

GuiConverter::GuiConverter(const QString& optionText, const std::atomic<bool>* cancel)
    : m_converter([this](int, std::string_view text) {
          m_log += QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
      }) {
    m_converter.cancelFlag = cancel;
    m_converter.regularInputsOnly = true;
    m_converter.freshOutputs = true;
    // ZektWin has no standard input to offer: "-" among the options names
    // none, which is said but does not count against the file.
    m_converter.noStandardInput = true;
    // The log shows a name as dropped, as each file's head line does, and
    // an option error as the dialog has always shown it.
    m_converter.maskNames = false;
    m_converter.explainOptionErrors = false;
    const QByteArray text = optionText.toLocal8Bit();
    m_tokens = splitOptionText({text.constData(), static_cast<std::size_t>(text.size())});
    std::vector<const char*> words;
    for (const std::string& token : m_tokens) words.push_back(token.c_str());
    m_line = zekt::parseCommandLine(words);
}

void GuiConverter::onRead(std::function<void(qint64)> progress) {
    m_converter.onRead = [progress = std::move(progress)](std::int64_t bytes) { progress(bytes); };
}

FileOutcome GuiConverter::outcome() const {
    using Fate = zekt::FileResult::Fate;
    if (m_converter.optionErrorSeen()) return FileOutcome::FAILED;
    if (!m_processed) return FileOutcome::NONE;
    switch (m_converter.fileResult().fate) {
        case Fate::DONE: return FileOutcome::DONE;
        case Fate::REFUSED: return FileOutcome::REFUSED;
        case Fate::CANCELLED: return FileOutcome::CANCELLED;
        case Fate::FAILED: return FileOutcome::FAILED;
        default: return FileOutcome::NONE;
    }
}

void GuiConverter::convertFile(const QString& fileName, const QString& outputPath) {
    m_log.clear();
    m_processed = false;
    const QByteArray file = QFile::encodeName(fileName);
    const QByteArray output = QFile::encodeName(outputPath);
    const zekt::CommandLine line = fileName.isEmpty() ? m_line : m_line.withFile(file.constData());
    for (const zekt::CommandLine::File& each : line.files) {
        m_processed = m_processed || each.name != nullptr;
        m_converter.useSettings(each.settings);
        m_converter.processFile(each.check, each.name, output.constData());
        if (m_converter.fatalError()) return;
    }
    m_converter.finishLine(line);
}

}  // namespace zektwin
