// Program entry: one copy at a time, then the main window.
#include "core/appdir.h"
#include "ui/main/instance.h"
#include "ui/main/mainwnd.h"

#include <QApplication>
#include <QMessageBox>

#include <curl/curl.h>

int main(int argc, char **argv) {
    QApplication App(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("corvane"));
    const QString Dir = corvane::AppDir();

    corvane::TInstanceGuard Guard;
    if (!Guard.Acquire()) {
        const auto Box = corvane::SecondCopyBox(Dir + QStringLiteral("Corvane.ini"));
        QMessageBox::warning(nullptr, Box.Title, Box.Text);
        return 0;
    }

    curl_global_init(CURL_GLOBAL_ALL);
    int Rc = 0;
    {
        corvane::TfmMain Window;
        Window.show();
        Rc = App.exec();
    }
    curl_global_cleanup();
    return Rc;
}
