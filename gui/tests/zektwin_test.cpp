// ZektWin on the offscreen platform: the real dialog, drops sent through its
// window as the window system would, files in temporary folders.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>

#include "drop_run.h"
#include "drop_target.h"
#include "gui_converter.h"
#include "option_field.h"
#include "output_names.h"
#include "resources.h"
#include "zektwin_app.h"
#include "zektwin_dlg.h"

using namespace zektwin;

namespace {

const QByteArray eucAiLf("\xA4\xA2\n");       // "あ" LF in EUC
const QByteArray sjisAiCrlf("\x82\xA0\r\n");  // the same, SJIS CR LF
const QByteArray utf8AiLf("\xE3\x81\x82\n");  // the same, UTF-8 LF
const QString toUtf8Lf = QStringLiteral(" (EUC LF → UTF-8 LF)\n");

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

mode_t umaskNow() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

QByteArray readFile(const QByteArray& path) {
    QFile file;
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return "<missing>";
    return file.readAll();
}

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
    QTemporaryDir home;    // HOME, and with it the documents folder
    QTemporaryDir shared;  // the large input, made once
    QString big, settingsFile;
    QStringList browseTitles, abouts;  // what the folder browser and About box were shown
    QString browseResult, startFolder;
    QStringList filesChosen;
    bool closeAnswer = true;
    int closeQuestions = 0;
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
    QString into(const char* counts, const QString& rest = {}) {
        return QString::fromLatin1(counts) + " converted into " + out->path() + rest + ".\n";
    }
    QString input(const char* name, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(inPath(name)).path());
        QFile file(inPath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", name);
        return file.fileName();
    }
    void setOutputFolder(const QString& folder) {
        browseResult = folder;
        control<QPushButton>(IDC_CHANGE_FOLDER)->click();
    }
    void makeDialog() {
        dlg.reset();  // before the application it refers to
        app = std::make_unique<CZektWinApp>(settingsFile);
        app->browseFolder = [this](QWidget*, const QString& title, const QString&) {
            browseTitles << title;
            return browseResult;
        };
        app->browseFiles = [this](QWidget*, const QString&) { return filesChosen; };
        app->confirmClose = [this](QWidget*) {
            ++closeQuestions;
            return closeAnswer;
        };
        app->showAbout = [this](QWidget*, const QString& title, const QString& text) {
            abouts << title << text;
        };
        app->progressClock = [c = clock.get()] { return (*c)(); };
        dlg = std::make_unique<CZektWinDlg>(*app);
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    }
    static QList<QByteArray> bytes(const QStringList& paths) {
        QList<QByteArray> list;
        for (const QString& path : paths) list << QFile::encodeName(path);
        return list;
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
    void dropUrls(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QVERIFY(drag(control(IDC_DROP_ZONE), data, true));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->dropRunning(), 60000);
    }
    void drop(const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        dropUrls(urls);
    }
    // Starts a drop of the large file and returns once it is held after the
    // file's second block, its output being written and its first bytes
    // reported (readings: the drop's start, each block).
    void startLargeDrop(const QStringList& more = {}) {
        clock->holdAt = 3;
        dlg->dropTarget().OnDropFiles(bytes(QStringList{bigInput()} + more));
        QVERIFY(dlg->dropRunning());
        QVERIFY(!control(IDC_DROP_ZONE)->isEnabled() && !control(IDC_OPTIONS)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(clock->reached, 60000);
        QVERIFY(dlg->dropRunning());
        QVERIFY(!outputFolderEmpty());
    }
    // The large file among the inputs (a link: it is made once), which a
    // drop takes in natural order with them.
    QString bigInput() {
        if (!QFile::exists(inPath("big.txt")) &&
            ::link(QFile::encodeName(big), QFile::encodeName(inPath("big.txt"))) != 0)
            qFatal("cannot link big.txt");
        return inPath("big.txt");
    }
    void choose(const char* list, int entry) { control<QComboBox>(list)->setCurrentIndex(entry); }

private slots:
    void initTestCase() {
        // The documents folder and the settings are the test's own.
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
        qunsetenv("XDG_DOCUMENTS_DIR");
        settingsFile = home.filePath(QStringLiteral("zektwin.ini"));
        big = shared.filePath(QStringLiteral("big.txt"));
        QFile file(big);
        const QByteArray bytes = eucAiLf.repeated(3 << 20);  // 9 MiB: large, its bytes reported
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    void init() {
        QFile::remove(settingsFile);
        browseTitles = abouts = filesChosen = {};
        closeAnswer = true;
        closeQuestions = 0;
        clock = std::make_unique<HeldClock>();
        makeDialog();
        in = std::make_unique<QTemporaryDir>();
        out = std::make_unique<QTemporaryDir>();
        startFolder = control<QLineEdit>(IDC_OUTPUT_FOLDER)->text();
        setOutputFolder(out->path());
    }

    // A drop a failed test left held is cancelled before its clock goes.
    void cleanup() { dlg.reset(); }

    // A first start: convert mode into a private folder of the user's
    // documents, UTF-8 with LF, taken names renamed.
    void startStateAndModes() {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("ZektWin"));
        QVERIFY(control<QRadioButton>(IDC_RADIO_CONVERT)->isChecked());
        QCOMPARE(startFolder, home.filePath(QStringLiteral("Documents/ZektWin")));
        QCOMPARE(QFileInfo(startFolder).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                           QFile::ExeOwner | QFile::ReadUser |
                                                           QFile::WriteUser | QFile::ExeUser);
        QCOMPARE(control<QComboBox>(IDC_OUTPUT_CODE)->currentText(), QStringLiteral("UTF-8"));
        QCOMPARE(control<QComboBox>(IDC_LINE_END)->currentText(), QStringLiteral("LF"));
        QCOMPARE(control<QComboBox>(IDC_EXISTING)->currentText(), QString::fromUtf8("名前を変える"));

        QTest::mouseClick(control(IDC_RADIO_CHECK), Qt::LeftButton);
        QVERIFY(app->m_checkMode);
        QVERIFY(!control(IDC_OUTPUT_FOLDER)->isEnabled() && !control(IDC_CHANGE_FOLDER)->isEnabled());
        QTest::mouseClick(control(IDC_RADIO_CONVERT), Qt::LeftButton);
        QVERIFY(!app->m_checkMode && control(IDC_CHANGE_FOLDER)->isEnabled());

        setOutputFolder(QString());  // cancelled
        QCOMPARE(app->m_outputFolder, out->path());
        QCOMPARE(browseTitles, QStringList(2, QString::fromUtf8("出力先フォルダの選択")));
    }

    // Every choice comes back at the next start.
    void settingsRestored() {
        QTest::mouseClick(control(IDC_RADIO_CHECK), Qt::LeftButton);
        choose(IDC_OUTPUT_CODE, 1);
        choose(IDC_LINE_END, 3);
        choose(IDC_EXISTING, 2);
        control<QLineEdit>(IDC_OPTIONS)->setText(QStringLiteral("-Z -X"));
        dlg->resize(700, 530);
        dlg->close();
        makeDialog();
        QVERIFY(control<QRadioButton>(IDC_RADIO_CHECK)->isChecked() && app->m_checkMode);
        QCOMPARE(control<QLineEdit>(IDC_OUTPUT_FOLDER)->text(), out->path());
        QCOMPARE(control<QComboBox>(IDC_OUTPUT_CODE)->currentText(), QStringLiteral("EUC"));
        QCOMPARE(control<QComboBox>(IDC_LINE_END)->currentText(), QString::fromUtf8("そのまま"));
        QCOMPARE(control<QComboBox>(IDC_EXISTING)->currentText(), QString::fromUtf8("スキップ"));
        QCOMPARE(control<QLineEdit>(IDC_OPTIONS)->text(), QStringLiteral("-Z -X"));
        QCOMPARE(dlg->size(), QSize(700, 530));

        // A value out of its list's range is the first start's.
        QSettings(settingsFile, QSettings::IniFormat).setValue(QStringLiteral("outputCode"), 10);
        QSettings(settingsFile, QSettings::IniFormat).setValue(QStringLiteral("existing"), 3);
        makeDialog();
        QCOMPARE(control<QComboBox>(IDC_OUTPUT_CODE)->currentText(), QStringLiteral("UTF-8"));
        QCOMPARE(control<QComboBox>(IDC_EXISTING)->currentText(), QString::fromUtf8("名前を変える"));
    }

    // One line per file, relative to what was dropped; a trailing "/" on
    // the folder still gives one separator.
    void dropConvertsIntoFolder() {
        setOutputFolder(out->path() + "/");
        drop({input("a.txt", eucAiLf), input("b", "b\r\n")});
        QCOMPARE(log(),
                 "a.txt → a.txt" + toUtf8Lf + "b → b (ASCII CRLF → UTF-8 LF)\n" + into("2 files", "/"));
        QCOMPARE(readFile(outPath("a.txt")), utf8AiLf);
        QCOMPARE(readFile(outPath("b")), QByteArray("b\n"));
        QCOMPARE(app->m_outputPath, out->path() + "//b");
    }

    // The lists give the code and line end; the field's words come after
    // them and are named in the log as they write.
    void listsAndFieldWrite_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("lineEnd");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Shift-JIS CR+LF") << 0 << 0 << "" << sjisAiCrlf << "SJIS CRLF";
        QTest::newRow("EUC as it was") << 1 << 3 << "" << eucAiLf << "EUC LF";
        QTest::newRow("UTF-8 BOM CR")
            << 4 << 2 << "" << QByteArray("\xEF\xBB\xBF\xE3\x81\x82\r") << "UTF-8 BOM CR";
        QTest::newRow("no code change")
            << 6 << 0 << "" << QByteArray("\xA4\xA2\r\n") << "code unchanged, line ends CRLF";
        QTest::newRow("nothing changed") << 6 << 3 << "" << eucAiLf << "unchanged";
        QTest::newRow("EUC-JIS-2004") << 8 << 1 << "" << eucAiLf << "EUC-2004 LF";
        QTest::newRow("field after lists")
            << 3 << 1 << "-u16be" << QByteArray("\x30\x42\x00\n", 4) << "UTF-16BE LF";
    }
    void listsAndFieldWrite() {
        QFETCH(int, code);
        QFETCH(int, lineEnd);
        QFETCH(QString, options);
        QFETCH(QByteArray, output);
        QFETCH(QString, shown);
        choose(IDC_OUTPUT_CODE, code);
        choose(IDC_LINE_END, lineEnd);
        control<QLineEdit>(IDC_OPTIONS)->setText(options);
        drop({input("a.txt", eucAiLf)});
        const QString found = shown.contains("unchanged") ? QString() : QStringLiteral("EUC LF → ");
        QCOMPARE(log(), "a.txt → a.txt (" + found + shown + ")\n" + into("1 file"));
        QCOMPARE(readFile(outPath("a.txt")), output);
    }

