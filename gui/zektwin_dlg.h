// The main dialog: mode, output folder, option text, drop area and log.
#pragma once

#include <QDialog>
#include <QIcon>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace zektwin {

class CDropTarget;
class CZektWinApp;

class CZektWinDlg : public QDialog {
public:
    explicit CZektWinDlg(CZektWinApp& app, QWidget* parent = nullptr);

    void OnChangeFolder();
    void OnConvertMode();
    void OnCheckMode();
    void OnHelpButton();

    // What the drop run reads and sets.
    QString optionText() const;
    bool convertSelected() const;
    void showLog(const QString& log);
    CDropTarget& dropTarget() { return *m_dropTarget; }

private:
    void createControls();
    void layOutControls();
    void OnInitDialog();

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
    QPlainTextEdit* m_messages = nullptr;
    QLabel* m_messageLabel = nullptr;
};

}  // namespace zektwin
