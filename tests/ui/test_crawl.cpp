// "Сканировать сайт..." in the real window: the dialog with the values of the
// settings file, a start address that is no site's, a crawl of a site on
// 127.0.0.1 and the values written back.
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include "common/TestDialogs.h"
#include "common/TestServer.h"
#include "ui/main/crawldialog.h"
#include "ui/uitest.h"

using namespace corvane;
using namespace corvane::ui;
using namespace corvane::test;

namespace {

TEST(WindowCrawl, DialogKeepsItsValuesAndStartsTheCrawl) {
    TTestServer Site;
    Site->Get("/", [](const httplib::Request &, httplib::Response &R) {
        R.set_content("<html><body><p>The home page of a small site with a few words.</p>"
                      "<a href=\"/a?utm_source=x\">a</a><a href=\"/b\">b</a></body></html>",
                      "text/html");
    });
    Site->Get("/a", [](const httplib::Request &, httplib::Response &R) {
        R.set_content("<html><body><p>Page a says something else entirely.</p></body></html>",
                      "text/html");
    });
    Site.Start();

    TAppFolder Folder;
    Folder.WriteIni("[PARAMS]\r\ncrawl-url=http://127.0.0.1:1/old\r\ncrawl-max-pages=7\r\n"
                    "crawl-subdomains=1\r\ncrawl-drop-params=utm_*, ref\r\n");
    TestDialogs Dialogs;
    auto W = OpenWindow(1049);
    Find<QPushButton>(W.get(), "btCrawlSite")->click();
    auto *D = W->findChild<TfmCrawlSite *>(QStringLiteral("fmCrawlSite"));
    ASSERT_NE(D, nullptr);
    ASSERT_TRUE(D->isVisible());
    auto *Url = Find<QLineEdit>(D, "edCrawlURL");
    EXPECT_EQ(Url->text(), QStringLiteral("http://127.0.0.1:1/old"));
    EXPECT_EQ(Find<QSpinBox>(D, "edCrawlMaxPages")->value(), 7);
    EXPECT_TRUE(Find<QCheckBox>(D, "cbCrawlSubdomains")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(D, "cbCrawlIgnoreRobots")->isChecked());
    EXPECT_EQ(Find<QLineEdit>(D, "edCrawlDropParams")->text(), QStringLiteral("utm_*, ref"));

    // An address that is no site's keeps the dialog open and says why.
    Url->setText(QStringLiteral("ftp://127.0.0.1/"));
    Find<QPushButton>(D, "btCrawlStart")->click();
    EXPECT_TRUE(D->isVisible());
    EXPECT_EQ(Dialogs.messages(),
              QStringList{QStringLiteral("Сканировать можно только сайт с адресом http:// или "
                                         "https://: ftp://127.0.0.1/")});
    EXPECT_FALSE(W->RunController()->Running());

    Url->setText(Site.Url("/"));
    Find<QSpinBox>(D, "edCrawlMaxPages")->setValue(2);
    Find<QCheckBox>(D, "cbCrawlSubdomains")->setChecked(false);
    Find<QPushButton>(D, "btCrawlStart")->click();
    EXPECT_TRUE(W->RunController()->Running());
    ASSERT_TRUE(WaitForEnd(W.get()));

    // The start page and the first link, its tracking parameter dropped.
    const TURLTaskInfoList &Tasks = *W->Tasks();
    ASSERT_EQ(Tasks.size(), 2);
    EXPECT_EQ(Tasks[0]->URL, Site.Url("/"));
    EXPECT_EQ(Tasks[1]->URL, Site.Url("/a"));
    EXPECT_EQ(Tasks[1]->FoundOn, 1);
    for (const TURLTaskInfo *T : Tasks) EXPECT_EQ(T->TaskResults->TaskResult, trOk);
    EXPECT_EQ(Find<QProgressBar>(W.get(), "ProgressBar")->format(),
              QStringLiteral("Сканирование: найдено 2, проверено 2, предел 2"));

    W->close();
    const QByteArray Ini = Folder.ReadIni();
    for (const QByteArray &Line :
         {QByteArray("crawl-url=") + Site.Url("/").toUtf8(), QByteArray("crawl-max-pages=2"),
          QByteArray("crawl-subdomains=0"), QByteArray("crawl-drop-params=utm_*, ref")})
        EXPECT_TRUE(Ini.contains(Line + "\r\n")) << Line.toStdString() << "\n" << Ini.toStdString();
}

} // namespace
