#include "zektwin_dlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <new>
#include <utility>

#include "drop_run.h"
#include "drop_target.h"
#include "gui_converter.h"
#include "resources.h"
#include "zektwin_app.h"

namespace zektwin {
namespace {

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

// The resource name becomes the object name, by which the control is found.
QString idName(const char* name) { return QString::fromLatin1(name); }

// Enter must not fire a button: typing options and pressing Enter should
// neither open the folder browser nor flood the log with the usage.
QPushButton* pushButton(const char* caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text(caption), parent);
    button->setObjectName(idName(name));
    button->setAutoDefault(false);
    return button;
}

QLabel* staticText(const char* caption, QWidget* parent) {
    auto* label = new QLabel(text(caption), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

}  // namespace

CZektWinDlg::CZektWinDlg(CZektWinApp& app, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_app(app),
      m_hIcon(QString::fromLatin1(IDI_MAIN_ICON)) {
    setObjectName(idName(IDD_MAIN_DIALOG));
    setWindowTitle(text(dialogTitle));
    createControls();
    layOutControls();
    OnInitDialog();
}

CZektWinDlg::~CZektWinDlg() { stopDrop(); }

// Created in the template's order, which is also the tab order.
void CZektWinDlg::createControls() {
    m_radioConvert = new QRadioButton(text(captionConvert), this);
    m_radioConvert->setObjectName(idName(IDC_RADIO_CONVERT));
    m_radioCheck = new QRadioButton(text(captionCheck), this);
    m_radioCheck->setObjectName(idName(IDC_RADIO_CHECK));

    m_folderLabel = staticText(captionFolderLabel, this);
    m_outputFolder = new QLineEdit(this);
    m_outputFolder->setObjectName(idName(IDC_OUTPUT_FOLDER));
    m_outputFolder->setReadOnly(true);
    m_changeFolder = pushButton(captionChangeFolder, IDC_CHANGE_FOLDER, this);

    m_optionLabel = staticText(captionOptionLabel, this);
    m_options = new QLineEdit(this);
    m_options->setObjectName(idName(IDC_OPTIONS));
    m_helpButton = pushButton(captionHelp, IDC_HELP_BUTTON, this);

    m_dropTarget = new CDropTarget(*this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(idName(IDC_PROGRESS));
    m_progress->hide();
    m_cancel = pushButton(captionCancel, IDC_CANCEL, this);
    m_cancel->hide();

    m_messages = new QPlainTextEdit(this);
    m_messages->setObjectName(idName(IDC_MESSAGES));
    m_messages->setReadOnly(true);
    m_messages->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_messages->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_messages->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_messages->setTabChangesFocus(true);

    m_messageLabel = staticText(captionMessageLabel, this);
}

void CZektWinDlg::layOutControls() {
    auto* modes = new QHBoxLayout;
    modes->addWidget(m_radioConvert);
    modes->addWidget(m_radioCheck);
    modes->addStretch();

    auto* rows = new QGridLayout;
    rows->addWidget(m_folderLabel, 0, 0);
    rows->addWidget(m_outputFolder, 0, 1);
    rows->addWidget(m_changeFolder, 0, 2);
    rows->addWidget(m_optionLabel, 1, 0);
    rows->addWidget(m_options, 1, 1);
    rows->addWidget(m_helpButton, 1, 2);
    rows->setColumnStretch(1, 1);

    auto* dialog = new QVBoxLayout(this);
    dialog->addLayout(modes);
    dialog->addLayout(rows);
    dialog->addWidget(m_dropTarget);
    auto* progress = new QHBoxLayout;
    progress->addWidget(m_progress, 1);
    progress->addWidget(m_cancel);
    dialog->addLayout(progress);
    dialog->addWidget(m_messageLabel);
    dialog->addWidget(m_messages, 1);
    resize(560, 420);
}

void CZektWinDlg::OnInitDialog() {
    setWindowIcon(m_hIcon);
    m_messages->setFont(m_app.m_font);
    m_messages->setTabStopDistance(8 * QFontMetricsF(m_app.m_font).horizontalAdvance(QLatin1Char(' ')));

    // Text widgets take text drops by default; here only the drop area
    // takes anything.
    for (QWidget* child : findChildren<QWidget*>()) child->setAcceptDrops(child == m_dropTarget);
    setAcceptDrops(false);

    m_outputFolder->setText(m_app.m_outputFolder);
    if (m_app.m_checkMode) {
        m_radioCheck->setChecked(true);
        OnCheckMode();
    } else {
        m_radioConvert->setChecked(true);
        OnConvertMode();
    }
    connect(m_radioConvert, &QRadioButton::toggled, this, [this](bool on) {
        if (on) OnConvertMode();
    });
    connect(m_radioCheck, &QRadioButton::toggled, this, [this](bool on) {
        if (on) OnCheckMode();
    });
    connect(m_changeFolder, &QPushButton::clicked, this, &CZektWinDlg::OnChangeFolder);
    connect(m_helpButton, &QPushButton::clicked, this, &CZektWinDlg::OnHelpButton);
    connect(m_cancel, &QPushButton::clicked, this, &CZektWinDlg::cancelDrop);
}

void CZektWinDlg::OnChangeFolder() {
    const QString folder = m_app.browseFolder(this, text(IDS_SELECT_FOLDER), m_app.m_outputFolder);
    if (!folder.isEmpty()) m_app.m_outputFolder = folder;
    m_outputFolder->setText(m_app.m_outputFolder);
}

void CZektWinDlg::OnConvertMode() {
    m_outputFolder->setEnabled(true);
    m_changeFolder->setEnabled(true);
    m_app.m_checkMode = false;
}

void CZektWinDlg::OnCheckMode() {
    m_outputFolder->setEnabled(false);
    m_changeFolder->setEnabled(false);
    m_app.m_checkMode = true;
}

// The log is not emptied: the usage follows whatever it already holds.
void CZektWinDlg::OnHelpButton() {
    try {
        GuiConverter converter(QStringLiteral("-help"));
        converter.convertFile({});
        m_app.messageLog += converter.log();
    } catch (const std::bad_alloc&) {
        m_app.messageLog += QString::fromLatin1(noMemoryLine);
    }
    showLog(m_app.messageLog);
}

QString CZektWinDlg::optionText() const { return m_options->text(); }

bool CZektWinDlg::convertSelected() const { return m_radioConvert->isChecked(); }

void CZektWinDlg::showLog(const QString& log) { m_messages->setPlainText(log); }

void CZektWinDlg::startDrop(const QStringList& paths) {
    if (m_run) return;
    m_app.messageLog.clear();
    showLog(m_app.messageLog);
    m_run = std::make_unique<DropRun>(paths, optionText(), convertSelected(), m_app.m_outputFolder,
                                      m_app.progressClock);
    connect(m_run.get(), &DropRun::logged, this, &CZektWinDlg::appendLog);
    connect(m_run.get(), &DropRun::fileStarted, this,
            [this](const QString&, const QString& output) { m_app.m_outputPath = output; });
    connect(m_run.get(), &DropRun::progressed, this, &CZektWinDlg::showProgress);
    connect(m_run.get(), &DropRun::sameFileFound, this, [this] { m_sameFile = true; });
    connect(m_run.get(), &QThread::finished, this, [this] { finishDrop(); });
    setRunning(true);
    m_run->start();
}

void CZektWinDlg::cancelDrop() {
    if (!m_run) return;
    m_run->cancel();
    m_cancel->setEnabled(false);
}

void CZektWinDlg::done(int result) {
    stopDrop();
    QDialog::done(result);
}

void CZektWinDlg::stopDrop() {
    if (!m_run) return;
    m_run->cancel();
    m_run->wait();
    // Its last log lines and its end are still queued for this dialog.
    m_closing = true;
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    finishDrop();
    m_closing = false;
}

void CZektWinDlg::finishDrop() {
    if (!m_run) return;
    m_run->wait();  // the thread may still be on its way out
    m_run.reset();
    setRunning(false);
    if (std::exchange(m_sameFile, false) && !m_closing) m_app.showMessage(this, text(IDS_SAME_FILE));
}

// While a drop runs only the log, the cancel button and the window itself
// answer the user.
void CZektWinDlg::setRunning(bool running) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_radioConvert, m_radioCheck, m_options, m_helpButton, m_dropTarget})
        control->setEnabled(!running);
    m_outputFolder->setEnabled(!running && !m_app.m_checkMode);
    m_changeFolder->setEnabled(!running && !m_app.m_checkMode);
    m_progress->setVisible(running);
    m_progress->setRange(0, 0);  // busy until the first report
    m_cancel->setVisible(running);
    m_cancel->setEnabled(running);
    if (running)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CZektWinDlg::appendLog(const QString& text) {
    m_app.messageLog += text;
    m_messages->moveCursor(QTextCursor::End);
    m_messages->insertPlainText(text);
}

void CZektWinDlg::showProgress(int filesDone, int filesFound, qint64 bytesDone, qint64 fileBytes) {
    constexpr int steps = 1000;
    const double fraction =
        fileBytes > 0 ? static_cast<double>(bytesDone) / static_cast<double>(fileBytes) : 0;
    m_progress->setRange(0, steps);
    m_progress->setValue(filesFound > 0 ? static_cast<int>(steps * (filesDone + fraction) / filesFound) : 0);
    QString format = QStringLiteral("%1 / %2").arg(filesDone).arg(filesFound);
    if (fileBytes > 0) format += QStringLiteral("  (%1 / %2 MiB)").arg(bytesDone >> 20).arg(fileBytes >> 20);
    m_progress->setFormat(format);
}

}  // namespace zektwin