    void checkModeLogsFullNames() {
        QTest::mouseClick(control(IDC_RADIO_CHECK), Qt::LeftButton);
        drop({input("a.txt", eucAiLf), input("c.txt", "x\r\n"), input("u.txt", utf8AiLf)});
        QCOMPARE(log(), inPath("a.txt") + ": EUC [LF] \n\n" + inPath("c.txt") + ": ASCII [CRLF] \n\n" +
                            inPath("u.txt") + ": UTF8 [LF] \n\n3 files checked.\n");
        QVERIFY(outputFolderEmpty());
    }

    // A check walks every folder of the drop, the output folder too: it
    // writes nothing there.
    void checkModeWalksTheOutputFolder() {
        input("tree/a.txt", eucAiLf);
        input("tree/out/b.txt", eucAiLf);
        setOutputFolder(inPath("tree/out"));
        QTest::mouseClick(control(IDC_RADIO_CHECK), Qt::LeftButton);
        drop({inPath("tree")});
        QCOMPARE(log(), inPath("tree/a.txt") + ": EUC [LF] \n\n" + inPath("tree/out/b.txt") +
                            ": EUC [LF] \n\n2 files checked.\n");
    }

    // Failures give their reason; a refused input leaves nothing behind,
    // and a name is never a format.
    void failuresGiveTheirReason() {
        drop({input("100%s%n.txt", QByteArray("a\0b\n", 4)), inPath("missing.txt")});
        QCOMPARE(log(), "100%s%n.txt: Not a text file.\nmissing.txt: No such file or directory.\n" +
                            into("0 files", ", 2 failed"));
        QVERIFY(outputFolderEmpty());
        const QString locked = input("locked.txt", eucAiLf);
        QVERIFY(QFile::setPermissions(locked, QFile::WriteOwner));
        if (::access(QFile::encodeName(locked).constData(), R_OK) == 0)
            QSKIP("the test runs with every permission");
        drop({locked});
        QCOMPARE(log(), "locked.txt: Permission denied.\n" + into("0 files", ", 1 failed"));
    }

