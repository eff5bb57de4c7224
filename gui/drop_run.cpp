#include "drop_run.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>

#include "file_converter.h"
#include "gui_converter.h"

namespace zektwin {
namespace {

namespace fs = std::filesystem;

fs::path toPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

QString fromPath(const fs::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.native())); }

bool statFile(const QString& path, struct stat& st) {
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

class FolderWalk {
public:
    FolderWalk(bool convert, const QString& outputFolder, const std::atomic<bool>& cancel,
               std::vector<DropItem>& items)
        : m_convert(convert),
          m_outputFolder(outputFolder),
          m_outputDir(toPath(outputFolder)),
          m_cancel(cancel),
          m_items(items) {}

    // name: how the log names the folder; relative: its path below the
    // dropped folder (empty for the dropped folder itself).
    void walk(const fs::path& folder, const QString& name, const QString& relative) {
        std::vector<fs::directory_entry> entries;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            entries.push_back(*it);
        if (error) {
            m_items.push_back({fromPath(folder), name, {}, true});
            return;
        }
        std::ranges::sort(entries, {},
                          [](const fs::directory_entry& e) { return e.path().filename().native(); });
        for (const fs::directory_entry& entry : entries)
            if (!m_cancel) visit(entry, relative);
    }

private:
    void visit(const fs::directory_entry& entry, const QString& relative) {
        const QString name = fromPath(entry.path().filename());
        if (name.startsWith(QLatin1Char('.'))) return;
        const QString path = relative.isEmpty() ? name : relative + QLatin1Char('/') + name;
        std::error_code error;
        const fs::file_status status = entry.symlink_status(error);
        if (fs::is_regular_file(status)) {
            m_items.push_back(
                {fromPath(entry.path()), path, m_convert ? outputPathFor(m_outputFolder, path) : QString()});
        } else if (fs::is_directory(status) && !isOutputFolder(entry.path())) {
            walk(entry.path(), path, path);
        }
    }

    // The converted files must not be walked and converted again.
    bool isOutputFolder(const fs::path& folder) const {
        std::error_code error;
        return m_convert && fs::equivalent(folder, m_outputDir, error);
    }

    const bool m_convert;
    const QString& m_outputFolder;
    const fs::path m_outputDir;
    const std::atomic<bool>& m_cancel;  // a large tree is left unwalked
    std::vector<DropItem>& m_items;
};

QString files(int count) { return QString::number(count) + (count == 1 ? " file" : " files"); }

}  // namespace

std::vector<DropItem> collectDropItems(const QStringList& paths, bool convert, const QString& outputFolder,
                                       const std::atomic<bool>& cancel) {
    std::vector<DropItem> items;
    FolderWalk folders(convert, outputFolder, cancel, items);
    for (const QString& path : paths) {
        std::error_code error;
        if (fs::is_directory(toPath(path), error)) {
            folders.walk(toPath(path), path, {});
            continue;
        }
        const QString name = QFileInfo(path).fileName();
        items.push_back({path, name, convert ? outputPathFor(outputFolder, name) : QString()});
    }
    return items;
}

QString outputPathFor(const QString& folder, const QString& relativeName) {
    const QString separator = folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    return folder + separator + relativeName;
}

// Device and inode catch every other spelling of one file: "./a.txt", a
// doubled "/", a symbolic link, a hard link.
bool sameFile(const QString& a, const QString& b) {
    if (a == b) return true;
    struct stat sa {
    }, sb{};
    return statFile(a, sa) && statFile(b, sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString summaryLine(const DropTally& tally, bool convert, const QString& outputFolder) {
    QString line = files(tally.converted) + (convert ? " converted into " + outputFolder : " checked");
    if (tally.refused > 0) line += QStringLiteral(", %1 refused").arg(tally.refused);
    if (tally.failed > 0) line += QStringLiteral(", %1 failed").arg(tally.failed);
    line += QLatin1Char('.');
    if (tally.cancelled) line += " Cancelled after " + files(tally.done) + '.';
    return line + QLatin1Char('\n');
}

std::chrono::nanoseconds steadyTime() { return std::chrono::steady_clock::now().time_since_epoch(); }

bool ProgressThrottle::allow() {
    const std::chrono::nanoseconds now = m_clock();
    if (m_last && now - *m_last < interval) return false;
    m_last = now;
    return true;
}

DropRun::DropRun(QStringList paths, QString optionText, bool convert, QString outputFolder,
                 ProgressClock clock)
    : m_paths(std::move(paths)),
      m_optionText(std::move(optionText)),
      m_convert(convert),
      m_outputFolder(std::move(outputFolder)),
      m_throttle(std::move(clock)) {}

void DropRun::run() {
    const std::vector<DropItem> items = collectDropItems(m_paths, m_convert, m_outputFolder, m_cancel);
    m_found = static_cast<int>(std::ranges::count(items, false, &DropItem::unreadableFolder));
    reportProgress();
    // The options are read once for the drop.
    try {
        m_converter.emplace(m_convert ? m_optionText : m_optionText + QStringLiteral(" -c"), &m_cancel);
    } catch (const std::bad_alloc&) {
        emit logged(QString::fromLatin1(noMemoryLine));
    }
    for (const DropItem& item : items) {
        if (!m_converter) break;
        if (m_cancel) m_tally.cancelled = true;
        if (m_tally.cancelled || !handle(item)) break;
    }
    emit logged(summaryLine(m_tally, m_convert, m_outputFolder));
    if (m_tally.sameFile) emit sameFileFound();
}

// False when the rest of the drop is not to be processed.
bool DropRun::handle(const DropItem& item) {
    if (item.unreadableFolder) {
        emit logged(item.name + ": " + zekt::fileErrorText(zekt::CANNOT_OPEN) + ".\n");
        ++m_tally.failed;
        return true;
    }
    emit fileStarted(item.input, item.output);
    const QString head = m_convert ? item.name + QLatin1Char(':') : QString();
    if (m_convert && sameFile(item.input, item.output)) {
        emit logged(head + QLatin1Char('\n'));
        ++m_tally.failed;
        m_tally.sameFile = true;
        return false;
    }
    if (m_convert) QDir().mkpath(QFileInfo(item.output).path());

    const qint64 size = QFileInfo(item.input).size();
    m_fileBytes = size > largeFile ? size : 0;
    GuiConverter& converter = *m_converter;
    converter.onRead([this](qint64 bytes) {
        if (m_fileBytes > 0) reportProgress(bytes);
    });
    try {
        converter.convertFile(item.input, item.output);
    } catch (const std::bad_alloc&) {
        // The engine closed the file's streams; the rest would fail alike.
        emit logged(head + QString::fromLatin1(noMemoryLine));
        ++m_tally.failed;
        return false;
    }
    m_fileBytes = 0;
    emit logged(head + converter.log() + QLatin1Char('\n'));

    switch (converter.outcome()) {
        case FileOutcome::CANCELLED: m_tally.cancelled = true; return false;
        case FileOutcome::DONE: ++m_tally.converted; break;
        case FileOutcome::REFUSED: ++m_tally.refused; break;
        case FileOutcome::FAILED: ++m_tally.failed; break;
        case FileOutcome::NONE: break;
    }
    ++m_tally.done;
    reportProgress();
    // The output could not be written (a full disk, say) or memory ran
    // out: the rest of the drop would fail alike.
    return !converter.fatalError();
}

void DropRun::reportProgress(qint64 bytesDone) {
    if (!m_throttle.allow()) return;
    emit progressed(m_tally.done, m_found, bytesDone, m_fileBytes);
}

}  // namespace zektwin
