// ZektWin on the offscreen platform: the real dialog, drops sent through its
// window as the window system would, files in temporary folders.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>

#include "drop_run.h"
#include "drop_target.h"
#include "gui_converter.h"
#include "resources.h"
#include "zektwin_app.h"
#include "zektwin_dlg.h"

using namespace zektwin;

namespace {

const QByteArray eucAiLf("\xA4\xA2\n");       // "あ" LF in EUC
const QByteArray sjisAiCrlf("\x82\xA0\r\n");  // the same, SJIS CR LF
const QByteArray utf8AiLf("\xE3\x81\x82\n");  // the same, UTF-8 LF

using std::chrono::nanoseconds;
constexpr nanoseconds interval = std::chrono::milliseconds(50);  // at most 20 reports a second

// The clock the dialog's drops are given: each reading a full interval
// after the last, so that every progress report passes. At reading
// holdAt (on the drop's thread) it sets reached and waits until released
// or until the drop is cancelled: the test then acts while a file is half
// done, whatever the machine's speed or load.
struct HeldClock {
    std::atomic<int> readings{0};
    int holdAt = 0;  // 0: never
    std::atomic<bool> reached{false}, released{false};

    nanoseconds operator()() {
        const int n = ++readings;
        if (n == holdAt) {
            reached = true;
            while (!released && !QThread::currentThread()->isInterruptionRequested()) QThread::msleep(1);
        }
        return n * interval;
    }
};

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace

class ZektWinTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CZektWinApp> app;
    std::unique_ptr<CZektWinDlg> dlg;
    std::unique_ptr<QTemporaryDir> in, out;
    QTemporaryDir shared;  // the large input, made once
    QString big;
    QStringList messages, browseTitles;  // what the message box and folder browser were shown
    QString browseResult, startFolder;
    std::unique_ptr<HeldClock> clock;

