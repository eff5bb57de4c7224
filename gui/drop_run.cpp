#include "drop_run.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>

#include "file_converter.h"
#include "gui_converter.h"
#include "option_field.h"
#include "output_names.h"

namespace zektwin {
namespace {

namespace fs = std::filesystem;

fs::path toPath(const QByteArray& path) { return fs::path(path.toStdString()); }

QByteArray bytesOf(const fs::path& path) { return QByteArray::fromStdString(path.native()); }

QString shown(const QByteArray& path) { return QFile::decodeName(path); }

QByteArray joined(const QByteArray& folder, const QByteArray& name) {
    return folder.isEmpty() ? name : folder + '/' + name;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray() : path.left(slash);
}

QByteArray nameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// The last component of a dropped path ("tree/" is "tree").
QByteArray droppedName(QByteArray path) {
    while (path.size() > 1 && path.endsWith('/')) path.chop(1);
    return path == "/" ? QByteArray() : nameOf(path);
}

bool within(const QByteArray& path, const QByteArray& folder) {
    return path == folder || path.startsWith(folder + '/');
}

class FolderWalk {
public:
    FolderWalk(bool convert, const QByteArray& outputFolder, const std::atomic<bool>& cancel,
               std::vector<DropItem>& items)
        : m_convert(convert), m_outputDir(toPath(outputFolder)), m_cancel(cancel), m_items(items) {}

    // relative: the folder's path as its outputs and the log name it.
    void walk(const fs::path& folder, const QByteArray& relative) {
        std::vector<fs::directory_entry> entries;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            entries.push_back(*it);
        if (error) {
            m_items.push_back({bytesOf(folder), shown(relative), {}, error.value()});
            return;
        }
        std::ranges::sort(entries, [](const fs::directory_entry& a, const fs::directory_entry& b) {
            return naturalLess(bytesOf(a.path().filename()), bytesOf(b.path().filename()));
        });
        for (const fs::directory_entry& entry : entries)
            if (!m_cancel) visit(entry, relative);
    }

private:
    void visit(const fs::directory_entry& entry, const QByteArray& relative) {
        const QByteArray name = bytesOf(entry.path().filename());
        if (name.startsWith('.')) return;
        const QByteArray path = joined(relative, name);
        std::error_code error;
        const fs::file_status status = entry.symlink_status(error);
        if (fs::is_regular_file(status)) {
            m_items.push_back({bytesOf(entry.path()), shown(path), m_convert ? path : QByteArray()});
        } else if (fs::is_directory(status) && !isOutputFolder(entry.path())) {
            walk(entry.path(), path);
        }
    }

    // The converted files must not be walked and converted again.
    bool isOutputFolder(const fs::path& folder) const {
        std::error_code error;
        return m_convert && fs::equivalent(folder, m_outputDir, error);
    }

