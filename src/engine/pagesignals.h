// What a checked page says about itself that bears on duplicates: its
// canonical URL and noindex (from its markup and its response headers), and
// its word count.
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

#include "core/pagelinks.h"

namespace corvane {

struct TPageSignals {
    QString Canonical;           // the canonical URL the page names; empty when none
    bool NoIndex = false;        // the page asks not to be indexed
    std::int32_t WordCount = -1; // words of its normalised text (CountShingleWords); -1 unknown
};

// The canonical address of a "Link" response header
// (`<https://example.com/a>; rel="canonical"`, several links separated by
// commas); empty when it names none.
QString CanonicalOfLinkHeader(const QByteArray &Value);

// An "X-Robots-Tag" header that says noindex (or none) to every crawler;
// directives aimed at one crawler by name ("otherbot: noindex") do not count.
bool NoIndexOfRobotsHeader(const QByteArray &Value);

// The signals of a page from its bytes (decoded by its declared charset), its
// address (after redirects) and its response's two headers. The canonical
// link of the markup wins over the header's; either is resolved against the
// page and brought to the crawl's canonical form.
TPageSignals ReadPageSignals(const QByteArray &Page, const QString &PageUrl,
                             const QByteArray &LinkHeader = {},
                             const QByteArray &RobotsHeader = {});
// The same from the page's links, read already (a crawl reads them anyway).
TPageSignals ReadPageSignals(const TPageLinks &Links, const QString &PageUrl,
                             const QByteArray &LinkHeader = {},
                             const QByteArray &RobotsHeader = {});
// The links of a page's bytes, decoded by its declared charset.
TPageLinks ReadPageLinks(const QByteArray &Page);

} // namespace corvane