    template <typename T = QWidget>
    T* control(const char* name) {
        T* widget = dlg->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    QString log() { return control<QPlainTextEdit>(IDC_MESSAGES)->toPlainText(); }
    QString inPath(const char* name) { return in->filePath(QString::fromLatin1(name)); }
    QString outPath(const char* name) { return out->filePath(QString::fromLatin1(name)); }
    bool outputFolderEmpty() {
        return QDir(out->path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // The summary line that ends a drop into the output folder.
    QString into(const char* counts, const char* rest = "") {
        return QString::fromLatin1(counts) + " converted into " + out->path() + rest + ".\n";
    }
    QString input(const char* name, const QByteArray& bytes) {
        QFile file(inPath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", name);
        return file.fileName();
    }
    void setOutputFolder(const QString& folder) {
        browseResult = folder;
        control<QPushButton>(IDC_CHANGE_FOLDER)->click();
    }

    // A drag into the dialog's window over the widget, as the window system
    // sends it, then left or dropped; true if the dialog accepts it.
    bool drag(QWidget* over, const QMimeData& data, bool thenDrop = false) {
        const QPoint pos = over->mapTo(dlg.get(), over->rect().center());
        QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(dlg->windowHandle(), &enter);
        if (!thenDrop) {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(dlg->windowHandle(), &leave);
            return enter.isAccepted();
        }
        QDropEvent event(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(dlg->windowHandle(), &event);
        QCoreApplication::processEvents();  // the files are handled after the drop
        return event.isAccepted();
    }
    void drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QVERIFY(drag(control(IDC_DROP_ZONE), data, true));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->dropRunning(), 60000);
    }
    // Starts a drop of the large file and returns once it is held after the
    // file's second block, its output being written and its first bytes
    // reported (readings: the drop's start, each block).
    void startLargeDrop(const QStringList& more = {}) {
        clock->holdAt = 3;
        dlg->dropTarget().OnDropFiles(QStringList{big} + more);
        QVERIFY(dlg->dropRunning());
        QVERIFY(!control(IDC_DROP_ZONE)->isEnabled() && !control(IDC_OPTIONS)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(clock->reached, 60000);
        QVERIFY(dlg->dropRunning());
        QVERIFY(!outputFolderEmpty());
    }

private slots:
    void initTestCase() {
        big = shared.filePath(QStringLiteral("big.txt"));
        QFile file(big);
        const QByteArray bytes = eucAiLf.repeated(3 << 20);  // 9 MiB: large, its bytes reported
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    void init() {
        dlg.reset();  // before the application it refers to
        app = std::make_unique<CZektWinApp>();
        messages = browseTitles = {};
        app->showMessage = [this](QWidget*, const QString& text) { messages << text; };
        app->browseFolder = [this](QWidget*, const QString& title, const QString&) {
            browseTitles << title;
            return browseResult;
        };
        clock = std::make_unique<HeldClock>();
        app->progressClock = [c = clock.get()] { return (*c)(); };
        dlg = std::make_unique<CZektWinDlg>(*app);
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        in = std::make_unique<QTemporaryDir>();
        out = std::make_unique<QTemporaryDir>();
        startFolder = control<QLineEdit>(IDC_OUTPUT_FOLDER)->text();
        setOutputFolder(out->path());
    }

    // A drop a failed test left held is cancelled before its clock goes.
    void cleanup() { dlg.reset(); }

    void startStateAndModes() {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("ZektWin"));
        QVERIFY(control<QRadioButton>(IDC_RADIO_CONVERT)->isChecked());
        QCOMPARE(startFolder, QDir::tempPath());

        QTest::mouseClick(control(IDC_RADIO_CHECK), Qt::LeftButton);
        QVERIFY(app->m_checkMode);
        QVERIFY(!control(IDC_OUTPUT_FOLDER)->isEnabled() && !control(IDC_CHANGE_FOLDER)->isEnabled());
        QTest::mouseClick(control(IDC_RADIO_CONVERT), Qt::LeftButton);
        QVERIFY(!app->m_checkMode && control(IDC_CHANGE_FOLDER)->isEnabled());

        setOutputFolder(QString());  // cancelled
        QCOMPARE(app->m_outputFolder, out->path());
        QCOMPARE(browseTitles, QStringList(2, QString::fromUtf8("出力先フォルダの選択")));
    }

    // A trailing "/" on the folder still gives one separator before the name.
    void dropConvertsIntoFolder() {
        setOutputFolder(out->path() + "/");
        drop({input("a.txt", eucAiLf), input("b", "b\n")});
        QCOMPARE(log(), "a.txt:\nb:\n" + into("2 files", "/"));
        QCOMPARE(readFile(outPath("a.txt")), sjisAiCrlf);
        QCOMPARE(readFile(outPath("b")), QByteArray("b\r\n"));
        QCOMPARE(app->m_outputPath, outPath("b"));
    }

    void checkModeLogsFullNames() {
        QTest::mouseClick(control(IDC_RADIO_CHECK), Qt::LeftButton);
        drop({input("a.txt", eucAiLf), input("c.txt", "x\r\n"), input("u.txt", utf8AiLf)});
        QCOMPARE(log(), inPath("a.txt") + ": EUC [LF] \n\n" + inPath("c.txt") + ": ASCII [CRLF] \n\n" +
                            inPath("u.txt") + ": UTF8 [LF] \n\n3 files checked.\n");
        QVERIFY(outputFolderEmpty());
    }

    // The log shows a name as dropped, control characters and all, as the
    // head line of a converted file does.
    void checkModeKeepsNamesAsDropped() {
        QTest::mouseClick(control(IDC_RADIO_CHECK), Qt::LeftButton);
        drop({input("t\tab.txt", eucAiLf)});
        QCOMPARE(log(), inPath("t\tab.txt") + ": EUC [LF] \n\n1 file checked.\n");
    }

    // A refused input leaves nothing behind, and a name is never a format.
    void refusedInputLeavesNoFile() {
        drop({input("100%s%n.txt", QByteArray("a\0b\n", 4)), inPath("missing.txt")});
        QCOMPARE(log(), "100%s%n.txt:" + inPath("100%s%n.txt") + ": Not a text file.\n\n" +
                            "missing.txt:" + inPath("missing.txt") + ": No such a file.\n\n" +
                            into("0 files", ", 1 refused, 1 failed"));
        QVERIFY(outputFolderEmpty());
    }

    // A character the output lacks is reported in its file's line.
    void substitutesAreReported() {
        drop({input("e.txt", "\xF0\x9F\x98\x80\n"), input("a.txt", eucAiLf)});
        QCOMPARE(log(), "e.txt:" + inPath("e.txt") +
                            ": 1 character replaced with the substitute mark.\n\na.txt:\n" + into("2 files"));
        QCOMPARE(readFile(outPath("e.txt")), QByteArray("\x81\xAC\r\n"));
    }

    void optionTexts_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QByteArray>("output");  // empty: nothing written, option error logged
        QTest::newRow("-e -lf") << "-e -lf" << eucAiLf;
        QTest::newRow("no dashes") << "e lf" << sjisAiCrlf;
        QTest::newRow("unknown") << "-xyz" << QByteArray();
    }
    void optionTexts() {
        QFETCH(QString, options);
        QFETCH(QByteArray, output);
        control<QLineEdit>(IDC_OPTIONS)->setText(options);
        drop({input("a.txt", eucAiLf), input("b.txt", eucAiLf)});
        const QString error =
            output.isEmpty() ? QStringLiteral("zekt: option error! Try, \n\"zekt -h\n\"") : QString();
        QCOMPARE(log(), "a.txt:" + error + "\nb.txt:" + error + "\n" +
                            (output.isEmpty() ? into("0 files", ", 2 failed") : into("2 files")));
        QCOMPARE(readFile(outPath("b.txt")), output.isEmpty() ? QByteArray("<missing>") : output);
    }

    // ZektWin has no standard input: "-" names none, and the file is done.
    void dashNamesNoStandardInput() {
        control<QLineEdit>(IDC_OPTIONS)->setText(QStringLiteral("- -e"));
        drop({input("a.txt", eucAiLf)});
        QCOMPARE(log(), "a.txt:(stdin): Cannot open a file.\n\n" + into("1 file"));
        QCOMPARE(readFile(outPath("a.txt")), QByteArray("\xA4\xA2\r\n"));
    }

    // Tokens start at "-" and end at a C-locale blank or after 15 bytes; the
    // byte after a cut is dropped.
    void splitOptionText_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<QByteArray>>("tokens");
        const auto row = [](const char* name, const char* text, const QList<QByteArray>& tokens) {
            QTest::newRow(name) << QByteArray(text) << tokens;
        };
        row("no dash", "e lf \xA4\xA2", {});
        row("several", "  -e  -lf -jKANA8 -", {"-e", "-lf", "-jKANA8", "-"});
        row("dash inside", "-e-lf x-y --", {"-e-lf", "-y", "--"});
        row("every blank", "-a -b\t-c\n-d\v-e\f-f\r-g", {"-a", "-b", "-c", "-d", "-e", "-f", "-g"});
        row("no other blank", "-a\x1C\x85\xA0\xFF-b", {"-a\x1C\x85\xA0\xFF-b"});
        row("15", "-abcdefghijklmn -x", {"-abcdefghijklmn", "-x"});
        row("16", "-abcdefghijklmno -x", {"-abcdefghijklmn", "-x"});
        row("16 at end", "-abcdefghijklmno", {"-abcdefghijklmn"});
        row("cut at a dash", "-abcdefghijklmn-x", {"-abcdefghijklmn"});
        row("cut before a dash", "-abcdefghijklmno-x", {"-abcdefghijklmn", "-x"});
        row("cut twice", "-abcdefghijklmnX-opqrstuvwxyzABC -c", {"-abcdefghijklmn", "-opqrstuvwxyzAB", "-c"});
        row("bytes, not characters", "-\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88\xE3\x81\x8A -x",
            {"-\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88\xE3\x81", "-x"});
    }
    void splitOptionText() {
        QFETCH(QByteArray, text);
        QFETCH(QList<QByteArray>, tokens);
        QList<QByteArray> split;
        for (const std::string& token :
             zektwin::splitOptionText({text.constData(), std::size_t(text.size())}))
            split << QByteArray::fromStdString(token);
        QCOMPARE(split, tokens);
    }

    // A failed write ends the drop and leaves nothing in the folder, not even
    // the hidden file the output is written to; the dialog carries on.
    void writeFailureEndsTheDrop() {
        const QString big = input("big.txt", eucAiLf.repeated(100000));  // 400 000 bytes as SJIS
        const QString small = input("small.txt", eucAiLf);
        // Past 64 KiB a write fails (EFBIG, the signal ignored), as on a full disk.
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, handler);
        });
        const rlimit limit{64 * 1024, old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        drop({big, small});
        QCOMPARE(log(), "big.txt:" + outPath("big.txt") + ": Cannot write a file.\n\n" +
                            into("0 files", ", 1 failed"));
        QVERIFY(outputFolderEmpty());
        QVERIFY(dlg->isVisible());
        drop({small});  // it fits: the first drop stopped short of it
        QCOMPARE(log(), "small.txt:\n" + into("1 file"));
        QCOMPARE(readFile(outPath("small.txt")), sjisAiCrlf);
    }

