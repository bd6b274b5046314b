// Feeds arbitrary bytes to the crawl's pieces: as a robots.txt (and the
// paths it is asked about), as a page whose links are resolved, and as a
// user-agent string. Checks that a canonical address is its own canonical
// form and that a normal-form path stays as it is when normalised again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/crawlurl.h"
#include "core/pagelinks.h"
#include "core/robots.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
    const QByteArray bytes(reinterpret_cast<const char *>(Data), qsizetype(Size));
    const QString text = QString::fromUtf8(bytes);

    const QString token = robotsProductToken(text);
    if (!token.isEmpty() && !isValidRobotsProductToken(token)) std::abort();

    const TRobotsTxt txt = TRobotsTxt::parse(bytes);
    const TRobotsRules rules = txt.rulesFor(token.isEmpty() ? QStringLiteral("x") : token);
    const qsizetype cut = bytes.lastIndexOf('\n');
    const QByteArray path = bytes.mid(cut + 1, 4096);
    rules.isAllowedPath(path);
    rules.isAllowed(QUrl(QStringLiteral("http://h.example/") + QString::fromUtf8(path)));
    const QByteArray normal = normalizeRobotsPath(path);
    if (normalizeRobotsPath(normal) != normal) std::abort();

    const TPageLinks page = extractPageLinks(text);
    const TLinkResolver resolver(QUrl(QStringLiteral("https://www.example.com/dir/page.html?q=1")),
                                 page.BaseHref,
                                 TQueryFilter({QStringLiteral("utm_*"), QStringLiteral("s*id")}));
    const TSiteScope site(QUrl(QStringLiteral("https://example.com/")), true);
    for (const TPageLink &l : page.Links) {
        const TCrawlLink link = resolver.resolve(l.Href);
        if (link.Verdict != lvOk) continue;
        if (link.Url.size() > MaxCrawlUrlLength || !link.Url.startsWith(u"http")) std::abort();
        const TCrawlLink again = canonicalCrawlUrl(QUrl(link.Url));
        if (again.Verdict != lvOk || again.Url != link.Url) {
            fprintf(stderr, "[%s]\n[%s] %d\n[%s]\n", qPrintable(l.Href), qPrintable(link.Url),
                    again.Verdict, qPrintable(again.Url));
            std::abort();
        }
        site.contains(QUrl(link.Url));
    }
    return 0;
}