    // A character the output lacks is counted, and its line marked; the
    // variation selectors left out are said as zekt says them.
    void substitutesAreMarked() {
        choose(IDC_OUTPUT_CODE, 0);
        drop({input("e.txt", "\xF0\x9F\x98\x80\n"), input("a.txt", eucAiLf),
              input("v.txt", "\xE8\x91\x9B\xEF\xB8\x80\n")});
        QCOMPARE(log(),
                 "a.txt → a.txt (EUC LF → SJIS LF)\n"
                 "e.txt → e.txt (UTF-8 LF → SJIS LF) substituted: 1 character replaced with 〓\n"
                 "v.txt → v.txt (UTF-8 LF → SJIS LF)\nv.txt: 1 variation selector left out.\n" +
                     into("3 files", " (1 with substitutes)"));
        QCOMPARE(readFile(outPath("e.txt")), QByteArray("\x81\xAC\n"));
        const QTextDocument* document = control<QPlainTextEdit>(IDC_MESSAGES)->document();
        const auto colour = [&](int line) {
            return document->findBlockByNumber(line).begin().fragment().charFormat().foreground().color();
        };
        QVERIFY(colour(1) != colour(0));
    }

    // A taken name: renamed to the first free number, replaced, or left.
    void existingOutput_data() {
        QTest::addColumn<int>("setting");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("summary");  // what follows "converted into FOLDER"
        QTest::addColumn<QByteArray>("memo");  // what memo.txt holds after
        QTest::newRow("rename") << 0 << "memo.txt → memo (3).txt" + toUtf8Lf << "1 file| (1 renamed)"
                                << QByteArray("old\n");
        QTest::newRow("replace") << 1 << "memo.txt → memo.txt" + toUtf8Lf << "1 file|" << utf8AiLf;
        QTest::newRow("skip") << 2 << "memo.txt: Output exists; skipped.\n"
                              << "0 files|, 1 skipped" << QByteArray("old\n");
    }
    void existingOutput() {
        QFETCH(int, setting);
        QFETCH(QString, line);
        QFETCH(QString, summary);
        QFETCH(QByteArray, memo);
        for (const char* name : {"memo.txt", "memo (2).txt"}) {
            QFile old(outPath(name));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\n") == 4);
        }
        choose(IDC_EXISTING, setting);
        drop({input("memo.txt", eucAiLf)});
        const QStringList counts = summary.split('|');
        QCOMPARE(log(), line + counts[0] + " converted into " + out->path() + counts[1] + ".\n");
        QCOMPARE(readFile(outPath("memo.txt")), memo);
        QCOMPARE(readFile(outPath("memo (2).txt")), QByteArray("old\n"));
    }

