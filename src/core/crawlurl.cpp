#include "core/crawlurl.h"

#include <algorithm>

namespace corvane {

namespace {

inline bool isAsciiLetter(char16_t C) {
    return char16_t((C | 0x20) - 'a') < 26;
}
inline char16_t asciiLower(char16_t C) {
    return char16_t(C - 'A') < 26 ? char16_t(C | 0x20) : C;
}

bool isHttpScheme(const QString &Scheme) {
    return Scheme == QLatin1StringView("http") || Scheme == QLatin1StringView("https");
}

// Does Name match Pattern, "*" matching any run, ASCII letter case ignored?
// Greedy with one point to go back to: linear for one "*", at most
// |Name| x |Pattern| steps otherwise.
bool wildcardMatches(QStringView Pattern, QStringView Name) {
    qsizetype p = 0, n = 0, starP = -1, starN = 0;
    while (n < Name.size()) {
        if (p < Pattern.size() && Pattern[p] != u'*' &&
            asciiLower(Pattern[p].unicode()) == asciiLower(Name[n].unicode())) {
            ++p;
            ++n;
        } else if (p < Pattern.size() && Pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < Pattern.size() && Pattern[p] == u'*') ++p;
    return p == Pattern.size();
}

// The scheme an href starts with ("javascript" of "javascript:void(0)"), or
// an empty view for a relative reference.
QStringView schemeOf(QStringView Href) {
    if (Href.isEmpty() || !isAsciiLetter(Href[0].unicode())) return {};
    for (qsizetype i = 1; i < Href.size(); ++i) {
        const char16_t c = Href[i].unicode();
        if (c == ':') return Href.first(i);
        if (!isAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return {};
    }
    return {};
}

// The href as a browser reads it: outer blanks and controls, inner tabs and
// line breaks gone, "\" before the query or fragment read as "/".
QString cleanHref(QStringView Href) {
    qsizetype b = 0, e = Href.size();
    while (b < e && Href[b].unicode() <= 0x20) ++b;
    while (e > b && Href[e - 1].unicode() <= 0x20) --e;
    QString out;
    out.reserve(e - b);
    bool inPath = true;
    for (qsizetype i = b; i < e; ++i) {
        const char16_t c = Href[i].unicode();
        if (c == '\t' || c == '\n' || c == '\r') continue;
        if (c == '?' || c == '#') inPath = false;
        out += QChar(inPath && c == '\\' ? u'/' : c);
    }
    return out;
}

// RFC 3986 5.2.4 on an absolute path, in one pass: "." segments go, ".."
// takes the segment before it away (never above the root). QUrl's
// NormalizePathSegments is not used: in Qt 6.4 it also eats one slash of a
// leading "//" each time it runs, so its result is not stable.
QString removeDotSegments(QStringView Path) {
    QString out;
    out.reserve(Path.size());
    qsizetype i = 0;
    while (i < Path.size()) {
        // One segment: the "/" before it (if any) and up to the next "/".
        const bool slash = Path[i] == u'/';
        const qsizetype start = slash ? i + 1 : i;
        qsizetype end = Path.indexOf(u'/', start);
        if (end < 0) end = Path.size();
        const QStringView segment = Path.sliced(start, end - start);
        const bool last = end == Path.size();
        if (segment == u".") {
            if (last) out += u'/';
        } else if (segment == u"..") {
            const qsizetype cut = out.lastIndexOf(u'/');
            out.truncate(cut < 0 ? 0 : cut);
            if (last) out += u'/';
        } else {
            if (slash) out += u'/';
            out += segment;
        }
        i = end;
    }
    return out;
}

// The host as the site test compares it.
QString siteHost(const QUrl &Url) {
    QString host = Url.host(QUrl::FullyEncoded).toLower();
    if (host.endsWith(u'.')) host.chop(1);
    if (host.startsWith(u"www.")) host.remove(0, 4);
    return host;
}

// The port written in the address, or -1 for the scheme's own.
int explicitPort(const QUrl &Url) {
    const int port = Url.port();
    if ((port == 80 && Url.scheme() == u"http") || (port == 443 && Url.scheme() == u"https"))
        return -1;
    return port;
}

} // namespace

// ---- TQueryFilter -----------------------------------------------------------

TQueryFilter::TQueryFilter(const QStringList &Patterns) {
    for (const QString &p : Patterns)
        if (!p.trimmed().isEmpty()) FPatterns.append(p.trimmed());
}

bool TQueryFilter::dropsName(QStringView Name) const {
    for (const QString &p : FPatterns)
        if (wildcardMatches(p, Name)) return true;
    return false;
}

QString TQueryFilter::apply(QStringView Query) const {
    if (FPatterns.isEmpty()) return Query.toString();
    QString out;
    out.reserve(Query.size());
    qsizetype i = 0;
    while (i <= Query.size()) {
        qsizetype amp = Query.indexOf(u'&', i);
        if (amp < 0) amp = Query.size();
        const QStringView part = Query.sliced(i, amp - i);
        const qsizetype eq = part.indexOf(u'=');
        const QStringView name = eq < 0 ? part : part.first(eq);
        const QString decoded =
            name.contains(u'%') ? QUrl::fromPercentEncoding(name.toUtf8()) : name.toString();
        if (!part.isEmpty() && !dropsName(decoded)) {
            if (!out.isEmpty()) out += u'&';
            out += part;
        }
        i = amp + 1;
    }
    return out;
}

// ---- canonical form ---------------------------------------------------------

TCrawlLink canonicalCrawlUrl(const QUrl &Url, const TQueryFilter &Filter) {
    if (!Url.isValid()) return {lvInvalid, {}};
    if (!isHttpScheme(Url.scheme())) return {Url.scheme().isEmpty() ? lvInvalid : lvNotHttp, {}};
    if (Url.host().isEmpty()) return {lvInvalid, {}};
    QUrl u = Url.adjusted(QUrl::RemoveFragment);
    if (const QString path = u.path(QUrl::FullyEncoded); path.contains(u'.')) {
        const QString clean = removeDotSegments(path);
        if (clean != path) u.setPath(clean, QUrl::TolerantMode);
    }
    if (explicitPort(u) < 0) u.setPort(-1);
    if (const QString host = u.host(); host.endsWith(u'.')) u.setHost(host.chopped(1));
    if (u.path().isEmpty()) u.setPath(QStringLiteral("/"));
    if (u.hasQuery()) {
        const QString query = Filter.apply(u.query(QUrl::FullyEncoded));
        if (query.isEmpty())
            u.setQuery(QString());
        else
            u.setQuery(query);
    }
    const QByteArray encoded = u.toEncoded();
    if (encoded.size() > MaxCrawlUrlLength) return {lvTooLong, {}};
    return {lvOk, QString::fromLatin1(encoded)};
}

// ---- TLinkResolver ----------------------------------------------------------

TLinkResolver::TLinkResolver(const QUrl &PageUrl, const QString &BaseHref, TQueryFilter Filter)
    : FBase(PageUrl.adjusted(QUrl::RemoveFragment)), FFilter(std::move(Filter)) {
    if (!BaseHref.isNull()) {
        const QString clean = cleanHref(BaseHref);
        const QUrl base = FBase.resolved(QUrl(clean));
        if (base.isValid() && isHttpScheme(base.scheme()) && !base.host().isEmpty()) FBase = base;
    }
}

TCrawlLink TLinkResolver::resolve(QStringView Href) const {
    const QString href = cleanHref(Href);
    if (const QStringView scheme = schemeOf(href);
        !scheme.isEmpty() && scheme.compare(u"http", Qt::CaseInsensitive) != 0 &&
        scheme.compare(u"https", Qt::CaseInsensitive) != 0)
        return {lvNotHttp, {}};
    if (href.isEmpty()) return canonicalCrawlUrl(FBase, FFilter); // QUrl calls "" invalid
    const QUrl relative(href);
    if (!relative.isValid()) return {lvInvalid, {}};
    return canonicalCrawlUrl(FBase.resolved(relative), FFilter);
}

// ---- TSiteScope -------------------------------------------------------------

TSiteScope::TSiteScope(const QUrl &StartUrl, bool IncludeSubdomains)
    : FHost(siteHost(StartUrl)), FPort(explicitPort(StartUrl)), FSubdomains(IncludeSubdomains) {
    // An IPv6 address holds ":", an IPv4 one only digits and dots.
    FIsAddress = FHost.contains(u':') || std::all_of(FHost.cbegin(), FHost.cend(), [](QChar c) {
                     return c == u'.' || c.isDigit();
                 });
}

bool TSiteScope::contains(const QUrl &Url) const {
    if (FHost.isEmpty() || !isHttpScheme(Url.scheme()) || explicitPort(Url) != FPort) return false;
    const QString host = siteHost(Url);
    if (host == FHost) return true;
    return FSubdomains && !FIsAddress && host.size() > FHost.size() && host.endsWith(FHost) &&
           host[host.size() - FHost.size() - 1] == u'.';
}

// ---- Content-Type -----------------------------------------------------------

bool isPageContentType(QByteArrayView ContentType) {
    if (const qsizetype semicolon = ContentType.indexOf(';'); semicolon >= 0)
        ContentType = ContentType.first(semicolon);
    const QByteArray type = ContentType.toByteArray().trimmed().toLower();
    return type.isEmpty() || type == "text/html" || type == "application/xhtml+xml" ||
           type == "text/plain";
}

} // namespace corvane
