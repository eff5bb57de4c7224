// A drop, converted or checked on a thread of its own, so that the dialog
// stays responsive; it reports through signals only.
#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "gui_converter.h"
#include "output_batch.h"
#include "output_folder.h"

namespace zektwin {

// One entry of a drop: a file to convert or check, or a folder that could
// not be read. Paths are bytes, as the file system holds them.
struct DropItem {
    QByteArray input;
    QString name;         // as the log names it: the dropped item's name and the path below it
    QByteArray output;    // its path below the output folder (when converting)
    int folderError = 0;  // errno of a folder that could not be read (this is no file then)
};

// The dropped paths in natural order, each folder walked: its regular
// files in natural order, hidden entries, links, special files and (when
// converting) the output folder left out. A dropped folder keeps its name
// in the outputs. Once cancel is set the walk stops.
std::vector<DropItem> collectDropItems(const QList<QByteArray>& paths, bool convert,
                                       const QByteArray& outputFolder, const std::atomic<bool>& cancel);

// What becomes of an output whose name is taken by a file that was there
// before the drop.
enum class Existing { RENAME, REPLACE, SKIP };

struct DropOptions {
    QStringList words;  // the checked option words
    bool convert = true;
    QString outputFolder;
    Existing existing = Existing::RENAME;
};

struct DropTally {
    int done = 0;  // files handled, whatever became of them
    int converted = 0;
    int renamed = 0;
    int substituted = 0;
    int skipped = 0;
    int failed = 0;
    int notReached = 0;  // left when a failure ended the drop
    bool cancelled = false;
};

// "N files converted into FOLDER (R renamed, S with substitutes), K
// skipped, F failed." and so on.
QString summaryLine(const DropTally& tally, bool convert, const QString& outputFolder);

// How a log line is marked.
enum LogMark : int { PLAIN = 0, SUBSTITUTED = 1, FAILED = 2 };

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
    DropRun(QList<QByteArray> paths, DropOptions options, ProgressClock clock = steadyTime);

    // From any thread: the run stops after the block in hand. The thread's
    // interruption is requested too, for whatever waits on the thread.
    void cancel() {
        m_cancel = true;
        requestInterruption();
    }

    // Files bigger than this show their bytes in the progress too.
    static constexpr qint64 largeFile = 8 << 20;

signals:
    // Each file's log line (mark: a LogMark), and last the summary line.
    void logged(const QString& text, int mark);
    void fileStarted(const QString& input, const QString& output);
    // Through the throttle; fileBytes is 0 unless the file in hand is large.
    void progressed(int filesDone, int filesFound, qint64 bytesDone, qint64 fileBytes);

protected:
    void run() override;

private:
    // False when the rest of the drop is not to be processed.
    bool handle(const DropItem& item);
    bool check(const DropItem& item);
    bool convert(const DropItem& item);
    // Where the item's output goes, or nullopt (logged) when it is skipped.
    std::optional<zekt::OutputPlace> placeFor(const DropItem& item);
    QByteArray freeName(int folder, const QByteArray& folderPath, const QByteArray& name) const;
    bool written(const QByteArray& folderPath, const QByteArray& name) const;
    bool runFile(const DropItem& item, zekt::OutputPlace place);
    // The converted file's line once its output is in place.
    // What a file's conversion lost or left out.
    struct Losses {
        qint64 substitutes = 0, selectors = 0;
    };
    void placed(const DropItem& item, const QString& conversion, Losses losses,
                const OutputBatch::Placed& result);
    void note(FileOutcome outcome);
    // Lines come in the files' order: the outputs waiting are put in place
    // (and their lines logged) first.
    void log(const QString& text, LogMark mark = PLAIN);
    void reportProgress(qint64 bytesDone = 0);

    const QList<QByteArray> m_paths;
    const DropOptions m_options;
    std::optional<GuiConverter> m_converter;  // made from the options when the run starts
    std::optional<zekt::OutputFolder> m_folder;
    std::set<std::pair<dev_t, ino_t>> m_inputs;  // every input of the drop
    std::set<QByteArray> m_written;              // outputs made by this drop, below the folder
    std::set<QByteArray> m_refusedFolders;
    OutputBatch m_outputs;
    std::unique_ptr<zekt::FileReplacement> m_taken;  // the output of the file in hand, finished
    zekt::FileReplacement::NameTaken m_takenRule;
    bool m_placingFailed = false;  // an output could not be put in place: the disk is full, say
    std::atomic<bool> m_cancel{false};
    DropTally m_tally;
    int m_found = 0;
    qint64 m_fileBytes = 0;
    ProgressThrottle m_throttle;
};

}  // namespace zektwin
