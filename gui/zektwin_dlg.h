// The main dialog: mode, output folder, what to write, option text, drop
// area and log.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QIcon>
#include <QList>
#include <memory>

class QComboBox;
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
    void OnAddFiles();
    void OnAddFolder();

    // What the drop run reads.
    QString optionText() const;
    bool convertSelected() const;
    void showLog(const QString& log);
    CDropTarget& dropTarget() { return *m_dropTarget; }

    // A drop runs in the background with the controls disabled; its log
    // lines come in as each file is done, and a summary line ends it.
    // Options the field cannot take stop it before it starts.
    void startDrop(const QList<QByteArray>& paths);
    bool dropRunning() const { return m_run != nullptr; }
    void cancelDrop();

    // Closing cancels a running drop and waits for it; the choices are kept.
    void done(int result) override;

protected:
    // Esc does not close the window: it is too easily pressed by mistake.
    void keyPressEvent(QKeyEvent* event) override;
    // Closing while a drop runs asks first.
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void layOutControls();
    void OnInitDialog();
    void connectControls();
    void checkOptions();
    void moveListWords();
    void keepChoices();
    void setRunning(bool running);
    void appendLog(const QString& text, int mark);
    void showProgress(int filesDone, int filesFound, qint64 bytesDone, qint64 fileBytes);
    void finishDrop();
    void stopDrop();

    CZektWinApp& m_app;
    QIcon m_hIcon;
    QRadioButton* m_radioConvert = nullptr;
    QRadioButton* m_radioCheck = nullptr;
    QLabel* m_existingLabel = nullptr;
    QComboBox* m_existing = nullptr;
    QLabel* m_folderLabel = nullptr;
    QLineEdit* m_outputFolder = nullptr;
    QPushButton* m_changeFolder = nullptr;
    QLabel* m_codeLabel = nullptr;
    QComboBox* m_outputCode = nullptr;
    QLabel* m_lineEndLabel = nullptr;
    QComboBox* m_lineEnd = nullptr;
    QLabel* m_optionLabel = nullptr;
    QLineEdit* m_options = nullptr;
    QPushButton* m_helpButton = nullptr;
    QLabel* m_optionProblems = nullptr;
    CDropTarget* m_dropTarget = nullptr;
    QPushButton* m_addFiles = nullptr;
    QPushButton* m_addFolder = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    QPlainTextEdit* m_messages = nullptr;
    QLabel* m_messageLabel = nullptr;
    std::unique_ptr<DropRun> m_run;
};

}  // namespace zektwin
