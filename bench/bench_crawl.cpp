// The per-page and per-link work of a site crawl: the links of a page with
// 100 000 of them, extracted and resolved to canonical addresses; and 10 000
// URLs tested against a robots.txt of 1 000 rules with wildcards.
#include <QStringList>

#include <benchmark/benchmark.h>

#include "core/crawlurl.h"
#include "core/pagelinks.h"
#include "core/robots.h"

using namespace corvane;

namespace {

constexpr int LinkCount = 100000;

// A catalogue page: navigation, text and links of every usual spelling.
QString bigPage() {
    QString html =
        QStringLiteral("<!DOCTYPE html><html><head><title>Catalogue</title>"
                       "<base href=\"https://www.example.com/catalog/\">"
                       "<link rel=\"canonical\" href=\"https://www.example.com/catalog/\">"
                       "<meta name=\"robots\" content=\"index, follow\"></head><body>\n");
    for (int i = 0; i < LinkCount; ++i) {
        switch (i % 5) {
        case 0:
            html += QStringLiteral(
                        "<li><a href=\"item-%1.html\">Item number %1 of the catalogue</a></li>\n")
                        .arg(i);
            break;
        case 1:
            html +=
                QStringLiteral(
                    "<li><a class=\"nav\" href=\"/catalog/section-%1/?page=%2&amp;sort=price&amp;"
                    "utm_source=news\">Section %1, page %2</a></li>\n")
                    .arg(i % 37)
                    .arg(i % 11);
            break;
        case 2:
            html +=
                QStringLiteral("<p>Read <a href=\"https://www.example.com/articles/%1#comments\" "
                               "rel=\"nofollow "
                               "ugc\">article %1</a> about it.</p>\n")
                    .arg(i);
            break;
        case 3:
            html += QStringLiteral("<li><a href='../tags/%D1%82%D0%B5%D0%B3-%1/'>тег %1</a></li>\n")
                        .arg(i % 997);
            break;
        default:
            html +=
                i % 10 == 4
                    ? QStringLiteral(
                          "<li><a href=\"//cdn.example.net/files/doc-%1.pdf\">PDF</a></li>\n")
                          .arg(i)
                    : QStringLiteral("<li><a href=\"mailto:sales@example.com\">mail</a></li>\n");
            break;
        }
    }
    return html + QStringLiteral("</body></html>");
}

const QString &page() {
    static const QString html = bigPage();
    return html;
}

void BM_ExtractLinks100k(benchmark::State &state) {
    const QString &html = page();
    for (auto _ : state) {
        const TPageLinks links = extractPageLinks(html);
        if (links.Links.size() != std::size_t(LinkCount)) state.SkipWithError("wrong link count");
        benchmark::DoNotOptimize(links);
    }
    state.SetBytesProcessed(state.iterations() * html.size() * 2);
    state.SetItemsProcessed(state.iterations() * LinkCount);
}
BENCHMARK(BM_ExtractLinks100k)->Unit(benchmark::kMillisecond);

void BM_ResolveLinks100k(benchmark::State &state) {
    const TPageLinks links = extractPageLinks(page());
    const TQueryFilter filter({QStringLiteral("utm_*"), QStringLiteral("sessionid")});
    for (auto _ : state) {
        const TLinkResolver resolver(
            QUrl(QStringLiteral("https://www.example.com/catalog/index.html")), links.BaseHref,
            filter);
        int ok = 0;
        for (const TPageLink &l : links.Links) ok += resolver.resolve(l.Href).Verdict == lvOk;
        benchmark::DoNotOptimize(ok);
    }
    state.SetItemsProcessed(state.iterations() * LinkCount);
}
BENCHMARK(BM_ResolveLinks100k)->Unit(benchmark::kMillisecond);

// A robots.txt of 1 000 rules, most with wildcards, in three groups.
QByteArray bigRobots() {
    QByteArray txt = "User-agent: Googlebot\nDisallow: /\n\nUser-agent: *\nCrawl-delay: 1\n";
    for (int i = 0; i < 1000; ++i) {
        switch (i % 5) {
        case 0:
            txt += "Disallow: /catalog/section-" + QByteArray::number(i) + "/*.pdf$\n";
            break;
        case 1:
            txt += "Disallow: /*?*sessionid=" + QByteArray::number(i) + "*\n";
            break;
        case 2:
            txt += "Allow: /catalog/section-" + QByteArray::number(i % 37) + "/*?page=*\n";
            break;
        case 3:
            txt += "Disallow: /*/private-" + QByteArray::number(i) + "/\n";
            break;
        default:
            txt += "Disallow: /tmp-" + QByteArray::number(i) + "/\n";
            break;
        }
    }
    return txt + "Sitemap: https://www.example.com/sitemap.xml\n";
}

std::vector<QUrl> robotsUrls() {
    std::vector<QUrl> urls;
    for (int i = 0; i < 10000; ++i)
        urls.emplace_back(
            QStringLiteral(
                "https://www.example.com/catalog/section-%1/item-%2.html?page=%3&sort=price")
                .arg(i % 211)
                .arg(i)
                .arg(i % 7));
    return urls;
}

void BM_RobotsParse1000Rules(benchmark::State &state) {
    const QByteArray txt = bigRobots();
    for (auto _ : state) benchmark::DoNotOptimize(TRobotsTxt::parse(txt).rulesFor(u"Corvane"));
    state.SetBytesProcessed(state.iterations() * txt.size());
}
BENCHMARK(BM_RobotsParse1000Rules)->Unit(benchmark::kMicrosecond);

void BM_RobotsMatch10kUrls(benchmark::State &state) {
    const TRobotsRules rules = TRobotsTxt::parse(bigRobots()).rulesFor(u"Corvane");
    if (rules.rules().size() != 1000) state.SkipWithError("wrong rule count");
    const std::vector<QUrl> urls = robotsUrls();
    for (auto _ : state) {
        int allowed = 0;
        for (const QUrl &u : urls) allowed += rules.isAllowed(u);
        benchmark::DoNotOptimize(allowed);
    }
    state.SetItemsProcessed(state.iterations() * urls.size());
}
BENCHMARK(BM_RobotsMatch10kUrls)->Unit(benchmark::kMillisecond);

// One pattern of 10 000 stars against a path of 100 000 bytes.
void BM_RobotsHostileWildcards(benchmark::State &state) {
    QByteArray txt = "User-agent: *\nDisallow: /";
    for (int i = 0; i < 10000; ++i) txt += "*a";
    txt += "*b$\n";
    const TRobotsRules rules = TRobotsTxt::parse(txt).rulesFor(u"x");
    const QByteArray path = '/' + QByteArray(100000, 'a') + 'c';
    for (auto _ : state) benchmark::DoNotOptimize(rules.isAllowedPath(path));
}
BENCHMARK(BM_RobotsHostileWildcards)->Unit(benchmark::kMicrosecond);

// 500 KiB of distinct rules whose parts almost match a 2 048-byte path of
// "a"s everywhere, the worst a file can do to a URL of the crawl's length.
void BM_RobotsHostileRules(benchmark::State &state) {
    QByteArray txt = "User-agent: *\n";
    for (int i = 0; txt.size() < MaxRobotsTxtBytes - 64; ++i)
        txt += "Disallow: /*aaaaaaaaaaaab*" + QByteArray::number(i) + "\n";
    const TRobotsRules rules = TRobotsTxt::parse(txt).rulesFor(u"x");
    const QByteArray path = '/' + QByteArray(2047, 'a');
    for (auto _ : state) benchmark::DoNotOptimize(rules.isAllowedPath(path));
    state.counters["rules"] = double(rules.rules().size());
}
BENCHMARK(BM_RobotsHostileRules)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
