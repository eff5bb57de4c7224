#include "zektwin_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCharFormat>
#include <QVBoxLayout>
#include <new>
#include <utility>

#include "drop_run.h"
#include "drop_target.h"
#include "option_field.h"
#include "resources.h"
#include "zektwin_app.h"

namespace zektwin {
namespace {

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

// The resource name becomes the object name, by which the control is found.
QString idName(const char* name) { return QString::fromLatin1(name); }

// Enter must not fire a button: typing options and pressing Enter should
// neither open the folder browser nor the About box.
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

template <std::size_t N>
QComboBox* list(const ListEntry (&entries)[N], const char* name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(idName(name));
    for (const ListEntry& entry : entries) box->addItem(text(entry.label));
    return box;
}

QColor markColour(int mark) {
    switch (mark) {
        case SUBSTITUTED: return QColor(0xB0, 0x60, 0x00);
        case FAILED: return QColor(0xC0, 0x00, 0x00);
        default: return {};
    }
}

}  // namespace

CZektWinDlg::CZektWinDlg(CZektWinApp& app, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint),
      m_app(app),
      m_hIcon(QString::fromLatin1(IDI_MAIN_ICON)) {
    setObjectName(idName(IDD_MAIN_DIALOG));
    setWindowTitle(text(dialogTitle));
    createControls();
    layOutControls();
    OnInitDialog();
}

// Hiding the window as QDialog goes ends the field's editing: its signals
// must not reach the part of the dialog already destroyed.
CZektWinDlg::~CZektWinDlg() {
    m_options->disconnect(this);
    stopDrop();
}

// Created in the tab order.
void CZektWinDlg::createControls() {
    m_radioConvert = new QRadioButton(text(captionConvert), this);
    m_radioConvert->setObjectName(idName(IDC_RADIO_CONVERT));
    m_radioCheck = new QRadioButton(text(captionCheck), this);
    m_radioCheck->setObjectName(idName(IDC_RADIO_CHECK));
    m_existingLabel = staticText(captionExisting, this);
    m_existing = new QComboBox(this);
    m_existing->setObjectName(idName(IDC_EXISTING));
    for (const char* choice : existingChoices) m_existing->addItem(text(choice));

    m_folderLabel = staticText(captionFolderLabel, this);
    m_outputFolder = new QLineEdit(this);
    m_outputFolder->setObjectName(idName(IDC_OUTPUT_FOLDER));
    m_outputFolder->setReadOnly(true);
    m_changeFolder = pushButton(captionChangeFolder, IDC_CHANGE_FOLDER, this);

    m_codeLabel = staticText(captionOutputCode, this);
    m_outputCode = list(outputCodes, IDC_OUTPUT_CODE, this);
    m_lineEndLabel = staticText(captionLineEnd, this);
    m_lineEnd = list(lineEnds, IDC_LINE_END, this);

    m_optionLabel = staticText(captionOptionLabel, this);
    m_options = new QLineEdit(this);
    m_options->setObjectName(idName(IDC_OPTIONS));
    m_helpButton = pushButton(captionHelp, IDC_HELP_BUTTON, this);
    m_optionProblems = new QLabel(this);
    m_optionProblems->setObjectName(idName(IDC_OPTION_PROBLEMS));
    m_optionProblems->setStyleSheet(QStringLiteral("color: #c00000"));
    m_optionProblems->setWordWrap(true);
    m_optionProblems->hide();

    m_dropTarget = new CDropTarget(*this);
    m_addFiles = pushButton(captionAddFiles, IDC_ADD_FILES, this);
    m_addFiles->setShortcut(QKeySequence::Open);
    m_addFolder = pushButton(captionAddFolder, IDC_ADD_FOLDER, this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(idName(IDC_PROGRESS));
    m_progress->hide();
    m_cancel = pushButton(captionCancel, IDC_CANCEL, this);
    m_cancel->hide();

    m_messageLabel = staticText(captionMessageLabel, this);
    m_messages = new QPlainTextEdit(this);
    m_messages->setObjectName(idName(IDC_MESSAGES));
    m_messages->setReadOnly(true);
    m_messages->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_messages->setTabChangesFocus(true);
}

void CZektWinDlg::layOutControls() {
    auto* modes = new QHBoxLayout;
    modes->addWidget(m_radioConvert);
    modes->addWidget(m_radioCheck);
    modes->addStretch();
    modes->addWidget(m_existingLabel);
    modes->addWidget(m_existing);

    auto* writes = new QHBoxLayout;
    writes->addWidget(m_outputCode);
    writes->addSpacing(12);
    writes->addWidget(m_lineEndLabel);
    writes->addWidget(m_lineEnd);
    writes->addStretch();

    auto* rows = new QGridLayout;
    rows->addWidget(m_folderLabel, 0, 0);
    rows->addWidget(m_outputFolder, 0, 1);
    rows->addWidget(m_changeFolder, 0, 2);
    rows->addWidget(m_codeLabel, 1, 0);
    rows->addLayout(writes, 1, 1, 1, 2);
    rows->addWidget(m_optionLabel, 2, 0);
    rows->addWidget(m_options, 2, 1);
    rows->addWidget(m_helpButton, 2, 2);
    rows->addWidget(m_optionProblems, 3, 1, 1, 2);
    rows->setColumnStretch(1, 1);

    auto* adding = new QHBoxLayout;
    adding->addWidget(m_addFiles);
    adding->addWidget(m_addFolder);
    adding->addStretch();
    adding->addWidget(m_progress, 1);
    adding->addWidget(m_cancel);

    auto* dialog = new QVBoxLayout(this);
    dialog->addLayout(modes);
    dialog->addLayout(rows);
    dialog->addWidget(m_dropTarget);
    dialog->addLayout(adding);
    dialog->addWidget(m_messageLabel);
    dialog->addWidget(m_messages, 1);
    resize(640, 480);
}

void CZektWinDlg::OnInitDialog() {
    setWindowIcon(m_hIcon);
    m_messages->setFont(m_app.m_font);
    m_messages->setTabStopDistance(8 * QFontMetricsF(m_app.m_font).horizontalAdvance(QLatin1Char(' ')));

    // Text widgets take text drops by default; here only the drop area
    // takes anything.
    for (QWidget* child : findChildren<QWidget*>()) child->setAcceptDrops(child == m_dropTarget);
    setAcceptDrops(false);

    if (!m_app.m_geometry.isEmpty()) restoreGeometry(m_app.m_geometry);
    m_outputFolder->setText(m_app.m_outputFolder);
    m_outputCode->setCurrentIndex(m_app.m_outputCode);
    m_lineEnd->setCurrentIndex(m_app.m_lineEnd);
    m_existing->setCurrentIndex(static_cast<int>(m_app.m_existing));
    m_options->setText(m_app.m_options);
    checkOptions();
    if (m_app.m_checkMode) {
        m_radioCheck->setChecked(true);
        OnCheckMode();
    } else {
        m_radioConvert->setChecked(true);
        OnConvertMode();
    }
    connectControls();
}

void CZektWinDlg::connectControls() {
    connect(m_radioConvert, &QRadioButton::toggled, this, [this](bool on) {
        if (on) OnConvertMode();
    });
    connect(m_radioCheck, &QRadioButton::toggled, this, [this](bool on) {
        if (on) OnCheckMode();
    });
    connect(m_changeFolder, &QPushButton::clicked, this, &CZektWinDlg::OnChangeFolder);
    connect(m_helpButton, &QPushButton::clicked, this, &CZektWinDlg::OnHelpButton);
    connect(m_addFiles, &QPushButton::clicked, this, &CZektWinDlg::OnAddFiles);
    connect(m_addFolder, &QPushButton::clicked, this, &CZektWinDlg::OnAddFolder);
    connect(m_cancel, &QPushButton::clicked, this, &CZektWinDlg::cancelDrop);
    connect(m_options, &QLineEdit::textChanged, this, &CZektWinDlg::checkOptions);
    connect(m_options, &QLineEdit::editingFinished, this, &CZektWinDlg::moveListWords);
    connect(m_outputCode, &QComboBox::currentIndexChanged, this,
            [this](int entry) { m_app.m_outputCode = entry; });
    connect(m_lineEnd, &QComboBox::currentIndexChanged, this, [this](int entry) { m_app.m_lineEnd = entry; });
    connect(m_existing, &QComboBox::currentIndexChanged, this,
            [this](int entry) { m_app.m_existing = static_cast<Existing>(entry); });
}

// Marked at once, with each word's reason below the field.
void CZektWinDlg::checkOptions() {
    m_app.m_options = m_options->text();
    const QStringList problems = readOptionField(m_options->text()).problems;
    m_optionProblems->setText(problems.join('\n'));
    m_optionProblems->setVisible(!problems.isEmpty());
    m_options->setStyleSheet(problems.isEmpty() ? QString() : QStringLiteral("border: 1px solid #c00000"));
}

// A code or line-end word of the field is shown where it belongs: in its
// list. The field keeps the other words, full-width ones as ASCII.
void CZektWinDlg::moveListWords() {
    const OptionField field = readOptionField(m_options->text());
    if (field.outputCode) m_outputCode->setCurrentIndex(*field.outputCode);
    if (field.lineEnd) m_lineEnd->setCurrentIndex(*field.lineEnd);
    const QString rest = field.kept.join(' ');
    if (rest != m_options->text()) m_options->setText(rest);
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

void CZektWinDlg::OnHelpButton() {
    const QString version = text(applicationName) + ' ' + text(applicationVersion);
    m_app.showAbout(this, text(IDS_ABOUT_TITLE), version + '\n' + text(IDS_ABOUT_TEXT));
}

// The same as dropping them.
void CZektWinDlg::OnAddFiles() {
    QList<QByteArray> paths;
    for (const QString& file : m_app.browseFiles(this, QString())) paths << QFile::encodeName(file);
    if (!paths.isEmpty()) startDrop(paths);
}

void CZektWinDlg::OnAddFolder() {
    const QString folder = m_app.browseFolder(this, text(IDS_ADD_FOLDER), QString());
    if (!folder.isEmpty()) startDrop({QFile::encodeName(folder)});
}

QString CZektWinDlg::optionText() const { return m_options->text(); }

bool CZektWinDlg::convertSelected() const { return m_radioConvert->isChecked(); }

void CZektWinDlg::showLog(const QString& log) { m_messages->setPlainText(log); }

void CZektWinDlg::startDrop(const QList<QByteArray>& paths) {
    if (m_run) return;
    moveListWords();
    keepChoices();
    m_app.messageLog.clear();
    showLog(m_app.messageLog);
    const OptionField field = readOptionField(optionText());
    if (!field.problems.isEmpty()) {
        for (const QString& problem : field.problems) appendLog(problem + '\n', FAILED);
        appendLog(QStringLiteral("Nothing converted: the options need correcting first.\n"), FAILED);
        return;
    }
    DropOptions options{dropWords(m_outputCode->currentIndex(), m_lineEnd->currentIndex(), field.words),
                        convertSelected(), m_app.m_outputFolder, m_app.m_existing};
    m_run = std::make_unique<DropRun>(paths, std::move(options), m_app.progressClock);
    connect(m_run.get(), &DropRun::logged, this, &CZektWinDlg::appendLog);
    connect(m_run.get(), &DropRun::fileStarted, this,
            [this](const QString&, const QString& output) { m_app.m_outputPath = output; });
    connect(m_run.get(), &DropRun::progressed, this, &CZektWinDlg::showProgress);
    connect(m_run.get(), &QThread::finished, this, [this] { finishDrop(); });
    setRunning(true);
    m_run->start();
}

void CZektWinDlg::keepChoices() {
    m_app.m_geometry = saveGeometry();
    m_app.saveSettings();
}

void CZektWinDlg::cancelDrop() {
    if (!m_run) return;
    m_run->cancel();
    m_cancel->setEnabled(false);
}

void CZektWinDlg::done(int result) {
    stopDrop();
    keepChoices();
    QDialog::done(result);
}

void CZektWinDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CZektWinDlg::closeEvent(QCloseEvent* event) {
    if (m_run && !m_app.confirmClose(this)) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CZektWinDlg::stopDrop() {
    if (!m_run) return;
    m_run->cancel();
    m_run->wait();
    // Its last log lines and its end are still queued for this dialog.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    finishDrop();
}

void CZektWinDlg::finishDrop() {
    if (!m_run) return;
    m_run->wait();  // the thread may still be on its way out
    m_run.reset();
    setRunning(false);
}

// While a drop runs only the log, the cancel button and the window itself
// answer the user.
void CZektWinDlg::setRunning(bool running) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_radioConvert, m_radioCheck, m_existing, m_outputCode, m_lineEnd,
                                         m_options, m_helpButton, m_dropTarget, m_addFiles, m_addFolder})
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

void CZektWinDlg::appendLog(const QString& text, int mark) {
    m_app.messageLog += text;
    m_messages->moveCursor(QTextCursor::End);
    QTextCharFormat format;
    if (const QColor colour = markColour(mark); colour.isValid()) format.setForeground(colour);
    m_messages->textCursor().insertText(text, format);
    m_messages->ensureCursorVisible();
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
