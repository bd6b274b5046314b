// Program entry: one copy at a time, then the main window.
#include <QApplication>
#include <QMessageBox>

#include "core/appdir.h"
#include "net/pagetransfer.h"
#include "ui/main/instance.h"
#include "ui/main/mainwnd.h"

int main(int argc, char **argv) {
    QApplication App(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("corvane"));
    const QString Dir = corvane::AppDir();

    corvane::ui::TInstanceGuard Guard;
    if (!Guard.Acquire()) {
        const auto Box = corvane::ui::SecondCopyBox(Dir + QStringLiteral("Corvane.ini"));
        QMessageBox::warning(nullptr, Box.Title, Box.Text);
        return 0;
    }

    const corvane::TCurlGlobal Transfers;
    corvane::ui::TfmMain Window;
    Window.show();
    return App.exec();
}
