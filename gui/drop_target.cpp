#include "drop_target.h"

#include <sys/stat.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "gui_converter.h"
#include "resources.h"
#include "zektwin_app.h"
#include "zektwin_dlg.h"

namespace zektwin {
namespace {

// Local files only: a drag that carries anything else is refused whole.
QStringList localFiles(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    QStringList paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        paths << url.toLocalFile();
    }
    return paths;
}

bool statFile(const QString& path, struct stat& st) {
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

}  // namespace

QString outputPathFor(const QString& folder, const QString& inputPath) {
    const QString separator = folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    return folder + separator + QFileInfo(inputPath).fileName();
}

// Device and inode catch every other spelling of one file: "./a.txt", a
// doubled "/", a symbolic link, a hard link.
bool sameFile(const QString& a, const QString& b) {
    if (a == b) return true;
    struct stat sa {
    }, sb{};
    return statFile(a, sa) && statFile(b, sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

CDropTarget::CDropTarget(CZektWinApp& app, CZektWinDlg& dialog)
    : QLabel(QString::fromUtf8(captionDropZone), &dialog), m_app(app), m_dialog(dialog) {
    setObjectName(QString::fromLatin1(IDC_DROP_ZONE));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMinimumHeight(3 * fontMetrics().height());
    setAcceptDrops(true);
}

void CDropTarget::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CDropTarget::dragMoveEvent(QDragMoveEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

// The files are handled once the drop has completed, so that the drag's
// source is not kept waiting by the conversion or the same-file box.
void CDropTarget::dropEvent(QDropEvent* event) {
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, paths] { OnDropFiles(paths); });
}

void CDropTarget::OnDropFiles(const QStringList& paths) {
    m_app.messageLog.clear();
    const QString optionText = m_dialog.optionText();
    for (const QString& path : paths) {
        const bool convert = m_dialog.convertSelected();
        if (convert) {
            m_app.m_outputPath = outputPathFor(m_app.m_outputFolder, path);
            m_app.messageLog += QFileInfo(path).fileName() + QLatin1Char(':');
        } else {
            m_app.m_outputPath.clear();
        }
        m_app.m_inputPath = path;
        if (sameFile(m_app.m_inputPath, m_app.m_outputPath)) {
            m_app.showMessage(&m_dialog, QString::fromUtf8(IDS_SAME_FILE));
            break;
        }
        GuiConverter converter(m_app);
        try {
            converter.runOptionText(convert ? optionText : optionText + QStringLiteral(" -c"),
                                    m_app.m_inputPath);
        } catch (const std::bad_alloc&) {
            logNoMemory(m_app);
            break;
        }
        m_app.messageLog += QLatin1Char('\n');
        // The output could not be written (a full disk, say) or memory ran
        // out: the rest of the drop would fail alike.
        if (converter.fatalError()) break;
    }
    m_dialog.showLog(m_app.messageLog);
}

}  // namespace zektwin
