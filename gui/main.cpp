// ZektWin: the dialog-based desktop converter.
#include <QApplication>

#include "zektwin_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    zektwin::setApplicationMetadata();
    zektwin::CZektWinApp theApp;
    return theApp.InitInstance(QCoreApplication::arguments());
}
