#include "zektwin_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>

#include "drop_run.h"
#include "drop_target.h"
#include "resources.h"
#include "zektwin_dlg.h"

namespace zektwin {
namespace {

void showMessageBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(dialogTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

QString browseForFolder(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QFont messageFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

constexpr char filesArgument[] = "Files (and folders) to convert as if dropped.";

}  // namespace

std::optional<std::string> headlessAnswer(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;  // file names follow
        if (arg == "-v" || arg == "--version")
            return std::string(applicationName) + " " + applicationVersion + "\n";
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all")
            return std::string("Usage: ") + applicationName + " [options] [files...]\n" +
                   applicationComments +
                   "\n\nOptions:\n  -h, --help     Displays this help.\n"
                   "  -v, --version  Displays version information.\n\nArguments:\n  files          " +
                   filesArgument + "\n";
    }
    return std::nullopt;
}

void setApplicationMetadata() {
    QCoreApplication::setApplicationName(QString::fromUtf8(applicationName));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(applicationVersion));
    QCoreApplication::setOrganizationName(QString::fromUtf8(organizationName));
    QGuiApplication::setWindowIcon(QIcon(QString::fromLatin1(IDI_MAIN_ICON)));
    QGuiApplication::setDesktopFileName(QStringLiteral("zektwin"));
}

CZektWinApp::CZektWinApp()
    : m_font(messageFont()),
      m_outputFolder(QDir::tempPath()),
      showMessage(showMessageBox),
      browseFolder(browseForFolder),
      progressClock(steadyTime) {}

int CZektWinApp::InitInstance(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(applicationComments));
    parser.addPositionalArgument(QStringLiteral("files"), QString::fromLatin1(filesArgument),
                                 QStringLiteral("[files...]"));
    parser.process(arguments);

    // Absolute, like dropped paths: the log names them in full, and a name
    // starting with "-" cannot pass for an option.
    QStringList files;
    for (const QString& file : parser.positionalArguments()) files << QFileInfo(file).absoluteFilePath();

    CZektWinDlg dialog(*this);
    if (!files.isEmpty())
        QTimer::singleShot(0, &dialog, [&dialog, files] { dialog.dropTarget().OnDropFiles(files); });
    dialog.exec();
    return 0;
}

}  // namespace zektwin
