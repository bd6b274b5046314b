// Renders the main window's two pages in Russian and English to PNG files
// (used by scripts/screenshot with the offscreen platform).
#include "core/i18n.h"
#include "ui/main/appdir.h"
#include "ui/main/mainwnd.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include <curl/curl.h>

#include <cstdio>

using namespace corvane;

namespace {

void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

bool Save(QWidget *W, const QString &File) {
    Settle();
    const bool Ok = W->grab().save(File);
    std::printf("%s %s\n", Ok ? "wrote" : "FAILED", qPrintable(File));
    return Ok;
}

} // namespace

int main(int argc, char **argv) {
    QApplication App(argc, argv);
    const QString OutDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(OutDir);
    curl_global_init(CURL_GLOBAL_ALL);

    // A fresh program folder with the build's catalogs, so no settings leak in.
    QTemporaryDir Folder;
    QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/locale"),
                Folder.filePath(QStringLiteral("locale")));
    SetAppDir(Folder.path());

    bool Ok = true;
    {
        TfmMain W;
        W.SetNewsEnabled(false);
        W.SetSystemLCID(1049);
        W.show();
        Settle();
        auto *Pages = W.findChild<QTabWidget *>(QStringLiteral("pcPages"));
        auto *Lang = W.findChild<QComboBox *>(QStringLiteral("cbAppLang"));
        const char *Codes[] = {"ru", "en"};
        for (int L = 0; L < 2; ++L) {
            if (L > 0) {
                Pages->setCurrentIndex(1);
                Lang->setCurrentIndex(L);
                emit Lang->activated(L);
            }
            Pages->setCurrentIndex(0);
            Ok &= Save(&W, OutDir + QStringLiteral("/%1-urls.png").arg(QLatin1String(Codes[L])));
            Pages->setCurrentIndex(1);
            Ok &= Save(&W, OutDir + QStringLiteral("/%1-settings.png").arg(QLatin1String(Codes[L])));
        }
        W.close();
    }
    curl_global_cleanup();
    return Ok ? 0 : 1;
}
