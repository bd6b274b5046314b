// Renders the main window's two pages in Russian and English to PNG files
// (scripts/screenshot, offscreen platform), each after a small check of a
// site served on 127.0.0.1, so that the list, the chart and the log have content
// (default settings: the pages go through the plain-text service started inside).
#include "core/appdir.h"
#include "core/i18n.h"
#include "ui/main/mainwnd.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <curl/curl.h>
#include <httplib.h>

#include <cstdio>
#include <random>
#include <thread>

using namespace corvane;

namespace {

// Paragraphs of made-up words; pages that share paragraphs are alike.
std::vector<std::string> MakeParagraphs(int Count) {
    static const char *Syllables[] = {"ka", "lo",  "mi",  "ren", "sto", "va",  "ter",
                                      "nu", "pel", "dor", "qui", "sa",  "ben", "tor",
                                      "li", "mar", "zo",  "fen", "ga",  "ru"};
    std::mt19937 Rng(20240611);
    std::vector<std::string> P;
    for (int i = 0; i < Count; ++i) {
        std::string Text;
        for (int w = 0; w < 24; ++w) {
            std::string Word;
            const int N = 2 + int(Rng() % 2);
            for (int s = 0; s < N; ++s) Word += Syllables[Rng() % 20];
            Text += (w ? " " : "") + Word;
        }
        P.push_back(Text);
    }
    return P;
}

struct TPageSpec {
    const char *Path;
    std::vector<int> Paragraphs;
};

class TDemoSite {
public:
    TDemoSite() : FParagraphs(MakeParagraphs(80)) {
        // Shared paragraphs: chairs/tables nearly the same, lamps/sofas half,
        // two pages a little alike, three of their own.
        const TPageSpec Pages[] = {
            {"/catalog/chairs", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
            {"/catalog/tables", {0, 1, 2, 3, 4, 5, 6, 7, 10, 11}},
            {"/catalog/lamps", {20, 21, 22, 23, 24, 25, 26, 27, 28, 29}},
            {"/catalog/sofas", {20, 21, 22, 23, 24, 30, 31, 32, 33, 34}},
            {"/delivery", {40, 41, 42, 43, 44, 45, 46, 47, 48, 49}},
            {"/payment", {40, 41, 50, 51, 52, 53, 54, 55, 56, 57}},
            {"/about", {60, 61, 62, 63, 64, 65, 66, 67, 68, 69}},
            {"/contacts", {70, 71, 72, 73, 74, 75, 76, 77, 78, 79}},
        };
        for (const TPageSpec &P : Pages) {
            std::string Html =
                "<html><head><meta charset=\"utf-8\"><title>Demo</title></head><body><h1>" +
                std::string(P.Path + 1) + "</h1>";
            for (int i : P.Paragraphs) Html += "<p>" + FParagraphs[i] + "</p>";
            Html += "</body></html>";
            FServer.Get(P.Path, [Html](const httplib::Request &, httplib::Response &R) {
                R.set_content(Html, "text/html; charset=utf-8");
            });
            FPaths << QString::fromLatin1(P.Path);
        }
        FPaths << QStringLiteral("/old-price-list"); // answers 404
        FPort = FServer.bind_to_any_port("127.0.0.1");
        FThread = std::thread([this] { FServer.listen_after_bind(); });
    }
    ~TDemoSite() {
        while (!FServer.is_running()) std::this_thread::yield();
        FServer.stop();
        FThread.join();
    }
    QStringList Urls() const {
        QStringList U;
        for (const QString &P : FPaths)
            U << QStringLiteral("http://127.0.0.1:%1%2").arg(FPort).arg(P);
        return U;
    }

private:
    std::vector<std::string> FParagraphs;
    httplib::Server FServer;
    std::thread FThread;
    QStringList FPaths;
    int FPort = 0;
};

void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

bool Save(QWidget *W, const QString &File) {
    Settle();
    const bool Ok = W->grab().save(File);
    std::printf("%s %s\n", Ok ? "wrote" : "FAILED", qPrintable(File));
    return Ok;
}

bool Shoot(const TDemoSite &Site, const QString &OutDir, const char *Code, unsigned Lcid) {
    QTemporaryDir Folder;
    QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/locale"),
                Folder.filePath(QStringLiteral("locale")));
    SetAppDir(Folder.path());
    TfmMain W;
    W.SetNewsEnabled(false);
    W.SetSystemLCID(Lcid);
    W.show();
    Settle();
    int Num = 0;
    for (const QString &U : Site.Urls()) W.Tasks()->append(new TURLTaskInfo(U, ++Num));
    W.TaskListChanged();
    W.findChild<QPushButton *>(QStringLiteral("btRunRequests"))->click();
    QDeadlineTimer Deadline(120000);
    while (W.RunController()->Running() && !Deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    Settle();
    auto *Pages = W.findChild<QTabWidget *>(QStringLiteral("pcPages"));
    bool Ok = !W.RunController()->Running();
    Pages->setCurrentIndex(0);
    Ok &= Save(&W, OutDir + QStringLiteral("/%1-urls.png").arg(QLatin1String(Code)));
    Pages->setCurrentIndex(1);
    Ok &= Save(&W, OutDir + QStringLiteral("/%1-settings.png").arg(QLatin1String(Code)));
    W.close();
    return Ok;
}

} // namespace

int main(int argc, char **argv) {
    QApplication App(argc, argv);
    const QString OutDir =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(OutDir);
    curl_global_init(CURL_GLOBAL_ALL);
    bool Ok = true;
    {
        TDemoSite Site;
        Ok &= Shoot(Site, OutDir, "ru", 1049);
        Ok &= Shoot(Site, OutDir, "en", 1033);
    }
    curl_global_cleanup();
    return Ok ? 0 : 1;
}
