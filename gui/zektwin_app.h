// The application object: owns the GUI state for the life of the program.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace zektwin {

// Name, version, organisation, icon and desktop file of the running
// application.
void setApplicationMetadata();

// The text that --version or --help asks for, if the command line holds
// one; it needs no display, so it is answered before the application
// object is made.
std::optional<std::string> headlessAnswer(int argc, const char* const* argv);

class CZektWinApp {
public:
    // Needs the QApplication to exist (the log font comes from its font
    // database).
    CZektWinApp();
    CZektWinApp(const CZektWinApp&) = delete;
    CZektWinApp& operator=(const CZektWinApp&) = delete;

    // Shows the dialog, hands it the files named on the command line, and
    // runs it until it closes; the result is the process exit status.
    int InitInstance(const QStringList& arguments);

    QFont m_font;              // the message box's fixed-pitch font
    bool m_checkMode = false;  // false: convert, true: check
    QString m_outputFolder;    // converted files go here
    QString m_outputPath;      // output of the file in hand (empty: check)
    QString messageLog;        // the log shown: every drop's and help's text, "\n" line ends

    // Replaceable so that tests never block on a modal window.
    // Shows a message with an OK button only.
    std::function<void(QWidget* parent, const QString& text)> showMessage;
    // Asks for a folder; an empty result means the user cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& start)> browseFolder;
    // The clock the drops' progress reports are throttled by (steadyTime).
    std::function<std::chrono::nanoseconds()> progressClock;
};

}  // namespace zektwin
