// The application object: owns the GUI state for the life of the program,
// and keeps the user's choices from one start to the next.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "drop_run.h"

class QSettings;
class QWidget;

namespace zektwin {

// Name, version, organisation, icon and desktop file of the running
// application, and Qt's own texts in the user's language.
void setApplicationMetadata();

// The text that --version or --help asks for, if the command line holds
// one; it needs no display, so it is answered before the application
// object is made.
std::optional<std::string> headlessAnswer(int argc, const char* const* argv);

// ZektWin in the user's documents folder: private, made 0700 when missing.
QString defaultOutputFolder();

// The files named on the command line, absolute and as bytes: each as it
// was given when its decoded text is the one found, so that a name that is
// not UTF-8 still names its file.
QList<QByteArray> namedFiles(const QStringList& found, const QList<QByteArray>& given);

class CZektWinApp {
public:
    // Needs the QApplication to exist (the log font comes from its font
    // database). The choices are read from settingsFile (an INI file), or
    // from the user's own settings of the application when it is empty.
    explicit CZektWinApp(QString settingsFile = {});
    CZektWinApp(const CZektWinApp&) = delete;
    CZektWinApp& operator=(const CZektWinApp&) = delete;

    // Shows the dialog, hands it the files named on the command line, and
    // runs it until it closes; the result is the process exit status. The
    // arguments as the program was given them (bytes) keep the names that
    // are not UTF-8.
    int InitInstance(const QStringList& arguments, const QList<QByteArray>& givenArguments = {});

    // Keeps the choices below (and the window's geometry) for the next start.
    void saveSettings() const;

    QFont m_font;              // the message box's fixed-pitch font
    bool m_checkMode = false;  // false: convert, true: check
    QString m_outputFolder;    // converted files go here
    int m_outputCode = 0;      // entries of outputCodes and lineEnds
    int m_lineEnd = 0;
    QString m_options;  // the options field as typed
    Existing m_existing = Existing::RENAME;
    QByteArray m_geometry;  // the window's, as Qt saves it
    QString m_outputPath;   // output of the file in hand (empty: check)
    QString messageLog;     // the log shown: the last drop's text, "\n" line ends

    // Replaceable so that tests never block on a modal window.
    // Asks for a folder; an empty result means the user cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& start)> browseFolder;
    // Asks for files to add; empty when cancelled.
    std::function<QStringList(QWidget* parent, const QString& start)> browseFiles;
    // Asks whether to close while a drop runs.
    std::function<bool(QWidget* parent)> confirmClose;
    // The About box, with its title and text.
    std::function<void(QWidget* parent, const QString& title, const QString& text)> showAbout;
    // The clock the drops' progress reports are throttled by (steadyTime).
    std::function<std::chrono::nanoseconds()> progressClock;

private:
    std::unique_ptr<QSettings> settings() const;
    void loadSettings();

    QString m_settingsFile;
};

}  // namespace zektwin
