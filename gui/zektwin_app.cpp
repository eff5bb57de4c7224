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

}  // namespace

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
      browseFolder(browseForFolder) {}

int CZektWinApp::InitInstance(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(applicationComments));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Files to convert (or check) as if dropped."),
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