    // Whatever the setting, an output of the same drop is never replaced,
    // be it still on its way to the disk or there already (the failure in
    // between puts it there); a name without an extension takes its number
    // at the end.
    void sameDropCollision() {
        choose(IDC_EXISTING, 1);
        drop({input("a/memo.txt", eucAiLf), input("b/memo.txt", "b\n"), input("a/memo", "c\n"),
              input("a/z.bin", QByteArray("a\0b", 3)), input("b/memo", "d\n")});
        QCOMPARE(log(), "memo → memo (ASCII LF → UTF-8 LF)\nmemo.txt → memo.txt" + toUtf8Lf +
                            "z.bin: Not a text file.\nmemo → memo (2) (ASCII LF → UTF-8 LF)\n"
                            "memo.txt → memo (2).txt (ASCII LF → UTF-8 LF)\n" +
                            into("4 files", " (2 renamed), 1 failed"));
        QCOMPARE(readFile(outPath("memo.txt")), utf8AiLf);
        QCOMPARE(readFile(outPath("memo (2).txt")), QByteArray("b\n"));
    }

    // An output that is an input of the drop is not written, whatever the
    // setting, be it the same path or a hard link.
    void outputsThatAreInputs() {
        input("docs/a.txt", eucAiLf);
        input("docs/docs/a.txt", eucAiLf);
        const QString e = input("q/e.txt", eucAiLf);
        QCOMPARE(::link(QFile::encodeName(e), QFile::encodeName(inPath("e.txt"))), 0);
        setOutputFolder(in->path());
        choose(IDC_EXISTING, 1);
        drop({inPath("docs"), e});
        QCOMPARE(log(),
                 "docs/a.txt: Output would replace an input; skipped.\n"
                 "docs/docs/a.txt: Output would replace an input; skipped.\n"
                 "e.txt: Output would replace an input; skipped.\n" +
                     QStringLiteral("0 files converted into %1, 3 skipped.\n").arg(in->path()));
        for (const char* name : {"docs/a.txt", "docs/docs/a.txt", "q/e.txt"})
            QCOMPARE(readFile(inPath(name)), eucAiLf);
    }

