// What a page says about its own indexing: the headers' grammar, and the
// signals a check records for pages of a loopback site.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/qstring_print.h"
#include "engine/loopbackcheck.h"
#include "engine/pagesignals.h"
#include "engine/runcontroller.h"

using namespace corvane;
using namespace corvane::test;

namespace {

TEST(PageSignals, LinkAndRobotsHeaders) {
    struct LinkCase {
        const char *header;
        const char *canonical;
    };
    const LinkCase links[] = {
        {"<https://a.example/x>; rel=\"canonical\"", "https://a.example/x"},
        {"<https://a.example/x>; rel=canonical", "https://a.example/x"},
        {"<https://a.example/s.css>; rel=\"preload\", <https://a.example/y>; rel=\"alternate "
         "canonical\"",
         "https://a.example/y"},
        {"<https://a.example/a,b>; rel=\"next\"", ""},
        {"<https://a.example/x>; title=\"rel=canonical\"", ""},
        {"https://a.example/x; rel=canonical", ""},
        {"", ""},
    };
    for (const LinkCase &c : links)
        EXPECT_EQ(CanonicalOfLinkHeader(c.header), QString::fromUtf8(c.canonical)) << c.header;

    struct RobotsCase {
        const char *header;
        bool noindex;
    };
    const RobotsCase robots[] = {
        {"noindex", true},
        {"NoIndex, nofollow", true},
        {"none", true},
        {"nofollow", false},
        {"otherbot: noindex", false},
        {"unavailable_after: 25 Jun 2010 15:00:00 PST, noindex", true},
        {"otherbot: nofollow, noindex", true},
        {"", false},
    };
    for (const RobotsCase &c : robots)
        EXPECT_EQ(NoIndexOfRobotsHeader(c.header), c.noindex) << c.header;
}

// Each page of the site carries one kind of signal; a check records them.
TEST(PageSignals, RecordedByACheck) {
    TTestServer site;
    auto page = [&](const char *path, std::string head, std::string body,
                    std::vector<std::pair<std::string, std::string>> headers = {}) {
        site->Get(path, [=](const httplib::Request &, httplib::Response &res) {
            for (const auto &[name, value] : headers) res.set_header(name, value);
            res.set_content("<html><head>" + head + "</head><body>" + body + "</body></html>",
                            "text/html");
        });
    };
    const std::string text = "<p>Five words or more in this paragraph.</p>";
    page("/dir/relative", "<link rel=\"canonical\" href=\"../main#top\">", text);
    page("/based", "<base href=\"/other/\"><link rel=\"Canonical\" href=\"page\">", text);
    page("/header", "", text, {{"Link", "</main>; rel=\"canonical\""}});
    page("/both", "<link rel=\"canonical\" href=\"/markup\">", text,
         {{"Link", "</header>; rel=\"canonical\""}});
    page("/meta", "<meta name=\"ROBOTS\" content=\"nofollow, NOINDEX\">", text);
    page("/tag", "", text, {{"X-Robots-Tag", "noindex"}});
    page("/plain", "", text);
    site->Get("/moved", [](const httplib::Request &, httplib::Response &res) {
        res.set_redirect("/dir/relative", 301);
    });
    site.Start();
    const QString base = site.Url("/");

    TOwnedTaskList list;
    addPaths(list, site,
             {"/dir/relative", "/based", "/header", "/both", "/meta", "/tag", "/plain", "/moved"});
    TRunObserver quiet;
    TRunController c(list, &quiet);
    ASSERT_TRUE(checkToEnd(c));

    struct Want {
        const char *canonical;
        bool noindex;
    };
    const Want want[] = {
        {"main", false}, {"other/page", false}, {"main", false}, {"markup", false}, {"", true},
        {"", true},      {"", false},           {"main", false}, // the canonical link resolves
                                                                 // against the address after the
                                                                 // redirect
    };
    for (qsizetype i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(list[i]->URL.toStdString());
        const TPageSignals &got = list[i]->TaskResults->Signals;
        const QString canonical = QString::fromUtf8(want[i].canonical);
        EXPECT_EQ(got.Canonical, canonical.isEmpty() ? QString() : base + canonical);
        EXPECT_EQ(got.NoIndex, want[i].noindex);
        EXPECT_EQ(got.WordCount, 7); // "Five words or more in this paragraph."
    }
}

} // namespace
