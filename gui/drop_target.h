// The drop area: the one part of the dialog that accepts dropped files.
#pragma once

#include <QLabel>
#include <QStringList>

namespace zektwin {

class CZektWinDlg;

class CDropTarget : public QLabel {
public:
    explicit CDropTarget(CZektWinDlg& dialog);

    // Converts or checks each path in order, in the background; a drop
    // while one runs is ignored.
    void OnDropFiles(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CZektWinDlg& m_dialog;
};

}  // namespace zektwin
