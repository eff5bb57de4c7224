// The drop area: the one part of the dialog that accepts dropped files.
#pragma once

#include <QLabel>
#include <QStringList>

namespace zektwin {

class CZektWinApp;
class CZektWinDlg;

class CDropTarget : public QLabel {
public:
    CDropTarget(CZektWinApp& app, CZektWinDlg& dialog);

    // Converts or checks each path in order, then shows the log.
    void OnDropFiles(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CZektWinApp& m_app;
    CZektWinDlg& m_dialog;
};

// The output file for an input: the folder, "/" unless it already ends in
// one, and the input's last path component.
QString outputPathFor(const QString& folder, const QString& inputPath);

// True when both texts are equal or both name one existing file.
bool sameFile(const QString& a, const QString& b);

}  // namespace zektwin