    // A dropped folder keeps its name, its files their paths in it, in
    // natural order; hidden entries, links, special files and the output
    // folder itself (here inside the tree) are passed over.
    void folderTree() {
        QDir tree(in->path());
        for (const char* folder : {"tree/sub/deeper", "tree/empty", "tree/.hidden", "tree/converted"})
            QVERIFY(tree.mkpath(folder));
        for (const char* name : {"tree/sub/deeper/c.txt", "tree/sub/b.txt", "tree/f10.txt", "tree/f2.txt",
                                 "tree/.dot.txt", "tree/.hidden/d.txt"})
            input(name, eucAiLf);
        QVERIFY(QFile::link(inPath("tree/f2.txt"), inPath("tree/link.txt")));
        QVERIFY(QFile::link(inPath("tree/sub"), inPath("tree/linked")));
        QCOMPARE(::mkfifo(QFile::encodeName(inPath("tree/fifo")).constData(), 0600), 0);
        setOutputFolder(inPath("tree/converted"));
        drop({inPath("tree/")});
        QCOMPARE(log(), "tree/f2.txt → tree/f2.txt" + toUtf8Lf + "tree/f10.txt → tree/f10.txt" + toUtf8Lf +
                            "tree/sub/b.txt → tree/sub/b.txt" + toUtf8Lf +
                            "tree/sub/deeper/c.txt → tree/sub/deeper/c.txt" + toUtf8Lf +
                            "4 files converted into " + inPath("tree/converted") + ".\n");
        QStringList written;
        QDirIterator it(inPath("tree/converted"), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) written << it.next().mid(inPath("tree/converted").size() + 1);
        written.sort();
        QCOMPARE(written, QStringList({"tree", "tree/f10.txt", "tree/f2.txt", "tree/sub", "tree/sub/b.txt",
                                       "tree/sub/deeper", "tree/sub/deeper/c.txt"}));
        // In a folder of the user's own, folders are made as usual.
        QCOMPARE(QFileInfo(inPath("tree/converted/tree")).permissions() & QFile::ReadOther,
                 (~umaskNow() & 0004) != 0 ? QFile::ReadOther : QFileDevice::Permissions());
    }

