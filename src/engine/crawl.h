// A site crawl: a check that starts from one address and grows its task list
// from the links of the pages it downloads, so that every page is downloaded
// once and checked as it arrives.
//
// The parts and where they run:
//   - a worker that downloaded a page of a crawl reads its links once and
//     keeps those the crawl could take (HarvestLinks, on the worker's thread);
//   - TSiteFetchThread (engine/sitefetch.h) fetches a host's robots.txt, and
//     the pages of its sitemaps when asked, before any page of that host;
//   - TSiteCrawl (engine/sitecrawl.h), in the run controller, takes the
//     harvests in the order of the page numbers, drops what it saw before,
//     asks robots.txt and appends the new pages to the list.
#pragma once

#include <atomic>
#include <cstdint>

#include <QString>
#include <QStringList>
#include <QUrl>

#include "core/crawlurl.h"
#include "core/pagelinks.h"

namespace corvane {

inline constexpr std::int32_t DefaultCrawlPages = 500;

struct TCrawlOptions {
    QString StartURL;
    std::int32_t MaxPages = DefaultCrawlPages; // 1..MaxURLCount
    bool IncludeSubdomains = false;
    bool FollowNoFollow = false;
    bool IgnoreRobots = false;
    // Seed the crawl with the pages of the sitemaps that robots.txt names.
    bool UseSitemaps = false;
    // Query parameters dropped from every address, by name ("utm_*", "sessionid").
    QStringList DropParams;
};

// "utm_*, sessionid" as a list: names separated by commas, semicolons or blanks.
QStringList ParseDropParams(const QString &Text);
QString DropParamsText(const QStringList &Names);

// The start address of a crawl in canonical form, or why it cannot be one
// (translated). An address without a scheme gets "http://".
struct TCrawlStart {
    QString Url;
    QString Error;
};
TCrawlStart CrawlStartURL(const QString &Text, const QStringList &DropParams = {});

// What the workers of one crawl need to read the links of a page; shared by
// them, read-only apart from the flag that says the crawl is full.
class TCrawlRules {
public:
    TCrawlRules(const QUrl &Start, const TCrawlOptions &Options);

    const TSiteScope &Scope() const { return FScope; }
    const TQueryFilter &Filter() const { return FFilter; }
    bool FollowNoFollow() const { return FFollowNoFollow; }
    // Set when the crawl takes no more pages: reading links is wasted then.
    bool Full() const { return FFull.load(std::memory_order_relaxed); }
    void SetFull() const { FFull.store(true, std::memory_order_relaxed); }

private:
    TSiteScope FScope;
    TQueryFilter FFilter;
    bool FFollowNoFollow;
    mutable std::atomic<bool> FFull{false};
};

// The links of one page that the crawl could take.
struct TCrawlHarvest {
    // The canonical address of the page after redirects; empty when a
    // redirect took it off the site, which then gives no links.
    QString PageURL;
    // Canonical addresses on the site, each once, in document order.
    QStringList Links;
    std::int32_t NoFollow = 0; // passed over as nofollow (the link's rel or the page's robots meta)
    std::int32_t OffSite = 0;  // to another site
    std::int32_t Ignored = 0;  // images, scripts and style sheets (IsIgnoredURL)
    std::int32_t Unusable = 0; // not http(s), unreadable, or longer than MaxCrawlUrlLength
};

// PageURL: the address the page was downloaded from, after redirects.
TCrawlHarvest HarvestLinks(const TPageLinks &Links, const QString &PageURL,
                           const TCrawlRules &Rules);

// Whether a canonical address is one the crawl may take: on the site and not
// an image, script or style sheet.
bool CrawlTakes(const QString &Url, const TCrawlRules &Rules);

// "http://example.com:8080" of a canonical address: robots.txt applies per origin.
QString CrawlOrigin(const QUrl &Url);

} // namespace corvane
