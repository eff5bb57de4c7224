// ZektWin on the offscreen platform: the real dialog, drops sent through its
// window as the window system would, files in temporary folders.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <memory>

#include <unistd.h>

#include "drop_target.h"
#include "gui_converter.h"
#include "option_tables.h"
#include "resources.h"
#include "zektwin_app.h"
#include "zektwin_dlg.h"

using namespace zektwin;

namespace {

const QByteArray eucAiLf("\xA4\xA2\n");         // "あ" LF in EUC
const QByteArray sjisAiCrlf("\x82\xA0\r\n");    // the same, SJIS CR LF

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString banner() { return QString::fromLatin1(zekt::bannerText); }

}  // namespace

class ZektWinTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CZektWinApp> app;
    std::unique_ptr<CZektWinDlg> dlg;
    std::unique_ptr<QTemporaryDir> in, out;
    QStringList messages;  // what the message box would have shown
    QStringList browseTitles;
    QString browseResult;

    template <typename T = QWidget>
    T* control(const char* name) {
        T* widget = dlg->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) qFatal("no control %s", name);
        return widget;
    }
    QString log() { return control<QPlainTextEdit>("IDC_MESSAGES")->toPlainText(); }
    QString inPath(const char* name) { return in->filePath(QString::fromLatin1(name)); }
    QString outPath(const char* name) { return out->filePath(QString::fromLatin1(name)); }

    // A drag entering the dialog's window over the widget, as the window
    // system delivers it; true if the dialog accepts it.
    bool dragEnter(QWidget* over, const QMimeData& data) {
        const QPoint pos = over->mapTo(dlg.get(), over->rect().center());
        QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(dlg->windowHandle(), &enter);
        return enter.isAccepted();
    }
    void dragLeave() {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(dlg->windowHandle(), &leave);
    }
    void drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QWidget* zone = control("IDC_DROP_ZONE");
        QVERIFY(dragEnter(zone, data));
        QDropEvent event(QPointF(zone->mapTo(dlg.get(), zone->rect().center())), Qt::CopyAction, &data,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(dlg->windowHandle(), &event);
        QVERIFY(event.isAccepted());
        QCoreApplication::processEvents();  // the files are handled after the drop
    }
    void setOutputFolder(const QString& folder) {
        browseResult = folder;
        control<QPushButton>("IDC_CHANGE_FOLDER")->click();
    }

