#include "gui_converter.h"

#include <QFile>
#include <cstdarg>

#include "format_text.h"
#include "zektwin_app.h"

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

void logNoMemory(CZektWinApp& app) { app.messageLog += QStringLiteral("ZektWin: No enough memory.\n"); }

void GuiConverter::print(int, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::string text = zekt::formatText(format, args);
    va_end(args);
    m_app.messageLog += QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

void GuiConverter::processFile(bool check, const char* inputName, const char*) {
    const QByteArray outputName = QFile::encodeName(m_app.m_outputPath);
    Converter::processFile(check, inputName, outputName.constData());
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
