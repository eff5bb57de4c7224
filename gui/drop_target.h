// The drop area: the one part of the dialog that accepts dropped files.
#pragma once

#include <QByteArray>
#include <QLabel>
#include <QList>

namespace zektwin {

class CZektWinDlg;

class CDropTarget : public QLabel {
public:
    explicit CDropTarget(CZektWinDlg& dialog);

    // Converts or checks the paths (bytes, as the file system holds them)
    // in the background; a drop while one runs is ignored.
    void OnDropFiles(const QList<QByteArray>& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CZektWinDlg& m_dialog;
};

}  // namespace zektwin
