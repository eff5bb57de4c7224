#include "zektwin_app.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>

#include "drop_target.h"
#include "option_field.h"
#include "resources.h"
#include "zektwin_dlg.h"

namespace zektwin {
namespace {

QString browseForFolder(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QStringList browseForFiles(QWidget* parent, const QString& start) {
    return QFileDialog::getOpenFileNames(parent, QString::fromUtf8(IDS_ADD_FILES), start);
}

bool askToClose(QWidget* parent) {
    return QMessageBox::question(parent, QString::fromUtf8(dialogTitle),
                                 QString::fromUtf8(IDS_CLOSE_RUNNING)) == QMessageBox::Yes;
}

QFont messageFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

constexpr char filesArgument[] = "Files (and folders) to convert as if dropped.";

int entryOr(const QVariant& value, int count, int fallback) {
    bool ok = false;
    const int entry = value.toInt(&ok);
    return ok && entry >= 0 && entry < count ? entry : fallback;
}

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
    // The application keeps it for its life.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

QString defaultOutputFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString folder = documents + QStringLiteral("/ZektWin");
    if (!QFileInfo::exists(folder) && QDir().mkpath(documents))
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

CZektWinApp::CZektWinApp(QString settingsFile)
    : m_font(messageFont()),
      browseFolder(browseForFolder),
      browseFiles(browseForFiles),
      confirmClose(askToClose),
      showAbout(QMessageBox::about),
      progressClock(steadyTime),
      m_settingsFile(std::move(settingsFile)) {
    loadSettings();
}

std::unique_ptr<QSettings> CZektWinApp::settings() const {
    if (m_settingsFile.isEmpty()) return std::make_unique<QSettings>();
    return std::make_unique<QSettings>(m_settingsFile, QSettings::IniFormat);
}

void CZektWinApp::loadSettings() {
    const std::unique_ptr<QSettings> saved = settings();
    m_outputFolder = saved->value(QStringLiteral("outputFolder")).toString();
    if (m_outputFolder.isEmpty()) m_outputFolder = defaultOutputFolder();
    m_checkMode = saved->value(QStringLiteral("checkMode"), false).toBool();
    m_outputCode =
        entryOr(saved->value(QStringLiteral("outputCode")), std::size(outputCodes), defaultOutputCode);
    m_lineEnd = entryOr(saved->value(QStringLiteral("lineEnd")), std::size(lineEnds), defaultLineEnd);
    m_options = saved->value(QStringLiteral("options")).toString();
    m_existing = static_cast<Existing>(entryOr(saved->value(QStringLiteral("existing")), 3, 0));
    m_geometry = saved->value(QStringLiteral("geometry")).toByteArray();
}

void CZektWinApp::saveSettings() const {
    const std::unique_ptr<QSettings> saved = settings();
    saved->setValue(QStringLiteral("outputFolder"), m_outputFolder);
    saved->setValue(QStringLiteral("checkMode"), m_checkMode);
    saved->setValue(QStringLiteral("outputCode"), m_outputCode);
    saved->setValue(QStringLiteral("lineEnd"), m_lineEnd);
    saved->setValue(QStringLiteral("options"), m_options);
    saved->setValue(QStringLiteral("existing"), static_cast<int>(m_existing));
    saved->setValue(QStringLiteral("geometry"), m_geometry);
}

QList<QByteArray> namedFiles(const QStringList& found, const QList<QByteArray>& given) {
    QList<QByteArray> files;
    for (const QString& file : found) {
        const auto same =
            std::ranges::find_if(given, [&](const QByteArray& g) { return QFile::decodeName(g) == file; });
        const QByteArray name = same != given.end() ? *same : QFile::encodeName(file);
        // Absolute, like dropped paths: a name starting with "-" cannot pass
        // for an option.
        files << (name.startsWith('/') ? name : QFile::encodeName(QDir::currentPath()) + '/' + name);
    }
    return files;
}

int CZektWinApp::InitInstance(const QStringList& arguments, const QList<QByteArray>& givenArguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(applicationComments));
    parser.addPositionalArgument(QStringLiteral("files"), QString::fromLatin1(filesArgument),
                                 QStringLiteral("[files...]"));
    parser.process(arguments);

    const QList<QByteArray> files = namedFiles(parser.positionalArguments(), givenArguments);

    CZektWinDlg dialog(*this);
    if (!files.isEmpty())
        QTimer::singleShot(0, &dialog, [&dialog, files] { dialog.dropTarget().OnDropFiles(files); });
    dialog.exec();
    return 0;
}

}  // namespace zektwin
