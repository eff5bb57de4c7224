#include "drop_target.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "resources.h"
#include "zektwin_dlg.h"

namespace zektwin {
namespace {

// Local files only: a drag that carries anything else is refused whole.
// The paths are taken as bytes from the URLs' percent-encoding, so that a
// name that is not UTF-8 reaches the file it names.
QList<QByteArray> localFiles(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    QList<QByteArray> paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        paths << QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    }
    return paths;
}

}  // namespace

CDropTarget::CDropTarget(CZektWinDlg& dialog)
    : QLabel(QString::fromUtf8(captionDropZone), &dialog), m_dialog(dialog) {
    setObjectName(QString::fromLatin1(IDC_DROP_ZONE));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMinimumHeight(3 * fontMetrics().height());
    setAcceptDrops(true);
}

// Disabled while a drop runs: the next one waits for it to end.
void CDropTarget::dragEnterEvent(QDragEnterEvent* event) {
    if (isEnabled() && !localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CDropTarget::dragMoveEvent(QDragMoveEvent* event) {
    if (isEnabled() && !localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

// The files are handled once the drop has completed, so that the drag's
// source is not kept waiting.
void CDropTarget::dropEvent(QDropEvent* event) {
    const QList<QByteArray> paths = localFiles(event->mimeData());
    if (paths.isEmpty() || !isEnabled()) return;
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, paths] { OnDropFiles(paths); });
}

void CDropTarget::OnDropFiles(const QList<QByteArray>& paths) { m_dialog.startDrop(paths); }

}  // namespace zektwin