    // The input's own file, reached through a hard link in the output
    // folder, is refused and the rest of the drop is skipped.
    void sameFileGuard() {
        const QString a = input("a.txt", eucAiLf);
        QCOMPARE(::link(QFile::encodeName(a), QFile::encodeName(outPath("a.txt"))), 0);
        drop({a, input("b.txt", eucAiLf)});
        QCOMPARE(messages, QStringList(QString::fromUtf8("入力ファイルと出力ファイルが同じです")));
        QCOMPARE(log(), "a.txt:\n" + into("0 files", ", 1 failed"));
        QCOMPARE(readFile(a), eucAiLf);
        QVERIFY(!QFile::exists(outPath("b.txt")));
    }

    // Another user's link planted in the shared folder is replaced, not
    // written through; a private input gives a private output; a FIFO is
    // refused without being opened (this test would hang otherwise).
    void outputsAreFreshAndPrivate() {
        QTemporaryDir victimDir;
        const QString victim = victimDir.filePath(QStringLiteral(".bashrc"));
        QVERIFY(QFile::copy(input("x", "victim\n"), victim));
        QVERIFY(QFile::link(victim, outPath("notes.txt")));
        const QString notes = input("notes.txt", eucAiLf), secret = input("secret.txt", eucAiLf);
        QVERIFY(QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner));
        const QByteArray fifo = QFile::encodeName(inPath("fifo"));
        QCOMPARE(mkfifo(fifo.constData(), 0644), 0);
        drop({notes, secret, inPath("fifo")});
        QCOMPARE(log(), "notes.txt:\nsecret.txt:\nfifo:" + inPath("fifo") + ": Not a regular file.\n\n" +
                            into("2 files", ", 1 refused"));
        QCOMPARE(readFile(victim), QByteArray("victim\n"));
        QVERIFY(!QFileInfo(outPath("notes.txt")).isSymLink());
        QCOMPARE(readFile(outPath("notes.txt")), sjisAiCrlf);
        QCOMPARE(QFile::permissions(outPath("secret.txt")),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        QVERIFY(!QFile::exists(outPath("fifo")));

        // With an ACL the group bits are its mask: the owning group gets no
        // more than its own entry gave it.
        const QString shared = input("shared.txt", eucAiLf);
        const QByteArray command = "setfacl -m g::r,u:daemon:rw,o::- '" + QFile::encodeName(shared) + "'";
        if (std::system(command.constData()) != 0) QSKIP("setfacl is not available");
        drop({shared});
        QCOMPARE(QFile::permissions(outPath("shared.txt")), QFile::ReadOwner | QFile::WriteOwner |
                                                                QFile::ReadUser | QFile::WriteUser |
                                                                QFile::ReadGroup);
    }

