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

#include "file_converter.h"

namespace zektwin {

// What became of the files a converter was given.
enum class FileOutcome { NONE, DONE, REFUSED, FAILED, CANCELLED };

class GuiConverter {
public:
    // The options of the text, read once for all the files it is used on.
    // Once *cancel is set, the pass stops before its next read and its
    // output is abandoned. A dropped FIFO or device is refused rather than
    // waited on; an output in the shared folder is never more readable
    // than its input, and a link planted at its name is replaced, not
    // written through.
    explicit GuiConverter(const QString& optionText, const std::atomic<bool>* cancel = nullptr);

    // Runs the options' line on the file, if any, its output going to
    // outputPath (empty: the standard output, which a check never writes
    // to). The log and the outcome are the file's.
    void convertFile(const QString& fileName, const QString& outputPath = {});

    // Everything the engine printed for the file, "\n" line ends.
    const QString& log() const { return m_log; }
    // How the file fared, as the engine's result for it says.
    FileOutcome outcome() const;
    // The output could not be written or memory ran out: the rest would
    // fail alike.
    bool fatalError() const { return m_converter.fatalError(); }
    // Called with the bytes read so far of the file in hand.
    void onRead(std::function<void(qint64)> progress);

private:
    zekt::FileConverter m_converter;
    std::vector<std::string> m_tokens;  // what the line's names point into
    zekt::CommandLine m_line;
    QString m_log;
    bool m_processed = false;
};

// The option tokens of a text: each starts at a "-" and runs to the next
// blank, at most 15 characters; the byte after a token cut short is skipped.
std::vector<std::string> splitOptionText(std::string_view text);

// Memory ran out outside the engine's reach (a Qt string, say): the log
// says so, as the engine says it for a file, and the program goes on.
inline constexpr char noMemoryLine[] = "ZektWin: No enough memory.\n";

}  // namespace zektwin
