// The main dialog: mode, output folder, option text, drop area and log.
#pragma once

#include <QDialog>
#include <QIcon>
#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace zektwin {

class CDropTarget;
class CZektWinApp;
class DropRun;

class CZektWinDlg : public QDialog {
public:
    explicit CZektWinDlg(CZektWinApp& app, QWidget* parent = nullptr);
    // A drop still running is cancelled first.
    ~CZektWinDlg() override;

    void OnChangeFolder();
    void OnConvertMode();
    void OnCheckMode();
    void OnHelpButton();

    // What the drop run reads and sets.
    QString optionText() const;
    bool convertSelected() const;
    void showLog(const QString& log);
    CDropTarget& dropTarget() { return *m_dropTarget; }

    // A drop runs in the background with the controls disabled; its log
    // lines come in as each file is done, and a summary line ends it.
    void startDrop(const QStringList& paths);
    bool dropRunning() const { return m_run != nullptr; }
    void cancelDrop();

    // Closing cancels a running drop and waits for it.
    void done(int result) override;

private:
    void createControls();
    void layOutControls();
    void OnInitDialog();
    void setRunning(bool running);
    void appendLog(const QString& text);
    void showProgress(int filesDone, int filesFound, qint64 bytesDone, qint64 fileBytes);
    void finishDrop();
    void stopDrop();

    CZektWinApp& m_app;
    QIcon m_hIcon;
    QRadioButton* m_radioConvert = nullptr;
    QRadioButton* m_radioCheck = nullptr;
    QLabel* m_folderLabel = nullptr;
    QLineEdit* m_outputFolder = nullptr;
    QPushButton* m_changeFolder = nullptr;
    QLabel* m_optionLabel = nullptr;
    QLineEdit* m_options = nullptr;
    QPushButton* m_helpButton = nullptr;
    CDropTarget* m_dropTarget = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    QPlainTextEdit* m_messages = nullptr;
    QLabel* m_messageLabel = nullptr;
    std::unique_ptr<DropRun> m_run;
    bool m_closing = false;   // no message box while the window closes
    bool m_sameFile = false;  // the running drop met a file it would write onto itself
};

}  // namespace zektwin
