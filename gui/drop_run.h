// A drop, converted or checked on a thread of its own, so that the dialog
// stays responsive; it reports through signals only.
#pragma once

#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "gui_converter.h"

namespace zektwin {

// One entry of a drop: a file to convert or check, or a folder that could
// not be read.
struct DropItem {
    QString input;   // as the engine is given it
    QString name;    // as the log names it: relative to a dropped folder
    QString output;  // empty in check mode
    bool unreadableFolder = false;
};

// The dropped paths with each folder walked: its regular files in name
// order, hidden entries, links, special files and the output folder left
// out. The outputs are set only when converting. Once cancel is set the
// walk stops.
std::vector<DropItem> collectDropItems(const QStringList& paths, bool convert, const QString& outputFolder,
                                       const std::atomic<bool>& cancel);

// The output file for a name relative to the folder: "/" between them
// unless the folder already ends in one.
QString outputPathFor(const QString& folder, const QString& relativeName);

// True when both texts are equal or both name one existing file.
bool sameFile(const QString& a, const QString& b);

struct DropTally {
    int done = 0;  // files handled, whatever became of them
    int converted = 0;
    int refused = 0;
    int failed = 0;
    bool cancelled = false;
    bool sameFile = false;  // stopped by an output that is its own input
};

// "N files converted into FOLDER, N refused, N failed." and so on.
QString summaryLine(const DropTally& tally, bool convert, const QString& outputFolder);

// The time on a clock that never goes back.
using ProgressClock = std::function<std::chrono::nanoseconds()>;
std::chrono::nanoseconds steadyTime();

// Lets the first report through, then each one that comes at least
// interval after the last one let through. The clock is given so that
// tests set the time.
class ProgressThrottle {
public:
    static constexpr std::chrono::milliseconds interval{50};  // at most 20 reports a second

    explicit ProgressThrottle(ProgressClock clock) : m_clock(std::move(clock)) {}
    bool allow();

private:
    ProgressClock m_clock;
    std::optional<std::chrono::nanoseconds> m_last;
};

class DropRun : public QThread {
    Q_OBJECT

public:
    DropRun(QStringList paths, QString optionText, bool convert, QString outputFolder,
            ProgressClock clock = steadyTime);

    // From any thread: the run stops after the block in hand. The thread's
    // interruption is requested too, for whatever waits on the thread.
    void cancel() {
        m_cancel = true;
        requestInterruption();
    }

    // Files bigger than this show their bytes in the progress too.
    static constexpr qint64 largeFile = 8 << 20;

signals:
    // Each file's log lines, and last the summary line.
    void logged(const QString& text);
    // The drop stopped at a file that would be written onto itself.
    void sameFileFound();
    void fileStarted(const QString& input, const QString& output);
    // Through the throttle; fileBytes is 0 unless the file in hand is large.
    void progressed(int filesDone, int filesFound, qint64 bytesDone, qint64 fileBytes);

protected:
    void run() override;

private:
    bool handle(const DropItem& item);
    void convertFile(const DropItem& item);
    void reportProgress(qint64 bytesDone = 0);

    const QStringList m_paths;
    const QString m_optionText;
    std::optional<GuiConverter> m_converter;  // made from the options when the run starts
    const bool m_convert;
    const QString m_outputFolder;
    std::atomic<bool> m_cancel{false};
    DropTally m_tally;
    int m_found = 0;
    qint64 m_fileBytes = 0;
    ProgressThrottle m_throttle;
};

}  // namespace zektwin
