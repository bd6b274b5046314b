// Renders the main window's two pages and the three comparison windows in
// Russian and English to PNG files (scripts/screenshot, offscreen platform):
// the URL page at the first start, then everything after a small check of a
// site served on 127.0.0.1, so that the list, the chart and the log have
// content (default settings: the pages go through the plain-text service
// started inside), the URL page once more after a delete, the History tab
// after a second check with the comparison of the two, and the crawl
// dialog and a finished crawl of the same site from its home page. With a
// second argument, also writes the HTML report of a check of the same site
// there.
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <httplib.h>

#include "core/appdir.h"
#include "core/i18n.h"
#include "engine/htmlreport.h"
#include "net/pagetransfer.h"
#include "ui/compare/wndtextsimil.h"
#include "ui/main/crawldialog.h"
#include "ui/main/mainwnd.h"
#include "ui/main/urlcommands.h"
#include "ui/main/urllist.h"

using namespace corvane;
using namespace corvane::ui;

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
    const char *Head = "";
};

// The paragraph every page of the demo site starts with: its template.
constexpr int MenuParagraph = 80;

class TDemoSite {
public:
    TDemoSite() : FParagraphs(MakeParagraphs(81)) {
        // Shared paragraphs: chairs/tables nearly the same, lamps/sofas half,
        // two pages a little alike, three of their own; a sorted copy of the
        // chairs that names them as canonical, a print copy of the tables
        // that does not.
        const TPageSpec Pages[] = {
            {"/catalog/chairs", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
            {"/catalog/tables", {0, 1, 2, 3, 4, 5, 6, 7, 10, 11}},
            {"/catalog/chairs?sort=price",
             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
             "<link rel=\"canonical\" href=\"/catalog/chairs\">"},
            {"/catalog/tables/print", {0, 1, 2, 3, 4, 5, 6, 7, 10, 11}},
            {"/catalog/chairs/office/ergonomic-mesh-back-swivel-chair-with-adjustable-"
             "lumbar-support-and-headrest",
             {0, 1, 12, 3, 4, 5, 13, 7, 8, 9}},
            {"/catalog/lamps", {20, 21, 22, 23, 24, 25, 26, 27, 28, 29}},
            {"/catalog/sofas", {20, 21, 22, 23, 24, 30, 31, 32, 33, 34}},
            {"/delivery", {40, 41, 42, 43, 44, 45, 46, 47, 48, 49}},
            {"/payment", {40, 41, 50, 51, 52, 53, 54, 55, 56, 57}},
            {"/about", {60, 61, 62, 63, 64, 65, 66, 67, 68, 69}},
            {"/contacts", {70, 71, 72, 73, 74, 75, 76, 77, 78, 79}},
        };
        for (const TPageSpec &P : Pages) {
            std::string Html = "<html><head><meta charset=\"utf-8\"><title>Demo</title>" +
                               std::string(P.Head) + "</head><body><h1>" + std::string(P.Path + 1) +
                               "</h1><p>" + FParagraphs[MenuParagraph] + "</p>";
            for (int i : P.Paragraphs) Html += "<p>" + FParagraphs[i] + "</p>";
            Html += "</body></html>";
            const std::string Path = std::string(P.Path).substr(0, std::string(P.Path).find('?'));
            if (Path != P.Path) { // a query of a page served already
                FQueries[Path] = Html;
                FPaths << QString::fromLatin1(P.Path);
                continue;
            }
            FServer.Get(P.Path, [this, Html, Path](const httplib::Request &Q,
                                                   httplib::Response &R) {
                const auto Query = FQueries.find(Path);
                R.set_content(Q.has_param("sort") && Query != FQueries.end() ? Query->second : Html,
                              "text/html; charset=utf-8");
            });
            FPaths << QString::fromLatin1(P.Path);
        }
        FPaths << QStringLiteral("/old-price-list"); // answers 404
        // The home page of the crawl: a link to every page, a PDF among them.
        std::string Home = "<html><head><meta charset=\"utf-8\"><title>Demo</title></head>"
                           "<body><h1>Home</h1><p>" +
                           FParagraphs[15] + "</p><ul>";
        for (const QString &P : FPaths)
            Home += "<li><a href=\"" + P.toStdString() + "\">" + P.toStdString() + "</a></li>";
        Home += "<li><a href=\"/price-list.pdf\">PDF</a></li></ul></body></html>";
        FServer.Get("/", [Home](const httplib::Request &, httplib::Response &R) {
            R.set_content(Home, "text/html; charset=utf-8");
        });
        FServer.Get("/price-list.pdf", [](const httplib::Request &, httplib::Response &R) {
            R.set_content("%PDF-1.4", "application/pdf");
        });
        FPort = FServer.bind_to_any_port("127.0.0.1");
        FThread = std::thread([this] { FServer.listen_after_bind(); });
    }
    ~TDemoSite() {
        while (!FServer.is_running()) std::this_thread::yield();
        FServer.stop();
        FThread.join();
    }
    QString Url(const char *Path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(FPort).arg(QLatin1String(Path));
    }
    QStringList Urls() const {
        QStringList U;
        for (const QString &P : FPaths)
            U << QStringLiteral("http://127.0.0.1:%1%2").arg(FPort).arg(P);
        return U;
    }

private:
    std::vector<std::string> FParagraphs;
    std::map<std::string, std::string> FQueries; // path -> the page of its query
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
    const bool Ok = W && W->grab().save(File);
    std::printf("%s %s\n", Ok ? "wrote" : "FAILED", qPrintable(File));
    return Ok;
}

// Runs Open, which shows a modal window and returns when it closes; the
// window is prepared by Before, saved and closed once it is on screen.
bool SaveModal(const std::function<void()> &Open, const QString &File,
               const std::function<void(QWidget *)> &Before = {}) {
    bool Ok = false;
    QTimer::singleShot(0, [&] {
        QWidget *M = QApplication::activeModalWidget();
        if (!M) return;
        if (Before) Before(M);
        Ok = Save(M, File);
        M->close();
    });
    Open();
    return Ok;
}

// Lets the window's check run to its end (two minutes at most).
void WaitForRunEnd(TfmMain &W) {
    QDeadlineTimer Deadline(120000);
    while (W.RunController()->Running() && !Deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Selects the rows of the given addresses in the result list, the last one focused.
void SelectURLs(TfmMain &W, const QStringList &URLs) {
    auto *View = W.findChild<TURLListView *>(QStringLiteral("vtURLs"));
    TURLListModel *M = View->ListModel();
    View->selectionModel()->clearSelection();
    for (const QString &U : URLs) {
        const TURLTaskInfo *T = nullptr;
        for (const TURLTaskInfo *Each : *W.Tasks())
            if (Each->URL == U) T = Each;
        const QModelIndex I = M->index(T ? M->RowOf(T) : -1, 0);
        View->selectionModel()->setCurrentIndex(I, QItemSelectionModel::Select |
                                                       QItemSelectionModel::Rows);
    }
}

bool Shoot(const TDemoSite &Site, const QString &OutDir, const char *Code, unsigned Lcid) {
    QTemporaryDir Folder;
    for (const char *Name : {"locale", "NEWS"})
        QFile::link(QCoreApplication::applicationDirPath() + u'/' + QLatin1String(Name),
                    Folder.filePath(QLatin1String(Name)));
    SetAppDir(Folder.path());
    TfmMain W;
    W.SetNewsEnabled(false);
    W.SetSystemLCID(Lcid);
    W.show();
    Settle();
    const QString Prefix = OutDir + QStringLiteral("/%1-").arg(QLatin1String(Code));
    // The first start: an empty list and the release notes in the news tab.
    bool Ok = Save(&W, Prefix + QStringLiteral("first-start.png"));
    int Num = 0;
    for (const QString &U : Site.Urls()) W.Tasks()->append(new TURLTaskInfo(U, ++Num));
    W.TaskListChanged();
    W.findChild<QPushButton *>(QStringLiteral("btRunRequests"))->click();
    WaitForRunEnd(W);
    Settle();
    auto *Pages = W.findChild<QTabWidget *>(QStringLiteral("pcPages"));
    Ok &= !W.RunController()->Running();
    Pages->setCurrentIndex(0);
    Ok &= Save(&W, Prefix + QStringLiteral("urls.png"));
    // Sorted by group, the canonical links shown.
    auto *View = W.findChild<TURLListView *>(QStringLiteral("vtURLs"));
    View->SetHiddenColumns({});
    View->vtURLsSortBy(ucGroup, Qt::AscendingOrder);
    Ok &= Save(&W, Prefix + QStringLiteral("urls-groups.png"));
    View->SetHiddenColumns({ucCanonical});
    View->vtURLsSortBy(ucUniqueness, Qt::AscendingOrder);

    // The comparison windows, opened the way the list's menu opens them.
    const QString Office = Site.Url("/catalog/chairs/office/ergonomic-mesh-back-swivel-chair-"
                                    "with-adjustable-lumbar-support-and-headrest");
    SelectURLs(W, {Office});
    Ok &= SaveModal([&] { W.URLCommands()->miSimil2OtherClick(); },
                    Prefix + QStringLiteral("simil.png"));
    SelectURLs(W, {Site.Url("/catalog/chairs"), Office});
    Ok &= SaveModal([&] { W.URLCommands()->miCompareTextClick(); },
                    Prefix + QStringLiteral("diff.png"));
    Ok &= SaveModal([&] { W.URLCommands()->miCompareTextClick(); },
                    Prefix + QStringLiteral("shared.png"),
                    [](QWidget *M) {
                        M->findChild<QTabWidget *>(QStringLiteral("tcViews"))->setCurrentIndex(1);
                    });

    Pages->setCurrentIndex(1);
    Ok &= Save(&W, Prefix + QStringLiteral("settings.png"));
    {
        // Two texts with long lines, compared once.
        const std::vector<std::string> P = MakeParagraphs(6);
        auto Text = [&P](std::initializer_list<int> Which) {
            QString T;
            for (int i : Which) T += QString::fromStdString(P[std::size_t(i)]) + u'\n';
            return T;
        };
        ui::TfmShowTextSimil *Free = ui::TfmShowTextSimil::instance(&W);
        Free->findChild<QTextEdit *>(QStringLiteral("edText1"))->setPlainText(Text({0, 1, 2, 3}));
        Free->findChild<QTextEdit *>(QStringLiteral("edText2"))->setPlainText(Text({0, 4, 2, 5}));
        Ok &= SaveModal([&] { W.findChild<QPushButton *>(QStringLiteral("PngBitBtn1"))->click(); },
                        Prefix + QStringLiteral("textsimil.png"),
                        [](QWidget *M) {
                            M->findChild<QPushButton *>(QStringLiteral("btCalcSimil"))->click();
                        });
    }

    // A delete drops every result: the chart is empty again, the order stays.
    Pages->setCurrentIndex(0);
    SelectURLs(W, {Site.Url("/catalog/lamps")});
    W.URLCommands()->miDeleteURLClick();
    Ok &= Save(&W, Prefix + QStringLiteral("urls-after-delete.png"));

    // A second check of the same site: the History tab lists both checks,
    // then compares the list shown with the first.
    W.findChild<QPushButton *>(QStringLiteral("btRunRequests"))->click();
    WaitForRunEnd(W);
    Ok &= !W.RunController()->Running();
    W.findChild<QSplitter *>(QStringLiteral("spBottom"))->setSizes({260, 400});
    auto *Bottom = W.findChild<QTabWidget *>(QStringLiteral("pcBottom"));
    Bottom->setCurrentWidget(W.findChild<QWidget *>(QStringLiteral("tsHistory")));
    W.findChild<QTableWidget *>(QStringLiteral("lvHistory"))->selectRow(1);
    Ok &= Save(&W, Prefix + QStringLiteral("history.png"));
    W.findChild<QPushButton *>(QStringLiteral("btHistoryCompare"))->click();
    Ok &= Save(&W, Prefix + QStringLiteral("history-compare.png"));
    // A crawl of the same site from its home page: the dialog, then its end.
    W.findChild<QPushButton *>(QStringLiteral("btCrawlSite"))->click();
    Settle();
    auto *Crawl = W.findChild<TfmCrawlSite *>(QStringLiteral("fmCrawlSite"));
    Ok &= Crawl != nullptr;
    if (Crawl) {
        Crawl->findChild<QLineEdit *>(QStringLiteral("edCrawlURL"))->setText(Site.Url("/"));
        Crawl->findChild<QLineEdit *>(QStringLiteral("edCrawlDropParams"))
            ->setText(QStringLiteral("utm_*, sessionid"));
        Ok &= Save(Crawl, Prefix + QStringLiteral("crawl-dialog.png"));
        Crawl->findChild<QPushButton *>(QStringLiteral("btCrawlStart"))->click();
        WaitForRunEnd(W);
        Ok &= !W.RunController()->Running();
        Ok &= Save(&W, Prefix + QStringLiteral("crawl.png"));
    }
    W.close();
    return Ok;
}

// The HTML report of a check of the demo site in English, as the export
// writes it; scripts/screenshot has Chromium take its picture.
bool WriteDemoReport(const TDemoSite &Site, const QString &Path) {
    QTemporaryDir Folder;
    for (const char *Name : {"locale", "NEWS"})
        QFile::link(QCoreApplication::applicationDirPath() + u'/' + QLatin1String(Name),
                    Folder.filePath(QLatin1String(Name)));
    SetAppDir(Folder.path());
    TfmMain W;
    W.SetNewsEnabled(false);
    W.SetSystemLCID(1033);
    W.show();
    Settle();
    int Num = 0;
    for (const QString &U : Site.Urls()) W.Tasks()->append(new TURLTaskInfo(U, ++Num));
    W.TaskListChanged();
    W.findChild<QPushButton *>(QStringLiteral("btRunRequests"))->click();
    WaitForRunEnd(W);
    Settle();
    THtmlReport Report;
    Report.List = W.Tasks();
    const QList<TURLTaskInfo *> &Shown = W.URLCommands()->View()->ListModel()->Rows();
    Report.Rows = QList<const TURLTaskInfo *>(Shown.begin(), Shown.end());
    Report.Analysis = &W.RunController()->Analysis();
    Report.Settings = W.RunController()->LastRunSettings();
    Report.Date = QDateTime::currentDateTime();
    QString Error;
    const bool Ok = !W.RunController()->Running() && WriteHtmlReport(Path, Report, Error);
    W.close();
    return Ok;
}

} // namespace

int main(int argc, char **argv) {
    QApplication App(argc, argv);
    const QString OutDir =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    QDir().mkpath(OutDir);
    const TCurlGlobal Transfers;
    bool Ok = true;
    TDemoSite Site;
    Ok &= Shoot(Site, OutDir, "ru", 1049);
    Ok &= Shoot(Site, OutDir, "en", 1033);
    if (argc > 2) Ok &= WriteDemoReport(Site, QString::fromLocal8Bit(argv[2]));
    return Ok ? 0 : 1;
}
