// Addresses in a site crawl: links resolved to one canonical form, query
// parameters dropped by name, the same-site test and the page test on a
// response's Content-Type.
//
// The canonical form is QUrl's fully encoded form, all ASCII: scheme and host
// in lower case, an international host in its ACE form ("xn--...") without a
// final ".", the path
// and query percent-encoded as UTF-8 with upper-case hex digits, escapes of
// unreserved characters decoded ("%7E" is "~") and escapes of reserved ones
// kept ("%2F" stays), dot segments removed ("/a/../b" is "/b"; ".." above the
// root stays at the root), no fragment, no default port, "/" for an empty
// path, no "?" without a query. So "http://Пример.рф/путь",
// "http://xn--e1afmkfd.xn--p1ai/%D0%BF%D1%83%D1%82%D1%8C#x" and
// "HTTP://xn--e1afmkfd.xn--p1ai:80/%d0%bf%d1%83%d1%82%d1%8c" give one string.
// Non-ASCII in a query is encoded as UTF-8 whatever the page's encoding.
//
// A crawl takes a link found on a page when, in this order:
//   1. TLinkResolver::resolve(href) gives lvOk (an http(s) address of at most
//      MaxCrawlUrlLength characters, query filtered);
//   2. TSiteScope::contains(url) says it is on the site;
//   3. IsIgnoredURL (engine/urlimport.h) does not pass it over as an image,
//      script or style sheet -- applied to the canonical string, on the engine
//      side, since core does not see engine;
//   4. the site's TRobotsRules::isAllowed (core/robots.h) allows it;
//   5. its canonical string is new to the crawl (compare exactly: paths are
//      case-sensitive).
// Whether TPageLink::NoFollow or the page's TIndexingSignals::NoFollow
// (core/pagelinks.h) stop a link is the crawl's option, checked before 1.
// After the download, isPageContentType decides whether the response is a page.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUrl>

namespace corvane {

inline constexpr qsizetype MaxCrawlUrlLength = 2048;

enum TLinkVerdict {
    lvOk,
    lvInvalid, // no address QUrl can read, or no host
    lvNotHttp, // javascript:, mailto:, data:, ftp:, tel:, ...
    lvTooLong, // the canonical form is longer than MaxCrawlUrlLength
};

struct TCrawlLink {
    TLinkVerdict Verdict = lvInvalid;
    QString Url; // the canonical form when Verdict is lvOk, else empty
};

// Query parameters to drop, by name: patterns where "*" matches any run of
// characters ("utm_*", "sessionid"), compared without regard to ASCII letter
// case against the percent-decoded name (the part before "=").
class TQueryFilter {
public:
    TQueryFilter() = default;
    explicit TQueryFilter(const QStringList &Patterns);

    bool isEmpty() const { return FPatterns.isEmpty(); }
    bool dropsName(QStringView Name) const;
    // An encoded query (without "?") with the dropped parameters taken out;
    // the others keep their order and spelling, empty ones ("a&&b") go.
    QString apply(QStringView Query) const;

private:
    QStringList FPatterns;
};

// Brings an absolute address into the canonical form, or says why not.
TCrawlLink canonicalCrawlUrl(const QUrl &Url, const TQueryFilter &Filter = {});

// Resolves the links of one page. The base is the page's address, or the
// page's <base href> resolved against it when that is an http(s) address.
// Before resolving, an href loses leading and trailing characters up to
// U+0020 and every tab and line break, and "\" before the query counts as
// "/", as browsers read it.
class TLinkResolver {
public:
    TLinkResolver(const QUrl &PageUrl, const QString &BaseHref = QString(),
                  TQueryFilter Filter = {});

    TCrawlLink resolve(QStringView Href) const;
    const QUrl &base() const { return FBase; }

private:
    QUrl FBase;
    TQueryFilter FFilter;
};

// The pages of one site: the start address's host, where "www.example.com"
// and "example.com" are one site (a leading "www." is ignored on both sides),
// and, with IncludeSubdomains, every host under it ("a.b.example.com" for
// "example.com"; not for an IP address). http and https count as one; an
// explicit port other than the scheme's own must be the same.
class TSiteScope {
public:
    TSiteScope(const QUrl &StartUrl, bool IncludeSubdomains = false);

    bool contains(const QUrl &Url) const;

private:
    QString FHost; // ACE form, lower case, without "www." and a final "."
    int FPort = -1;
    bool FIsAddress = false;
    bool FSubdomains = false;
};

// Is a response with this Content-Type a page: text/html,
// application/xhtml+xml or text/plain, parameters and letter case ignored?
// A missing (empty) Content-Type counts as a page.
bool isPageContentType(QByteArrayView ContentType);

} // namespace corvane