    const bool m_convert;
    const fs::path m_outputDir;
    const std::atomic<bool>& m_cancel;  // a large tree is left unwalked
    std::vector<DropItem>& m_items;
};

QString files(int count) { return QString::number(count) + (count == 1 ? " file" : " files"); }

QString characters(qint64 count) {
    return QString::number(count) + (count == 1 ? " character" : " characters");
}

// "SJIS [CRLF] KANA8 " as the log names the code and line end: "SJIS CRLF".
std::pair<QString, QString> foundCode(const std::string& checkText) {
    const QStringList words = QString::fromStdString(checkText).split(' ', Qt::SkipEmptyParts);
    QString code = words.value(0), lineEnd;
    for (const QString& word : words.mid(1)) {
        if (!word.startsWith('[') && lineEnd.isEmpty()) continue;
        lineEnd += (lineEnd.isEmpty() ? "" : " ") + word;
        if (word.endsWith(']')) break;
    }
    if (code.startsWith(QLatin1String("UTF"))) code.insert(3, '-');
    if (lineEnd.size() >= 2) lineEnd = lineEnd.mid(1, lineEnd.size() - 2);
    return {code, lineEnd};
}

int filesFrom(const std::vector<DropItem>& items, std::size_t first) {
    return static_cast<int>(std::count_if(items.begin() + static_cast<std::ptrdiff_t>(first), items.end(),
                                          [](const DropItem& item) { return item.folderError == 0; }));
}

constexpr int mostNumbers = 10000;  // past "memo (10000).txt" the output is skipped

}  // namespace

std::vector<DropItem> collectDropItems(const QList<QByteArray>& paths, bool convert,
                                       const QByteArray& outputFolder, const std::atomic<bool>& cancel) {
    QList<QByteArray> sorted = paths;
    std::ranges::sort(sorted, naturalLess);
    std::vector<DropItem> items;
    FolderWalk folders(convert, outputFolder, cancel, items);
    for (const QByteArray& path : sorted) {
        if (cancel) break;
        const QByteArray name = droppedName(path);
        std::error_code error;
        if (fs::is_directory(toPath(path), error))
            folders.walk(toPath(path), name);
        else
            items.push_back({path, shown(name), convert ? name : QByteArray()});
    }
    return items;
}

QString summaryLine(const DropTally& tally, bool convert, const QString& outputFolder) {
    QString line = files(tally.converted) + (convert ? " converted into " + outputFolder : " checked");
    QStringList notes;
    if (tally.renamed > 0) notes << QStringLiteral("%1 renamed").arg(tally.renamed);
    if (tally.substituted > 0) notes << QStringLiteral("%1 with substitutes").arg(tally.substituted);
    if (!notes.isEmpty()) line += " (" + notes.join(", ") + ')';
    if (tally.skipped > 0) line += QStringLiteral(", %1 skipped").arg(tally.skipped);
    if (tally.failed > 0) line += QStringLiteral(", %1 failed").arg(tally.failed);
    line += QLatin1Char('.');
    if (tally.cancelled) line += " Cancelled after " + files(tally.done) + '.';
    if (tally.notReached > 0) line += ' ' + files(tally.notReached) + " not reached.";
    return line + QLatin1Char('\n');
}

std::chrono::nanoseconds steadyTime() { return std::chrono::steady_clock::now().time_since_epoch(); }

bool ProgressThrottle::allow() {
    const std::chrono::nanoseconds now = m_clock();
    if (m_last && now - *m_last < interval) return false;
    m_last = now;
    return true;
}

DropRun::DropRun(QList<QByteArray> paths, DropOptions options, ProgressClock clock)
    : m_paths(std::move(paths)), m_options(std::move(options)), m_throttle(std::move(clock)) {}

void DropRun::run() {
    const std::vector<DropItem> items =
        collectDropItems(m_paths, m_options.convert, QFile::encodeName(m_options.outputFolder), m_cancel);
    m_found = filesFrom(items, 0);
    reportProgress();
    for (const DropItem& item : items) {
        struct stat st {};
        if (item.folderError == 0 && ::stat(item.input.constData(), &st) == 0)
            m_inputs.emplace(st.st_dev, st.st_ino);
    }
    // The options are read once for the drop.
    try {
        m_converter.emplace(m_options.words, !m_options.convert, &m_cancel);
        m_converter->takeOutputs([this](std::unique_ptr<zekt::FileReplacement> file, auto rule) {
            m_taken = std::move(file);
            m_takenRule = std::move(rule);
        });
    } catch (const std::bad_alloc&) {
        log(QString::fromLatin1(noMemoryLine), FAILED);
    }
    if (m_converter && m_options.convert) {
        m_folder.emplace(QFile::encodeName(m_options.outputFolder).constData());
        if (!m_folder->isOpen()) {
            log(m_options.outputFolder + ": " + strerrordesc_np(m_folder->openError()) + ".\n", FAILED);
            m_converter.reset();
        }
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (m_cancel) m_tally.cancelled = true;
        if (m_tally.cancelled) break;
        if (!m_converter || !handle(items[i])) {
            if (!m_tally.cancelled) m_tally.notReached = filesFrom(items, m_converter ? i + 1 : i);
            break;
        }
    }
    // What is still waiting counts once it is in place.
    if (!m_outputs.empty()) m_outputs.put();
    log(summaryLine(m_tally, m_options.convert, m_options.outputFolder));
}

void DropRun::log(const QString& text, LogMark mark) {
    if (!m_outputs.empty()) m_outputs.put();
    emit logged(text, mark);
}

bool DropRun::handle(const DropItem& item) {
    if (item.folderError != 0) {
        log(item.name + ": " + strerrordesc_np(item.folderError) + ".\n", FAILED);
        ++m_tally.failed;
        return true;
    }
    emit fileStarted(shown(item.input),
                     m_options.convert ? m_options.outputFolder + '/' + shown(item.output) : QString());
    const bool goOn = m_options.convert ? convert(item) : check(item);
    if (!m_tally.cancelled) ++m_tally.done;
    reportProgress();
    return goOn && !m_placingFailed;
}

// The engine's check line, as zekt -c shows it.
bool DropRun::check(const DropItem& item) {
    if (!runFile(item, {})) return false;
    const FileOutcome outcome = m_converter->outcome();
    note(outcome);
    log(m_converter->log() + '\n', outcome == FileOutcome::DONE ? PLAIN : FAILED);
    return outcome != FileOutcome::CANCELLED && !m_converter->fatalError();
}

bool DropRun::convert(const DropItem& item) {
    std::optional<zekt::OutputPlace> place = placeFor(item);
    if (!place) return true;
    if (!runFile(item, std::move(*place))) return false;
    const FileOutcome outcome = m_converter->outcome();
    note(outcome);
    const zekt::FileResult& result = m_converter->result();
    switch (outcome) {
        case FileOutcome::DONE: {
            if (!m_taken) break;
            m_written.insert(joined(folderOf(item.output), QByteArray::fromStdString(result.outputName)));
            const auto [code, lineEnd] = foundCode(result.checkText);
            const QString conversion = conversionText(m_options.words, code, lineEnd);
            const Losses losses{result.substitutes, result.selectorsLeftOut};
            m_outputs.add(std::move(m_taken), std::move(m_takenRule),
                          [this, item, conversion, losses](const OutputBatch::Placed& done) {
                              placed(item, conversion, losses, done);
                          });
            break;
        }
        case FileOutcome::CANCELLED: log(item.name + ": Cancelled.\n", FAILED); return false;
        case FileOutcome::SKIPPED: log(item.name + ": " + m_converter->reason() + ".\n"); break;
        default: log(item.name + ": " + m_converter->reason() + ".\n", FAILED); break;
    }
    // The output could not be written (a full disk, say) or memory ran
    // out: the rest of the drop would fail alike.
    return !m_converter->fatalError();
}

void DropRun::placed(const DropItem& item, const QString& conversion, Losses losses,
                     const OutputBatch::Placed& result) {
    if (!result.placed) {
        if (result.nameTaken) {
            ++m_tally.skipped;
            emit logged(item.name + ": Output exists; skipped.\n", PLAIN);
            return;
        }
        m_placingFailed = true;
        ++m_tally.failed;
        emit logged(item.name + ": " + strerrordesc_np(result.error) + ".\n", FAILED);
        return;
    }
    const QByteArray folder = folderOf(item.output), name = QByteArray::fromStdString(result.name);
    m_written.insert(joined(folder, name));
    ++m_tally.converted;
    if (name != nameOf(item.output)) ++m_tally.renamed;
    QString line = item.name + " → " + shown(joined(folder, name)) + " (" + conversion + ')';
    if (losses.substitutes > 0) {
        ++m_tally.substituted;
        line += " substituted: " + characters(losses.substitutes) + " replaced with 〓";
    }
    emit logged(line + '\n', losses.substitutes > 0 ? SUBSTITUTED : PLAIN);
    // As zekt says it.
    if (losses.selectors > 0)
        emit logged(item.name + ": " + QString::number(losses.selectors) +
                        (losses.selectors == 1 ? " variation selector" : " variation selectors") +
                        " left out.\n",
                    PLAIN);
}

std::optional<zekt::OutputPlace> DropRun::placeFor(const DropItem& item) {
    const QByteArray folder = folderOf(item.output), base = nameOf(item.output);
    const auto skip = [&](const QString& line) {
        if (!line.isEmpty()) log(line);
        ++m_tally.skipped;
        return std::nullopt;
    };
    for (const QByteArray& refused : m_refusedFolders)
        if (within(folder, refused)) return skip({});  // its line said so
    zekt::OutputFolder::Subfolder sub = m_folder->open(folder.toStdString());
    if (!sub.refused.empty()) {
        const QByteArray refused = QByteArray::fromStdString(sub.refused);
        m_refusedFolders.insert(refused);
        return skip(shown(refused) + ": Not a folder of yours; skipped.\n");
    }
    if (sub.error != 0) {
        log(item.name + ": " + strerrordesc_np(sub.error) + ".\n", FAILED);
        ++m_tally.failed;
        return std::nullopt;
    }
    QByteArray name = base;
    bool replace = false;
    struct stat st {};
    if (written(folder, base)) {
        name = freeName(sub.fd.get(), folder, base);
    } else if (fstatat(sub.fd.get(), base.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (m_inputs.contains({st.st_dev, st.st_ino}))
            return skip(item.name + ": Output would replace an input; skipped.\n");
        if (m_options.existing == Existing::SKIP) return skip(item.name + ": Output exists; skipped.\n");
        replace = m_options.existing == Existing::REPLACE;
        if (!replace) name = freeName(sub.fd.get(), folder, base);
    }
    if (name.isEmpty()) return skip(item.name + ": Output exists; skipped.\n");

    zekt::OutputPlace place;
    place.folder = std::move(sub.fd);
    place.name = name.toStdString();
    place.permissionLimit = sub.shared ? 0600 : 0777;
    // Taken meanwhile: never replaced, but renamed unless taken names are skipped.
    if (!replace && (m_options.existing != Existing::SKIP || name != base))
        place.nameTaken = [this, folder, base, n = 1](const std::string&) mutable {
            while (++n <= mostNumbers)
                if (const QByteArray next = numberedName(base, n); !written(folder, next))
                    return next.toStdString();
            return std::string();
        };
    else if (!replace)
        place.nameTaken = [](const std::string&) { return std::string(); };
    return place;
}

// The first "NAME (n).EXT" that neither this drop wrote nor the folder holds.
QByteArray DropRun::freeName(int folder, const QByteArray& folderPath, const QByteArray& name) const {
    for (int n = 2; n <= mostNumbers; ++n) {
        const QByteArray next = numberedName(name, n);
        struct stat st {};
        if (!written(folderPath, next) && fstatat(folder, next.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return next;
    }
    return {};
}

bool DropRun::written(const QByteArray& folderPath, const QByteArray& name) const {
    return m_written.contains(joined(folderPath, name));
}

// False when memory ran out (logged, the drop ends).
bool DropRun::runFile(const DropItem& item, zekt::OutputPlace place) {
    struct stat st {};
    const qint64 size = ::stat(item.input.constData(), &st) == 0 ? st.st_size : 0;
    m_fileBytes = size > largeFile ? size : 0;
    GuiConverter& converter = *m_converter;
    converter.onRead([this](qint64 bytes) {
        if (m_fileBytes > 0) reportProgress(bytes);
    });
    try {
        converter.convertFile(item.input, std::move(place));
    } catch (const std::bad_alloc&) {
        // The engine closed the file's streams; the rest would fail alike.
        log(item.name + ": " + QString::fromLatin1(noMemoryLine), FAILED);
        ++m_tally.failed;
        return false;
    }
    m_fileBytes = 0;
    return true;
}

void DropRun::note(FileOutcome outcome) {
    switch (outcome) {
        case FileOutcome::CANCELLED: m_tally.cancelled = true; break;
        case FileOutcome::DONE:  // a conversion counts once its output is in place
            if (!m_options.convert) ++m_tally.converted;
            break;
        case FileOutcome::SKIPPED: ++m_tally.skipped; break;
        case FileOutcome::REFUSED:
        case FileOutcome::FAILED: ++m_tally.failed; break;
        case FileOutcome::NONE: break;
    }
}

void DropRun::reportProgress(qint64 bytesDone) {
    if (!m_throttle.allow()) return;
    emit progressed(m_tally.done, m_found, bytesDone, m_fileBytes);
}

}  // namespace zektwin
