#include "gui_converter.h"

#include <cstring>

namespace zektwin {

GuiConverter::GuiConverter(const QStringList& words, bool check, const std::atomic<bool>* cancel)
    : m_converter([this](int, std::string_view text) {
          m_log += QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
      }) {
    m_converter.cancelFlag = cancel;
    m_converter.regularInputsOnly = true;
    m_converter.freshOutputs = true;
    m_converter.noStandardInput = true;
    // The log shows a name as dropped, as each file's head line does.
    m_converter.maskNames = false;
    for (const QString& word : words) m_words.push_back(word.toStdString());
    if (check) m_words.emplace_back("-c");
    std::vector<const char*> pointers;
    for (const std::string& word : m_words) pointers.push_back(word.c_str());
    m_line = zekt::parseCommandLine(pointers);
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
        case Fate::SKIPPED: return FileOutcome::SKIPPED;
        case Fate::NONE: break;
    }
    return FileOutcome::NONE;
}

QString GuiConverter::reason() const {
    const zekt::FileResult& result = m_converter.fileResult();
    if (result.systemError != 0) return QString::fromUtf8(strerrordesc_np(result.systemError));
    return QString::fromUtf8(result.passError ? zekt::convertErrorText(result.error)
                                              : zekt::fileErrorText(result.error));
}

void GuiConverter::convertFile(const QByteArray& fileName, zekt::OutputPlace place) {
    m_log.clear();
    m_processed = false;
    const zekt::CommandLine line = m_line.withFile(fileName.constData());
    // Not shown: the converter needs a name to write to, and the place
    // says where.
    const std::string output = place.folder ? place.name : std::string();
    m_converter.placeNextOutput(std::move(place));
    for (const zekt::CommandLine::File& each : line.files) {
        m_processed = true;
        m_converter.useSettings(each.settings);
        m_converter.processFile(each.check, each.name, each.check ? nullptr : output.c_str());
        if (m_converter.fatalError()) return;
    }
    m_converter.finishLine(line);
}

}  // namespace zektwin
