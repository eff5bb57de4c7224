// ZektWin: the dialog-based desktop converter.
#include <QApplication>
#include <cstdio>

#include "zektwin_app.h"

int main(int argc, char** argv) {
    // Answered without a display: the application object would need one.
    if (const auto answer = zektwin::headlessAnswer(argc, argv)) {
        std::fputs(answer->c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    QApplication application(argc, argv);
    zektwin::setApplicationMetadata();
    zektwin::CZektWinApp theApp;
    QList<QByteArray> given;
    for (int i = 1; i < argc; ++i) given << QByteArray(argv[i]);
    return theApp.InitInstance(QCoreApplication::arguments(), given);
}