    // Nothing is written through a link or into another's folder inside the
    // output folder; each file below it is skipped, the folder named once.
    void foreignSubfolders() {
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), outPath("sub")));
        input("sub/a.txt", eucAiLf);
        input("sub/deeper/b.txt", eucAiLf);
        QStringList dropped{inPath("sub")};
        QString expected = "sub: Not a folder of yours; skipped.\n";
        int skipped = 2;
        if (geteuid() == 0) {  // another user's folder can be made only so
            QVERIFY(QDir(out->path()).mkdir(QStringLiteral("theirs")));
            QCOMPARE(::chown(QFile::encodeName(outPath("theirs")).constData(), 1, 1), 0);
            input("theirs/c.txt", eucAiLf);
            dropped << inPath("theirs");
            expected += "theirs: Not a folder of yours; skipped.\n";
            ++skipped;
        }
        drop(dropped);
        QCOMPARE(log(), expected + into("0 files", QStringLiteral(", %1 skipped").arg(skipped)));
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        QVERIFY(!QFile::exists(outPath("theirs/c.txt")));
    }

    // Another user's link planted at an output's name is replaced, not
    // written through; in a folder others may write, outputs and the
    // folders made for them are private; a FIFO is refused without being
    // opened (this test would hang otherwise).
    void outputsAreFreshAndPrivate() {
        QTemporaryDir victimDir;
        const QString victim = victimDir.filePath(QStringLiteral(".bashrc"));
        QVERIFY(QFile::copy(input("x", "victim\n"), victim));
        QVERIFY(QFile::link(victim, outPath("notes.txt")));
        choose(IDC_EXISTING, 1);
        const QString notes = input("notes.txt", eucAiLf), open = input("d/open.txt", eucAiLf);
        QVERIFY(QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        const QByteArray fifo = QFile::encodeName(inPath("fifo"));
        QCOMPARE(mkfifo(fifo.constData(), 0644), 0);
        QCOMPARE(::chmod(QFile::encodeName(out->path()).constData(), 0770), 0);  // the group may write
        drop({notes, inPath("d"), inPath("fifo")});
        QCOMPARE(log(), "d/open.txt → d/open.txt" + toUtf8Lf +
                            "fifo: Not a regular file.\nnotes.txt → notes.txt" + toUtf8Lf +
                            into("2 files", ", 1 failed"));
        QCOMPARE(readFile(victim), QByteArray("victim\n"));
        QVERIFY(!QFileInfo(outPath("notes.txt")).isSymLink());
        const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QCOMPARE(QFile::permissions(outPath("d/open.txt")), owner);
        QCOMPARE(QFile::permissions(outPath("d")), owner | QFile::ExeOwner | QFile::ExeUser);
        QVERIFY(!QFile::exists(outPath("fifo")));

        // With an ACL the group bits are its mask: the owning group gets no
        // more than its own entry gave it.
        QCOMPARE(::chmod(QFile::encodeName(out->path()).constData(), 0700), 0);
        const QString shared = input("shared.txt", eucAiLf);
        const QByteArray command = "setfacl -m g::r,u:daemon:rw,o::- '" + QFile::encodeName(shared) + "'";
        if (std::system(command.constData()) != 0) QSKIP("setfacl is not available");
        drop({shared});
        QCOMPARE(QFile::permissions(outPath("shared.txt")), owner | QFile::ReadGroup);

        // A folder others may write below a private one is shared all the same.
        QVERIFY(QDir(out->path()).mkdir(QStringLiteral("pub")));
        QCOMPARE(::chmod(QFile::encodeName(outPath("pub")).constData(), 0777), 0);
        input("pub/open.txt", eucAiLf);
        drop({inPath("pub")});
        QCOMPARE(QFile::permissions(outPath("pub/open.txt")), owner);
    }

    // A name that is not UTF-8 (Shift-JIS from an archive) reaches its file
    // and keeps its bytes in the output folder.
    void namesAreBytes() {
        const QByteArray name = "\x82\xA0.txt";
        const QByteArray path = QFile::encodeName(in->path()) + '/' + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0 && ::write(fd, eucAiLf.constData(), eucAiLf.size()) == eucAiLf.size());
        ::close(fd);
        dropUrls({QUrl::fromEncoded("file://" + path.toPercentEncoding("/"))});
        QVERIFY2(log().endsWith(into("1 file")), qPrintable(log()));
        const QByteArray output = QFile::encodeName(out->path()) + '/' + name;
        QCOMPARE(readFile(output), utf8AiLf);
        // QTemporaryDir cannot remove a name it cannot decode.
        QCOMPARE(::unlink(path.constData()) | ::unlink(output.constData()), 0);
    }

    // The field's words as the drop reads them: full-width typing taken as
    // ASCII, code and line-end words for the lists, the rest passed on or
    // refused with a reason.
    void optionField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<int>("code");     // -1: none named
        QTest::addColumn<int>("lineEnd");  // -1: none named
        QTest::addColumn<QStringList>("problems");
        const auto row = [](const char* name, const char* text, const QStringList& words, int code,
                            int lineEnd, const QStringList& problems) {
            QTest::newRow(name) << QString::fromUtf8(text) << words << code << lineEnd << problems;
        };
        row("empty", "  ", {}, -1, -1, {});
        row("lists and the rest", "-e -lf -Z\t-xNOWIN", {"-Z", "-xNOWIN"}, 1, 1, {});
        row("last one counts", "-s -u8bom -cr -nr", {}, 4, 3, {});
        row("both at once", "-mac", {}, 0, 2, {});
        row("JIS X 0213 out", "-s2004", {}, 7, -1, {});
        row("JIS X 0213 in and out", "-j2004 -S2004", {"-S2004"}, 9, -1, {});
        row("no list for it", "-u16le -jSHORT", {"-u16le", "-jSHORT"}, -1, -1, {});
        row("full-width", "－ｕ８\u3000－ｌｆ", {}, 3, 1, {});
        row("no dashes", "u8 lf", {}, -1, -1,
            {"u8: not an option (options begin with \"-\")", "lf: not an option (options begin with \"-\")"});
        row("unknown", "-xyz -Z", {"-Z"}, -1, -1, {"-xyz: unknown option"});
        row("check", "-c", {}, -1, -1, {"-c: check mode is chosen above (確認)"});
        row("help and version", "-h --help -v --version", {}, -1, -1,
            {"-h: see ヘルプ", "--help: see ヘルプ", "-v: see ヘルプ", "--version: see ヘルプ"});
        row("file words", "- -f --", {}, -1, -1,
            {"-: files are dropped, not named here", "-f: files are dropped, not named here",
             "--: files are dropped, not named here"});
        row("overwrite", "-overwrite", {}, -1, -1, {"-overwrite: ZektWin never writes over its inputs"});
    }
    void optionField() {
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QFETCH(int, code);
        QFETCH(int, lineEnd);
        QFETCH(QStringList, problems);
        const OptionField field = readOptionField(text);
        QCOMPARE(field.words, words);
        QCOMPARE(field.outputCode.value_or(-1), code);
        QCOMPARE(field.lineEnd.value_or(-1), lineEnd);
        QCOMPARE(field.problems, problems);
    }

    // Marked as typed; list words move into their lists when the field is
    // left; a drop with a refused word converts nothing.
    void optionFieldInTheDialog() {
        auto* options = control<QLineEdit>(IDC_OPTIONS);
        options->setFocus();
        QTest::keyClicks(options, QStringLiteral("-xyz"));
        QVERIFY(control(IDC_OPTION_PROBLEMS)->isVisible());
        QCOMPARE(control<QLabel>(IDC_OPTION_PROBLEMS)->text(), QStringLiteral("-xyz: unknown option"));
        drop({input("a.txt", eucAiLf)});
        QCOMPARE(log(), QStringLiteral(
                            "-xyz: unknown option\nNothing converted: the options need correcting first.\n"));
        QVERIFY(outputFolderEmpty());

        options->setText(QString::fromUtf8("－Ｚ -e -crlf"));
        QVERIFY(!control(IDC_OPTION_PROBLEMS)->isVisible());
        QMetaObject::invokeMethod(options, "editingFinished");
        QCOMPARE(options->text(), QStringLiteral("-Z"));
        QCOMPARE(control<QComboBox>(IDC_OUTPUT_CODE)->currentText(), QStringLiteral("EUC"));
        QCOMPARE(control<QComboBox>(IDC_LINE_END)->currentText(), QStringLiteral("CR+LF"));
    }

    // Esc leaves the window open; closing during a drop asks first.
    void escapeAndClosing() {
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
        QVERIFY(dlg->isVisible());
        startLargeDrop();
        if (QTest::currentTestFailed()) return;
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
        closeAnswer = false;
        dlg->close();
        QVERIFY(dlg->isVisible() && dlg->dropRunning());
        QCOMPARE(closeQuestions, 1);
        closeAnswer = true;
        dlg->close();
        QVERIFY(!dlg->dropRunning() && !dlg->isVisible());
        QVERIFY(log().endsWith(QStringLiteral("big.txt: Cancelled.\n") + into("0 files").chopped(1) +
                               " Cancelled after 0 files.\n"));
        QVERIFY(outputFolderEmpty());
        QCOMPARE(closeQuestions, 2);
    }

    // The buttons (and Ctrl+O) add what a drop would; Help shows About.
    void addButtonsAndAbout() {
        filesChosen = {input("a.txt", eucAiLf)};
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
        QTest::keySequence(dlg.get(), QKeySequence::Open);  // the button clicks itself a moment later
        QTRY_COMPARE_WITH_TIMEOUT(log(), "a.txt → a.txt" + toUtf8Lf + into("1 file"), 60000);
        input("tree/b.txt", eucAiLf);
        browseResult = inPath("tree");
        control<QPushButton>(IDC_ADD_FOLDER)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->dropRunning(), 60000);
        QCOMPARE(log(), "tree/b.txt → tree/b.txt" + toUtf8Lf + into("1 file"));
        control<QPushButton>(IDC_HELP_BUTTON)->click();
        QCOMPARE(abouts.value(0), QString::fromUtf8("ZektWin について"));
        QVERIFY(abouts.value(1).startsWith(QStringLiteral("ZektWin 2.2.2.0\n")));
    }

    // A failed write ends the drop, says how many files were not reached
    // and leaves nothing in the folder, not even the hidden file the output
    // is written to; the dialog carries on.
    void writeFailureEndsTheDrop() {
        const QString large = input("big.txt", eucAiLf.repeated(100000));  // 400 000 bytes as UTF-8
        const QString small = input("small.txt", eucAiLf), small2 = input("small2.txt", eucAiLf);
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
        drop({large, small, small2});
        QCOMPARE(log(), "big.txt: File too large.\n" + into("0 files", ", 1 failed").chopped(1) +
                            " 2 files not reached.\n");
        QVERIFY(outputFolderEmpty());
        QVERIFY(dlg->isVisible());
        drop({small});  // it fits: the first drop stopped short of it
        QCOMPARE(log(), "small.txt → small.txt" + toUtf8Lf + into("1 file"));
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

    // Names in the order a drop takes them, and as a taken one is renamed.
    void names_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("numbered");  // as the second of its name
        QTest::addColumn<QByteArray>("next");      // a name that comes after it
        QTest::newRow("extension") << QByteArray("memo.txt") << QByteArray("memo (2).txt")
                                   << QByteArray("memo.txt~");
        QTest::newRow("last extension")
            << QByteArray("a.tar.gz") << QByteArray("a.tar (2).gz") << QByteArray("b");
        QTest::newRow("none") << QByteArray("memo") << QByteArray("memo (2)") << QByteArray("memo0");
        QTest::newRow("only a dot") << QByteArray(".memo") << QByteArray(".memo (2)") << QByteArray("memo");
        QTest::newRow("numbers by value") << QByteArray("f9") << QByteArray("f9 (2)") << QByteArray("f10");
        QTest::newRow("zeros") << QByteArray("f007") << QByteArray("f007 (2)") << QByteArray("f8");
        QTest::newRow("zeros, same value") << QByteArray("f07") << QByteArray("f07 (2)") << QByteArray("f7");
        QTest::newRow("bytes") << QByteArray("\x7F") << QByteArray("\x7F (2)") << QByteArray("\x82\xA0");
    }
    void names() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, numbered);
        QFETCH(QByteArray, next);
        QCOMPARE(numberedName(name, 2), numbered);
        QVERIFY(naturalLess(name, next));
        QVERIFY(!naturalLess(next, name));
        QVERIFY(!naturalLess(name, name));
    }

    // Names on the command line keep their bytes and become absolute.
    void namedFilesKeepTheirBytes() {
        const QByteArray sjis("/tmp/\x82\xA0.txt");
        const QString here = QDir::currentPath();
        QCOMPARE(namedFiles({QFile::decodeName(sjis), QStringLiteral("a.txt"), QStringLiteral("/b")},
                            {"--", sjis, "a.txt", "/b"}),
                 (QList<QByteArray>{sjis, QFile::encodeName(here) + "/a.txt", "/b"}));
    }

    // Only the full-width forms of ASCII and the ideographic space change.
    void fullWidthToAscii() {
        QCOMPARE(toAscii(QString::fromUtf8("！～\u3000−\uFF00\uFF5F－ａ")),
                 QString::fromUtf8("!~ -\uFF00\uFF5F-a"));
    }

    // A walk asked to stop before it starts takes nothing, of a folder or a
    // file.
    void walkStopsOnceCancelled() {
        input("tree/a.txt", eucAiLf);
        const std::atomic<bool> cancelled{true};
        QCOMPARE(
            collectDropItems(bytes({inPath("tree"), input("b.txt", eucAiLf)}), true, {}, cancelled).size(),
            std::size_t(0));
        const std::atomic<bool> going{false};
        QCOMPARE(collectDropItems(bytes({inPath("tree")}), true, {}, going).size(), std::size_t(1));
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
        QCOMPARE(log(), "big.txt → big.txt" + toUtf8Lf + into("1 file"));
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
            DropRun run(bytes(paths), {dropWords(3, 1, {}), true, out->path()}, std::move(clock));
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
        startLargeDrop({input("z.txt", eucAiLf)});
        if (QTest::currentTestFailed()) return;
        QVERIFY(control(IDC_CANCEL)->isVisible());
        control<QPushButton>(IDC_CANCEL)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->dropRunning(), 30000);
        QCOMPARE(log(), "big.txt: Cancelled.\n" + into("0 files").chopped(1) + " Cancelled after 0 files.\n");
        QVERIFY(outputFolderEmpty());
        QVERIFY(control(IDC_OPTIONS)->isEnabled() && !control(IDC_CANCEL)->isVisible());
    }

    // The summary counts the files finished before the cancel, not the one in hand.
    void cancelCountsTheFilesDone() {
        clock->holdAt = 20;  // well inside big.txt, after the two small ones
        dlg->dropTarget().OnDropFiles(
            bytes({input("a.txt", eucAiLf), input("b.bin", QByteArray("a\0b", 3)), bigInput()}));
        QTRY_VERIFY_WITH_TIMEOUT(clock->reached, 60000);
        control<QPushButton>(IDC_CANCEL)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->dropRunning(), 30000);
        QVERIFY2(log().endsWith(" Cancelled after 2 files.\n"), qPrintable(log()));
        QVERIFY(QFileInfo::exists(outPath("a.txt")) && !QFileInfo::exists(outPath("big.txt")));
    }

    // Answered without a display, before Qt looks for one.
    void headlessArguments() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        for (const auto& [argument, start] : {std::pair{"--version", "ZektWin 2.2.2.0\n"},
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
