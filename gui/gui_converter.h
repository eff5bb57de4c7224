// The engine's front end in ZektWin: files in, files out at the places the
// drop gives, every message into the converter's own log. It is made, used
// and dropped on one thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "file_converter.h"

namespace zektwin {

// What became of the files a converter was given.
enum class FileOutcome { NONE, DONE, REFUSED, FAILED, CANCELLED, SKIPPED };

class GuiConverter {
public:
    // The option words, read once for all the files they are used on (in
    // check mode with -c after them). Once *cancel is set, the pass stops
    // before its next read and its output is abandoned. A dropped FIFO or
    // device is refused rather than waited on; an output is never more
    // readable than its input, and a link planted at its name is replaced,
    // not written through.
    explicit GuiConverter(const QStringList& words, bool check = false,
                          const std::atomic<bool>* cancel = nullptr);

    // Converts or checks the file; a conversion writes to place.
    void convertFile(const QByteArray& fileName, zekt::OutputPlace place = {});

    // Everything the engine printed for the file, "\n" line ends.
    const QString& log() const { return m_log; }
    // How the file fared, as the engine's result for it says.
    FileOutcome outcome() const;
    const zekt::FileResult& result() const { return m_converter.fileResult(); }
    // Why the file failed or was refused, as a person reads it: the
    // system's reason where there is one.
    QString reason() const;
    // The output could not be written or memory ran out: the rest would
    // fail alike.
    bool fatalError() const { return m_converter.fatalError(); }
    // Called with the bytes read so far of the file in hand.
    void onRead(std::function<void(qint64)> progress);
    // Takes each finished output instead of putting it in place.
    void takeOutputs(
        std::function<void(std::unique_ptr<zekt::FileReplacement>, zekt::FileReplacement::NameTaken)> take) {
        m_converter.takeFreshOutput = std::move(take);
    }

private:
    zekt::FileConverter m_converter;
    std::vector<std::string> m_words;  // what the line's names point into
    zekt::CommandLine m_line;
    QString m_log;
    bool m_processed = false;
};

// Memory ran out outside the engine's reach (a Qt string, say): the log
// says so, as the engine says it for a file, and the program goes on.
inline constexpr char noMemoryLine[] = "ZektWin: No enough memory.\n";

}  // namespace zektwin