    // Help adds to the log each time; the next drop starts it afresh.
    void helpTwice() {
        for (int i = 0; i < 2; ++i) control<QPushButton>(IDC_HELP_BUTTON)->click();
        const QString help = QString::fromLatin1(readFile(QStringLiteral(ZEKT_HELP_TEXT)));
        QCOMPARE(log(), help + help);
        drop({input("a.txt", eucAiLf)});
        QCOMPARE(log(), "a.txt:\n" + into("1 file"));
    }

    // Text widgets take text drops by default, and file drags carry text too.
    void onlyTheDropAreaTakesDrops() {
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(in->path())});
        files.setText(QStringLiteral("text"));
        for (const char* name : {IDC_RADIO_CONVERT, IDC_OUTPUT_FOLDER, IDC_CHANGE_FOLDER, IDC_OPTIONS,
                                 IDC_HELP_BUTTON, IDC_MESSAGES})
            QVERIFY2(!drag(control(name), files), name);
        QVERIFY(drag(control(IDC_DROP_ZONE), files));
    }
    // A folder's regular files, in name order, into the same relative paths;
    // hidden entries, links, special files and the output folder itself
    // (here inside the tree) are passed over, so a second drop is the same.
    void folderTree() {
        QDir tree(in->path());
        for (const char* folder : {"sub/deeper", "empty", ".hidden", "converted"})
            QVERIFY(tree.mkpath(folder));
        for (const char* name : {"sub/deeper/c.txt", "sub/b.txt", "a.txt", ".dot.txt", ".hidden/d.txt"})
            input(name, eucAiLf);
        QVERIFY(QFile::link(inPath("a.txt"), inPath("link.txt")));
        QVERIFY(QFile::link(inPath("sub"), inPath("linked")));
        QCOMPARE(::mkfifo(QFile::encodeName(inPath("fifo")).constData(), 0600), 0);
        setOutputFolder(inPath("converted"));
        for (int i = 0; i < 2; ++i) {
            drop({in->path()});
            QCOMPARE(log(), "a.txt:\nsub/b.txt:\nsub/deeper/c.txt:\n3 files converted into " +
                                inPath("converted") + ".\n");
        }
        QStringList written;
        QDirIterator it(inPath("converted"), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) written << it.next().mid(inPath("converted").size() + 1);
        written.sort();
        QCOMPARE(written, QStringList({"a.txt", "sub", "sub/b.txt", "sub/deeper", "sub/deeper/c.txt"}));
        QCOMPARE(readFile(inPath("converted/sub/deeper/c.txt")), sjisAiCrlf);
        QTest::mouseClick(control(IDC_RADIO_CHECK), Qt::LeftButton);
        drop({inPath("sub")});
        QCOMPARE(log(), inPath("sub/b.txt") + ": EUC [LF] \n\n" + inPath("sub/deeper/c.txt") +
                            ": EUC [LF] \n\n2 files checked.\n");
    }

    // The event loop runs while a large file converts: a timer fires and the
    // progress shows the file's bytes while the drop is held half-way.
    void largeDropKeepsTheWindowAlive() {
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ticks += dlg->dropRunning(); });
        timer.start(0);
        startLargeDrop();
        if (QTest::currentTestFailed()) return;
        QTRY_VERIFY_WITH_TIMEOUT(ticks > 0, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(control<QProgressBar>(IDC_PROGRESS)->text(),
                                  QStringLiteral("0 / 1  (0 / 9 MiB)"), 60000);
        QVERIFY(control(IDC_PROGRESS)->isVisible());
        clock->released = true;
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->dropRunning(), 60000);
        QVERIFY(!control(IDC_PROGRESS)->isVisible() && control(IDC_DROP_ZONE)->isEnabled());
        QCOMPARE(log(), "big.txt:\n" + into("1 file"));
        QCOMPARE(QFileInfo(outPath("big.txt")).size(), QFileInfo(big).size() / 3 * 4);
    }

    // The throttle's own rule, on times the test sets: the first report
    // passes whatever the time, then the first that comes a full interval
    // after the last one let through.
    void throttle_data() {
        QTest::addColumn<QList<qint64>>("times");  // ns
        QTest::addColumn<QList<bool>>("passed");
        const qint64 i = nanoseconds(interval).count(), late = 1000 * i;
        const auto row = [](const char* name, const QList<qint64>& times, const QList<bool>& passed) {
            QTest::newRow(name) << times << passed;
        };
        row("first at zero", {0}, {true});
        row("first late", {late}, {true});
        row("a nanosecond short", {late, late + i - 1}, {true, false});
        row("exactly the interval", {late, late + i}, {true, true});
        row("same time", {0, 0, 0}, {true, false, false});
        row("since the last let through", {0, i / 2, i, i + i / 2, 2 * i - 1, 2 * i, 3 * i + 1},
            {true, false, true, false, false, true, true});
    }
    void throttle() {
        QFETCH(QList<qint64>, times);
        QFETCH(QList<bool>, passed);
        qsizetype next = 0;
        ProgressThrottle throttle([&] { return nanoseconds(times.value(next++)); });
        QList<bool> allowed;
        for (qsizetype k = 0; k < times.size(); ++k) allowed << throttle.allow();
        QCOMPARE(allowed, passed);
    }

    // A drop reports as it starts, as each file ends and, in a large file,
    // as each block is read: each through the throttle on the drop's clock.
    void dropRunReportsThroughTheThrottle() {
        using Report = QList<qint64>;  // files done, found, bytes done, file bytes
        const auto reports = [&](const QStringList& paths, ProgressClock clock) {
            DropRun run(paths, {}, true, out->path(), std::move(clock));
            QList<Report> seen;
            connect(
                &run, &DropRun::progressed, &run,
                [&](int done, int found, qint64 bytes, qint64 fileBytes) {
                    seen << Report{done, found, bytes, fileBytes};
                },
                Qt::DirectConnection);
            run.start();
            run.wait();
            return seen;
        };
        const QStringList small{input("a.txt", eucAiLf), input("b.txt", eucAiLf)};
        QCOMPARE(reports(small, [] { return nanoseconds(0); }), (QList<Report>{{0, 2, 0, 0}}));
        const auto stepping = [n = 0]() mutable { return n++ * interval; };
        QCOMPARE(reports(small, stepping), (QList<Report>{{0, 2, 0, 0}, {1, 2, 0, 0}, {2, 2, 0, 0}}));

        const qint64 size = QFileInfo(big).size();
        const QList<Report> large = reports({big}, stepping);
        QVERIFY(large.size() > 3);
        QCOMPARE(large.first(), (Report{0, 1, 0, 0}));
        QCOMPARE(large.last(), (Report{1, 1, 0, 0}));
        for (qsizetype k = 1; k + 1 < large.size(); ++k) {
            QCOMPARE(large[k][3], size);
            QVERIFY(large[k][2] > large[k - 1][2]);
        }
        QCOMPARE(large[large.size() - 2][2], size);
    }

    // Cancel stops inside the file: nothing of it stays in the folder.
    void cancelMidFile() {
        startLargeDrop({input("a.txt", eucAiLf)});
        if (QTest::currentTestFailed()) return;
        QVERIFY(control(IDC_CANCEL)->isVisible());
        control<QPushButton>(IDC_CANCEL)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->dropRunning(), 30000);
        QCOMPARE(log(), "big.txt:" + big + ": Cancelled.\n\n" + into("0 files").chopped(1) +
                            " Cancelled after 0 files.\n");
        QVERIFY(outputFolderEmpty());
        QVERIFY(control(IDC_OPTIONS)->isEnabled() && !control(IDC_CANCEL)->isVisible());
    }

    // The summary counts the files finished before the cancel, not the one in hand.
    void cancelCountsTheFilesDone() {
        clock->holdAt = 20;  // well inside big.txt, after the two small ones
        dlg->dropTarget().OnDropFiles({input("a.txt", eucAiLf), input("b.bin", QByteArray("a\0b", 3)), big});
        QTRY_VERIFY_WITH_TIMEOUT(clock->reached, 60000);
        control<QPushButton>(IDC_CANCEL)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->dropRunning(), 30000);
        QVERIFY2(log().endsWith(" Cancelled after 2 files.\n"), qPrintable(log()));
        QVERIFY(QFileInfo::exists(outPath("a.txt")) && !QFileInfo::exists(outPath("big.txt")));
    }

    void closingCancelsTheDrop() {
        startLargeDrop();
        if (QTest::currentTestFailed()) return;
        dlg->close();
        QVERIFY(!dlg->dropRunning() && !dlg->isVisible());
        QVERIFY(log().endsWith(QStringLiteral(": Cancelled.\n\n") + into("0 files").chopped(1) +
                               " Cancelled after 0 files.\n"));
        QVERIFY(outputFolderEmpty());
    }

    // Answered without a display, before Qt looks for one.
    void headlessArguments() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        for (const auto& [argument, start] : {std::pair{"--version", "ZektWin 2.2.1.0\n"},
                                              std::pair{"--help", "Usage: ZektWin [options] [files...]\n"}}) {
            QProcess zektwin;
            zektwin.setProcessEnvironment(environment);
            zektwin.start(QStringLiteral(ZEKTWIN_BINARY), {QString::fromLatin1(argument)});
            QVERIFY(zektwin.waitForFinished(30000));
            QCOMPARE(zektwin.exitStatus(), QProcess::NormalExit);
            QCOMPARE(zektwin.exitCode(), 0);
            QVERIFY2(zektwin.readAllStandardOutput().startsWith(start), argument);
        }
    }
};

QTEST_MAIN(ZektWinTest)
#include "zektwin_test.moc"
