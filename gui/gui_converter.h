// The engine's front end in ZektWin: files in, files out, every message into
// the converter's own log. It is made, used and dropped on one thread.
#pragma once

#include <QString>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "stdio_converter.h"

namespace zektwin {

// What became of the files a converter was given.
enum class FileOutcome { NONE, DONE, REFUSED, FAILED, CANCELLED };

class GuiConverter final : public zekt::StdioConverter {
public:
    // The output always goes to outputPath (empty: the standard output,
    // which a check never writes to). Once *cancel is set, the pass stops
    // after the block in hand and its output is abandoned. A dropped FIFO
    // or device is refused rather than waited on;
    // an output in the shared folder is never more readable than its
    // input, and a link planted at its name is replaced, not written
    // through.
    explicit GuiConverter(QString outputPath = {}, const std::atomic<bool>* cancel = nullptr)
        : m_outputPath(std::move(outputPath)) {
        cancelFlag = cancel;
        regularInputsOnly = true;
        freshOutputs = true;
        // The log shows a name as dropped, as each file's head line does,
        // and an option error as the dialog has always shown it.
        maskNames = false;
        explainOptionErrors = false;
    }

    void print(int stream, const char* format, ...) override ZEKT_PRINTF(3, 4);
    void processFile(bool check, const char* inputName, const char* outputName) override;
    int readBlock(std::uint8_t* data, int capacity) override;

    // Runs the engine on the options of the text and then the file, if any.
    void runOptionText(const QString& optionText, const QString& fileName);

    // Everything the engine printed, "\n" line ends.
    const QString& log() const { return m_log; }
    // How the file fared, as the engine's result for it says.
    FileOutcome outcome() const;
    // Called with the bytes read so far of the file in hand.
    std::function<void(qint64)> onRead;

private:
    QString m_outputPath;
    QString m_log;
    qint64 m_bytesRead = 0;
    bool m_processed = false;
};

// The option tokens of a text: each starts at a "-" and runs to the next
// blank, at most 15 characters; the byte after a token cut short is skipped.
std::vector<std::string> splitOptionText(std::string_view text);

// Memory ran out outside the engine's reach (a Qt string, say): the log
// says so, as the engine says it for a file, and the program goes on.
inline constexpr char noMemoryLine[] = "ZektWin: No enough memory.\n";

}  // namespace zektwin