private slots:
    void init() {
        app = std::make_unique<CZektWinApp>();
        messages.clear();
        browseTitles.clear();
        app->showMessage = [this](QWidget*, const QString& text) { messages << text; };
        app->browseFolder = [this](QWidget*, const QString& title, const QString&) {
            browseTitles << title;
            return browseResult;
        };
        dlg = std::make_unique<CZektWinDlg>(*app);
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        in = std::make_unique<QTemporaryDir>();
        out = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        dlg.reset();
        app.reset();
    }

    void startState() {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("ZektWin"));
        QVERIFY(control<QRadioButton>("IDC_RADIO_CONVERT")->isChecked());
        QVERIFY(!control<QRadioButton>("IDC_RADIO_CHECK")->isChecked());
        QCOMPARE(control<QLineEdit>("IDC_OUTPUT_FOLDER")->text(), QDir::tempPath());
        QVERIFY(control<QLineEdit>("IDC_OUTPUT_FOLDER")->isEnabled());
        QVERIFY(control<QLineEdit>("IDC_OUTPUT_FOLDER")->isReadOnly());
        QVERIFY(control("IDC_CHANGE_FOLDER")->isEnabled());
        QVERIFY(control<QPlainTextEdit>("IDC_MESSAGES")->isReadOnly());
        QVERIFY(control("IDC_MESSAGES")->font().fixedPitch());
        QVERIFY(!app->m_checkMode);

        const std::pair<const char*, const char*> captions[] = {
            {"IDC_RADIO_CONVERT", "変換"}, {"IDC_RADIO_CHECK", "確認"},  {"IDC_CHANGE_FOLDER", "変更…"},
            {"IDC_HELP_BUTTON", "ヘルプ"}, {"IDC_DROP_ZONE", "対象となるファイルをここにドロップして下さい"},
        };
        for (const auto& [name, caption] : captions) {
            auto* button = qobject_cast<QAbstractButton*>(control(name));
            const QString text = button ? button->text() : control<QLabel>(name)->text();
            QCOMPARE(text, QString::fromUtf8(caption));
        }
        QStringList labels;
        for (QLabel* label : dlg->findChildren<QLabel*>()) labels << label->text();
        for (const char* label : {"出力先フォルダ", "詳細オプション", "メッセージ"})
            QVERIFY(labels.contains(QString::fromUtf8(label)));

        // Top to bottom as in the template; Tab in the template's order (it
        // reaches only the selected one of the two radio buttons).
        const char* rows[] = {"IDC_RADIO_CONVERT", "IDC_OUTPUT_FOLDER", "IDC_OPTIONS", "IDC_DROP_ZONE",
                              "IDC_MESSAGES"};
        for (std::size_t i = 1; i < std::size(rows); ++i)
            QVERIFY(control(rows[i - 1])->geometry().bottom() < control(rows[i])->geometry().top());
        QStringList tabOrder;
        QWidget* w = control("IDC_RADIO_CONVERT");
        do {
            if (w->objectName().startsWith(QLatin1String("IDC_")) && w->focusPolicy() != Qt::NoFocus)
                tabOrder << w->objectName();
            w = w->nextInFocusChain();
        } while (w != control("IDC_RADIO_CONVERT"));
        QCOMPARE(tabOrder.join(QLatin1Char(' ')),
                 QStringLiteral("IDC_RADIO_CONVERT IDC_RADIO_CHECK IDC_OUTPUT_FOLDER IDC_CHANGE_FOLDER "
                                "IDC_OPTIONS IDC_HELP_BUTTON IDC_MESSAGES"));

        setApplicationMetadata();
        QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("2.2.1.0"));
    }

    void modesAndFolder() {
        const QString start = app->m_outputFolder;
        QTest::mouseClick(control("IDC_RADIO_CHECK"), Qt::LeftButton);
        QVERIFY(app->m_checkMode);
        QVERIFY(!control("IDC_OUTPUT_FOLDER")->isEnabled());
        QVERIFY(!control("IDC_CHANGE_FOLDER")->isEnabled());
        QCOMPARE(control<QLineEdit>("IDC_OUTPUT_FOLDER")->text(), start);
        QTest::mouseClick(control("IDC_RADIO_CONVERT"), Qt::LeftButton);
        QVERIFY(!app->m_checkMode);
        QVERIFY(control("IDC_OUTPUT_FOLDER")->isEnabled());
        QVERIFY(control("IDC_CHANGE_FOLDER")->isEnabled());

        setOutputFolder(QString());  // cancelled
        QCOMPARE(control<QLineEdit>("IDC_OUTPUT_FOLDER")->text(), start);
        setOutputFolder(out->path());
        QCOMPARE(app->m_outputFolder, out->path());
        QCOMPARE(control<QLineEdit>("IDC_OUTPUT_FOLDER")->text(), out->path());
        QCOMPARE(browseTitles, QStringList(2, QString::fromUtf8("出力先フォルダの選択")));
    }

    // With or without a trailing "/", one separator goes before the name.
    void dropConvertsIntoFolder_data() {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("no slash") << QString();
        QTest::newRow("slash") << QStringLiteral("/");
    }
    void dropConvertsIntoFolder() {
        QFETCH(QString, suffix);
        setOutputFolder(out->path() + suffix);
        writeFile(inPath("a.txt"), eucAiLf);
        writeFile(inPath("b"), "b\n");
        drop({inPath("a.txt"), inPath("b")});
        QCOMPARE(log(), QStringLiteral("a.txt:\nb:\n"));
        QCOMPARE(readFile(outPath("a.txt")), sjisAiCrlf);
        QCOMPARE(readFile(outPath("b")), QByteArray("b\r\n"));
        QCOMPARE(app->m_outputPath, out->path() + QStringLiteral("/b"));
        QCOMPARE(app->m_inputPath, inPath("b"));
    }

    void checkMode() {
        setOutputFolder(out->path());
        QTest::mouseClick(control("IDC_RADIO_CHECK"), Qt::LeftButton);
        writeFile(inPath("a.txt"), eucAiLf);
        writeFile(inPath("c.txt"), "x\r\n");
        drop({inPath("a.txt"), inPath("c.txt")});
        QCOMPARE(log(), inPath("a.txt") + ": EUC [LF] \n\n" + inPath("c.txt") + ": ASCII [CRLF] \n\n");
        QVERIFY(QDir(out->path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QVERIFY(app->m_outputPath.isEmpty());
    }

    // A refused input leaves nothing behind, and a name is never a format.
    void refusedInputLeavesNoFile() {
        setOutputFolder(out->path());
        writeFile(inPath("100%s%n.txt"), QByteArray("a\0b\n", 4));
        drop({inPath("100%s%n.txt"), inPath("missing.txt")});
        QCOMPARE(log(), "100%s%n.txt:" + inPath("100%s%n.txt") + ": Not a text file.\n\n" +
                            "missing.txt:" + inPath("missing.txt") + ": No such a file.\n\n");
        QVERIFY(QDir(out->path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void optionTexts_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QByteArray>("output");  // empty: nothing written, option error logged
        QTest::newRow("-e -lf") << "-e -lf" << eucAiLf;
        QTest::newRow("no dashes") << "e lf" << sjisAiCrlf;
        QTest::newRow("unknown") << "-xyz" << QByteArray();
        QTest::newRow("dash inside") << "-e-lf" << QByteArray();
        QTest::newRow("long token") << "-lfxxxxxxxxxxxxxx" << QByteArray();
        QTest::newRow("blanks") << "\t-e\v-lf\f" << eucAiLf;
    }
    void optionTexts() {
        QFETCH(QString, options);
        QFETCH(QByteArray, output);
        setOutputFolder(out->path());
        control<QLineEdit>("IDC_OPTIONS")->setText(options);
        writeFile(inPath("a.txt"), eucAiLf);
        writeFile(inPath("b.txt"), eucAiLf);
        drop({inPath("a.txt"), inPath("b.txt")});
        if (output.isEmpty()) {
            const QString error = QString::fromLatin1(zekt::optionErrorText);
            QCOMPARE(log(), "a.txt:" + error + "\nb.txt:" + error + "\n");
            QVERIFY(!QFile::exists(outPath("a.txt")));
        } else {
            QCOMPARE(log(), QStringLiteral("a.txt:\nb.txt:\n"));
            QCOMPARE(readFile(outPath("a.txt")), output);
            QCOMPARE(readFile(outPath("b.txt")), output);
        }
    }

    void splitsOptionText() {
        using Tokens = std::vector<std::string>;
        const std::pair<std::string_view, Tokens> cases[] = {
            {"-e -lf", {"-e", "-lf"}},
            {"e lf", {}},
            {"-e-lf", {"-e-lf"}},
            {"-abcdefghijklmnopq -e", {"-abcdefghijklmn", "-e"}},
            {"-abcdefghijklmn-e", {"-abcdefghijklmn"}},  // the "-" after the cut is skipped
            {"-abcdefghijklmn", {"-abcdefghijklmn"}},
            {"-e\xA0-lf", {"-e\xA0-lf"}},                  // high bytes are never blank
            {"-a -b -c -d -e -f -g -h -i -j -k -l -m -n -o -p -q",
             {"-a", "-b", "-c", "-d", "-e", "-f", "-g", "-h", "-i", "-j", "-k", "-l", "-m", "-n", "-o", "-p", "-q"}},
        };
        for (const auto& [text, tokens] : cases) QCOMPARE(splitOptionText(text), tokens);
    }

    // Every spelling of the input's own file is refused, and the rest of
    // the drop is skipped.
    void sameFileGuard_data() {
        QTest::addColumn<QString>("how");
        for (const char* how : {"same text", "dot", "doubled slash", "linked folder", "linked file", "hard link"})
            QTest::newRow(how) << QString::fromLatin1(how);
    }
    void sameFileGuard() {
        QFETCH(QString, how);
        writeFile(inPath("a.txt"), eucAiLf);
        writeFile(inPath("b.txt"), eucAiLf);
        QString folder = in->path();
        if (how == "dot") folder += "/.";
        if (how == "doubled slash") folder += "//";
        if (how == "linked folder") {
            folder = outPath("link");
            QVERIFY(QFile::link(in->path(), folder));
        }
        if (how == "linked file") {
            folder = out->path();
            QVERIFY(QFile::link(inPath("a.txt"), outPath("a.txt")));
        }
        if (how == "hard link") {
            folder = out->path();
            QCOMPARE(::link(QFile::encodeName(inPath("a.txt")), QFile::encodeName(outPath("a.txt"))), 0);
        }
        setOutputFolder(folder);
        drop({inPath("a.txt"), inPath("b.txt")});
        QCOMPARE(messages, QStringList(QString::fromUtf8("入力ファイルと出力ファイルが同じです")));
        QCOMPARE(log(), QStringLiteral("a.txt:"));
        QCOMPARE(readFile(inPath("a.txt")), eucAiLf);
        QVERIFY(!QFile::exists(folder + "/b.txt") || readFile(folder + "/b.txt") == eucAiLf);
    }

    void helpTwice() {
        auto* help = control<QPushButton>("IDC_HELP_BUTTON");
        help->click();
        help->click();
        const QString usage = banner() + "\n" + QString::fromLatin1(zekt::usageText);
        QCOMPARE(log(), usage + usage);
        writeFile(inPath("a.txt"), eucAiLf);
        setOutputFolder(out->path());
        drop({inPath("a.txt")});
        QCOMPARE(log(), QStringLiteral("a.txt:\n"));
    }

    void onlyTheDropAreaTakesDrops() {
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(in->path())});
        files.setText(QStringLiteral("text"));
        for (const char* name : {"IDC_RADIO_CONVERT", "IDC_OUTPUT_FOLDER", "IDC_CHANGE_FOLDER", "IDC_OPTIONS",
                                 "IDC_HELP_BUTTON", "IDC_MESSAGES"}) {
            QVERIFY2(!dragEnter(control(name), files), name);
            dragLeave();
        }
        QVERIFY(dragEnter(control("IDC_DROP_ZONE"), files));
        dragLeave();
        QMimeData remote;
        remote.setUrls({QUrl::fromLocalFile(in->path()), QUrl(QStringLiteral("https://example.org/a.txt"))});
        QVERIFY(!dragEnter(control("IDC_DROP_ZONE"), remote));
        dragLeave();
    }
};

QTEST_MAIN(ZektWinTest)
#include "zektwin_test.moc"
