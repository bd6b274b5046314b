#include "core/robots.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include <QSet>

namespace corvane {

namespace {

inline bool isBlank(char C) {
    return static_cast<unsigned char>(C) <= 0x20;
}
inline bool isTokenChar(char16_t C) {
    return char16_t((C | 0x20) - 'a') < 26 || C == '_' || C == '-';
}
inline bool isHex(char C) {
    return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F');
}
inline int hexValue(char C) {
    return C <= '9' ? C - '0' : (C | 0x20) - 'a' + 10;
}
inline char asciiLower(char C) {
    return C >= 'A' && C <= 'Z' ? char(C | 0x20) : C;
}
constexpr char HexDigits[] = "0123456789ABCDEF";

inline void putEscape(QByteArray &Out, unsigned char C) {
    Out += '%';
    Out += HexDigits[C >> 4];
    Out += HexDigits[C & 15];
}

// Characters that stand for themselves in the normal form: unreserved and
// reserved (RFC 3986 2.2, 2.3). Everything else is percent-encoded.
inline bool isUnreserved(unsigned char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '-' ||
           C == '.' || C == '_' || C == '~';
}
inline bool isUriChar(unsigned char C) {
    return isUnreserved(C) ||
           std::string_view(":/?#[]@!$&'()*+,;=").find(char(C)) != std::string_view::npos;
}

QByteArrayView trimmed(QByteArrayView S) {
    qsizetype b = 0, e = S.size();
    while (b < e && isBlank(S[b])) ++b;
    while (e > b && isBlank(S[e - 1])) --e;
    return S.sliced(b, e - b);
}

bool equalsNoCase(QByteArrayView S, std::string_view Lower) {
    if (S.size() != qsizetype(Lower.size())) return false;
    for (qsizetype i = 0; i < S.size(); ++i)
        if (asciiLower(S[i]) != Lower[std::size_t(i)]) return false;
    return true;
}

// The path with the hex digits of its escapes upper-cased.
QByteArray foldEscapes(QByteArrayView Path) {
    qsizetype i = 0;
    for (; i + 2 < Path.size(); ++i)
        if (Path[i] == '%' && isHex(Path[i + 1]) && isHex(Path[i + 2]) &&
            (Path[i + 1] >= 'a' || Path[i + 2] >= 'a'))
            break;
    if (i + 2 >= Path.size()) return Path.toByteArray();
    QByteArray out = Path.toByteArray();
    for (; i + 2 < out.size(); ++i)
        if (out[i] == '%' && isHex(out[i + 1]) && isHex(out[i + 2])) {
            out[i + 1] = HexDigits[hexValue(out[i + 1])];
            out[i + 2] = HexDigits[hexValue(out[i + 2])];
            i += 2;
        }
    return out;
}

// The first place of Needle in Path at or after From, or -1. Short needles
// (most parts of patterns) go to memchr and memcmp, at most 16 bytes
// compared per place; longer ones to Qt's search, which does not compare a
// place byte by byte either.
qsizetype findPart(QByteArrayView Path, QByteArrayView Needle, qsizetype From) {
    if (Needle.size() > 16) return Path.indexOf(Needle, From);
    const std::size_t at =
        std::string_view(Path.data(), std::size_t(Path.size()))
            .find(std::string_view(Needle.data(), std::size_t(Needle.size())), std::size_t(From));
    return at == std::string_view::npos ? -1 : qsizetype(at);
}

// A decimal number of seconds: digits, perhaps "." or "," and more digits.
std::optional<double> parseDelay(QByteArrayView V) {
    double value = 0;
    qsizetype i = 0;
    bool digits = false;
    for (; i < V.size() && V[i] >= '0' && V[i] <= '9'; ++i, digits = true)
        value = value * 10 + (V[i] - '0');
    if (i < V.size() && (V[i] == '.' || V[i] == ',')) {
        double scale = 0.1;
        for (++i; i < V.size() && V[i] >= '0' && V[i] <= '9'; ++i, digits = true, scale /= 10)
            value += (V[i] - '0') * scale;
    }
    if (!digits || i != V.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The token of a user-agent line's value, lower-cased: up to the first
// character that may not stand in a token.
QByteArray agentToken(QByteArrayView V) {
    qsizetype n = 0;
    while (n < V.size() && isTokenChar(char16_t(static_cast<unsigned char>(V[n])))) ++n;
    return V.first(n).toByteArray().toLower();
}

} // namespace

// ---- free functions ---------------------------------------------------------

TRobotsFetchRule robotsFetchRule(int HttpStatus) {
    if (HttpStatus >= 200 && HttpStatus < 300) return rfUseBody;
    // A server that asks us to slow down is not telling us there is no file.
    if (HttpStatus == 429) return rfDisallowAll;
    if (HttpStatus >= 300 && HttpStatus < 500) return rfAllowAll;
    return rfDisallowAll;
}

QString robotsProductToken(QStringView UserAgent) {
    const QStringView ua = UserAgent.trimmed();
    const qsizetype compatible = ua.indexOf(u"compatible;", 0, Qt::CaseInsensitive);
    if (compatible >= 0) {
        qsizetype i = compatible + 11;
        const qsizetype close = ua.indexOf(u')', i);
        const qsizetype end = close < 0 ? ua.size() : close;
        while (i < end) {
            while (i < end && (ua[i] == u' ' || ua[i] == u';' || ua[i] == u'\t')) ++i;
            qsizetype w = i;
            while (w < end && isTokenChar(ua[w].unicode())) ++w;
            const bool word =
                w > i && (w == end || ua[w] == u'/' || ua[w] == u';' || ua[w] == u' ');
            if (word) return ua.sliced(i, w - i).toString();
            while (w < end && ua[w] != u' ' && ua[w] != u';') ++w; // the rest of this word
            i = w;
        }
        return {};
    }
    if (ua.startsWith(u"Mozilla/", Qt::CaseInsensitive)) return {};
    qsizetype n = 0;
    while (n < ua.size() && isTokenChar(ua[n].unicode())) ++n;
    return ua.first(n).toString();
}

bool isValidRobotsProductToken(QStringView Token) {
    return !Token.isEmpty() && std::all_of(Token.begin(), Token.end(),
                                           [](QChar c) { return isTokenChar(c.unicode()); });
}

QByteArray robotsPathOf(QByteArrayView Url) {
    if (const qsizetype hash = Url.indexOf('#'); hash >= 0) Url = Url.first(hash);
    auto pathStop = [&](qsizetype I) {
        while (I < Url.size() && Url[I] != '/' && Url[I] != '?') ++I;
        return I;
    };
    qsizetype start; // where the path (or the query) starts
    if (Url.startsWith("//")) {
        start = pathStop(2);
    } else {
        const qsizetype stop = pathStop(0);
        if (stop > 0 && Url[stop - 1] == ':' && Url.sliced(stop).startsWith("//"))
            start = pathStop(stop + 2); // scheme://host
        else
            start = stop; // a host without a scheme, or none at all
    }
    const QByteArrayView path = Url.sliced(start);
    if (path.isEmpty()) return QByteArrayLiteral("/");
    if (path.front() == '?') return '/' + path.toByteArray();
    return path.toByteArray();
}

QByteArray robotsPathOf(const QUrl &Url) {
    QByteArray path = Url.path(QUrl::FullyEncoded).toUtf8();
    if (path.isEmpty()) path = QByteArrayLiteral("/");
    if (Url.hasQuery()) path += '?' + Url.query(QUrl::FullyEncoded).toUtf8();
    return normalizeRobotsPath(path);
}

QByteArray escapeRobotsPattern(QByteArrayView Pattern) {
    QByteArray out;
    out.reserve(Pattern.size());
    for (qsizetype i = 0; i < Pattern.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Pattern[i]);
        if (c >= 0x80) {
            putEscape(out, c);
        } else if (c == '%' && i + 2 < Pattern.size() && isHex(Pattern[i + 1]) &&
                   isHex(Pattern[i + 2])) {
            out += '%';
            out += HexDigits[hexValue(Pattern[i + 1])];
            out += HexDigits[hexValue(Pattern[i + 2])];
            i += 2;
        } else {
            out += char(c);
        }
    }
    return out;
}

QByteArray normalizeRobotsPath(QByteArrayView Path) {
    QByteArray out;
    out.reserve(Path.size());
    for (qsizetype i = 0; i < Path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Path[i]);
        if (c == '%' && i + 2 < Path.size() && isHex(Path[i + 1]) && isHex(Path[i + 2])) {
            const unsigned char v =
                static_cast<unsigned char>(hexValue(Path[i + 1]) * 16 + hexValue(Path[i + 2]));
            if (isUnreserved(v))
                out += char(v);
            else
                putEscape(out, v);
            i += 2;
        } else if (isUriChar(c)) {
            out += char(c);
        } else {
            putEscape(out, c);
        }
    }
    return out;
}

// ---- TRobotsRules -----------------------------------------------------------

TRobotsRules::TRobotsRules(std::vector<TRobotsRule> Rules, std::optional<double> CrawlDelay)
    : FRules(std::move(Rules)), FCrawlDelay(CrawlDelay) {
    FWritten = compile(FRules, false);
    FNormal = compile(FRules, true);
}

TRobotsRules TRobotsRules::disallowAll() {
    TRobotsRules r({{false, QByteArrayLiteral("/"), 0}});
    r.FDisallowAll = true;
    return r;
}

// With "*" the only wildcard, taking each part between stars at its leftmost
// place is never wrong: it leaves the most room for the parts after it. Each
// part is searched for once, from where the one before ended, so a pattern
// costs about one pass over the path however many stars it holds -- no
// backtracking.
bool TRobotsRules::Compiled::matches(QByteArrayView Path) const {
    if (Literal > Path.size()) return false;
    auto part = [this](std::size_t I) {
        return QByteArrayView(Pattern).sliced(Parts[I].first, Parts[I].second);
    };
    if (Parts.size() == 1) return EndAnchor ? Path == Pattern : Path.startsWith(Pattern);
    if (!Path.startsWith(part(0))) return false;
    qsizetype pos = Parts[0].second;
    for (std::size_t i = 1; i + 1 < Parts.size(); ++i) {
        const qsizetype at = findPart(Path, part(i), pos);
        if (at < 0) return false;
        pos = at + Parts[i].second;
    }
    const QByteArrayView tail = part(Parts.size() - 1);
    if (EndAnchor) return Path.size() - pos >= tail.size() && Path.endsWith(tail);
    return tail.isEmpty() || findPart(Path, tail, pos) >= 0;
}

std::vector<TRobotsRules::Compiled> TRobotsRules::compile(const std::vector<TRobotsRule> &Rules,
                                                          bool Normal) {
    std::vector<Compiled> set;
    set.reserve(Rules.size());
    QSet<QByteArray> seen;
    for (std::size_t r = 0; r < Rules.size(); ++r) {
        const QByteArray &written = Rules[r].Pattern;
        if (written.isEmpty()) continue;
        // "$" anchors only at the end; the normal form must not touch "*".
        const bool anchor = written.endsWith('$');
        const QByteArrayView body(written.constData(), written.size() - (anchor ? 1 : 0));
        if (body.isEmpty()) continue;
        QByteArray pattern;
        if (Normal) {
            for (qsizetype p = 0;;) {
                const qsizetype star = body.indexOf('*', p);
                pattern += normalizeRobotsPath(body.sliced(p, (star < 0 ? body.size() : star) - p));
                if (star < 0) break;
                pattern += '*';
                p = star + 1;
            }
        } else {
            pattern = escapeRobotsPattern(body);
        }
        // A pattern is a path; one written without its leading "/" means one.
        if (!pattern.startsWith('/') && !pattern.startsWith('*')) pattern.prepend('/');
        const qsizetype priority = pattern.size() + (anchor ? 1 : 0);
        Compiled c{{}, {}, priority, 0, anchor, Rules[r].Allow, int(r)};
        c.Pattern.reserve(pattern.size());
        qsizetype partStart = 0;
        for (char ch : std::as_const(pattern)) {
            if (ch != '*') {
                c.Pattern += ch;
                ++c.Literal;
            } else if (!c.Pattern.endsWith('*')) {
                c.Parts.emplace_back(partStart, c.Pattern.size() - partStart);
                c.Pattern += ch;
                partStart = c.Pattern.size();
            }
        }
        c.Parts.emplace_back(partStart, c.Pattern.size() - partStart);
        // A rule written twice is tried once.
        const QByteArray key =
            QByteArray::number(priority) + (anchor ? "$" : "^") + (c.Allow ? "+" : "-") + c.Pattern;
        if (seen.contains(key)) continue;
        seen.insert(key);
        set.push_back(std::move(c));
    }
    std::stable_sort(set.begin(), set.end(), [](const Compiled &a, const Compiled &b) {
        if (a.Priority != b.Priority) return a.Priority > b.Priority;
        return a.Allow && !b.Allow;
    });
    return set;
}

const TRobotsRule *TRobotsRules::decide(const std::vector<Compiled> &Set,
                                        QByteArrayView Path) const {
    if (Path == "/robots.txt") return nullptr;
    for (const Compiled &c : Set)
        if (c.matches(Path)) return &FRules[std::size_t(c.Rule)];
    return nullptr;
}

const TRobotsRule *TRobotsRules::decidingRule(const QUrl &Url) const {
    return FRules.empty() ? nullptr : decide(FNormal, robotsPathOf(Url));
}

bool TRobotsRules::isAllowed(const QUrl &Url) const {
    const TRobotsRule *rule = decidingRule(Url);
    return !rule || rule->Allow;
}

bool TRobotsRules::isAllowedPath(QByteArrayView PathAndQuery) const {
    if (FRules.empty()) return true;
    const TRobotsRule *rule = decide(FWritten, foldEscapes(PathAndQuery));
    return !rule || rule->Allow;
}

// ---- TRobotsTxt -------------------------------------------------------------

TRobotsTxt TRobotsTxt::parse(QByteArrayView Body) {
    TRobotsTxt txt;
    TRobotsParseStats &stats = txt.FStats;
    if (Body.size() > MaxRobotsTxtBytes) {
        stats.Truncated = true;
        // A cut line could be a rule that means something else; drop it.
        qsizetype end = MaxRobotsTxtBytes;
        while (end > 0 && Body[end - 1] != '\n' && Body[end - 1] != '\r') --end;
        Body = Body.first(end);
    }
    // A byte-order mark, or the start of one, before the first line.
    for (const char b : {'\xEF', '\xBB', '\xBF'}) {
        if (Body.isEmpty() || Body.front() != b) break;
        Body = Body.sliced(1);
    }

    Group *group = nullptr;  // the group being filled
    bool agentsOpen = false; // the last directive was a user-agent line
    QSet<QString> sitemapsSeen;
    qsizetype pos = 0;
    int lineNo = 0;
    while (pos < Body.size()) {
        qsizetype eol = pos;
        while (eol < Body.size() && Body[eol] != '\n' && Body[eol] != '\r') ++eol;
        QByteArrayView line = Body.sliced(pos, eol - pos);
        pos = eol;
        if (pos < Body.size())
            pos += Body[pos] == '\r' && pos + 1 < Body.size() && Body[pos + 1] == '\n' ? 2 : 1;
        ++lineNo;

        if (const qsizetype hash = line.indexOf('#'); hash >= 0) line = line.first(hash);
        line = trimmed(line);
        if (line.isEmpty()) continue;
        QByteArrayView key, value;
        bool colon = true;
        if (const qsizetype c = line.indexOf(':'); c >= 0) {
            key = trimmed(line.first(c));
            value = trimmed(line.sliced(c + 1));
        } else {
            qsizetype b = 0;
            while (b < line.size() && !isBlank(line[b])) ++b;
            if (b == line.size()) continue; // a lone word is no directive
            key = line.first(b);
            value = trimmed(line.sliced(b));
            colon = false;
        }

        enum { kAgent, kAllow, kDisallow, kDelay, kSitemap, kOther } kind = kOther;
        if (equalsNoCase(key, "user-agent"))
            kind = kAgent;
        else if (equalsNoCase(key, "allow"))
            kind = kAllow;
        else if (equalsNoCase(key, "disallow"))
            kind = kDisallow;
        else if (equalsNoCase(key, "crawl-delay"))
            kind = kDelay;
        else if (equalsNoCase(key, "sitemap"))
            kind = kSitemap;
        if (kind == kOther) {
            if (colon) {
                ++stats.UnknownDirectives;
                stats.LastDirectiveLine = lineNo;
            }
            continue;
        }
        ++stats.ValidDirectives;
        stats.LastDirectiveLine = lineNo;

        switch (kind) {
        case kAgent:
            if (!agentsOpen) {
                txt.FGroups.emplace_back();
                group = &txt.FGroups.back();
                agentsOpen = true;
            }
            if (value.startsWith('*'))
                group->Global = true;
            else
                group->Agents.push_back(agentToken(value));
            break;
        case kAllow:
        case kDisallow:
        case kDelay:
            agentsOpen = false;
            if (!group) break; // before any user-agent line
            if (kind == kDelay) {
                if (const auto d = parseDelay(value))
                    group->CrawlDelay = std::max(group->CrawlDelay.value_or(*d), *d);
            } else if (!value.isEmpty()) {
                group->Rules.push_back({kind == kAllow, value.toByteArray(), lineNo});
            }
            break;
        case kSitemap:
            if (!value.isEmpty()) {
                const QString url = QString::fromUtf8(value);
                if (!sitemapsSeen.contains(url)) {
                    sitemapsSeen.insert(url);
                    txt.FSitemaps.append(url);
                }
            }
            break;
        case kOther:
            break;
        }
    }
    stats.Lines = lineNo;
    return txt;
}

TRobotsRules TRobotsTxt::rulesFor(QStringView ProductToken) const {
    const QByteArray token = ProductToken.toLatin1().toLower();
    auto collect = [this](auto &&Matches) {
        std::vector<TRobotsRule> rules;
        std::optional<double> delay;
        bool any = false;
        for (const Group &g : FGroups) {
            if (!Matches(g)) continue;
            any = true;
            rules.insert(rules.end(), g.Rules.begin(), g.Rules.end());
            if (g.CrawlDelay) delay = std::max(delay.value_or(*g.CrawlDelay), *g.CrawlDelay);
        }
        return std::make_pair(any, TRobotsRules(std::move(rules), delay));
    };
    if (isValidRobotsProductToken(ProductToken)) {
        auto named = collect([&](const Group &g) {
            return std::find(g.Agents.begin(), g.Agents.end(), token) != g.Agents.end();
        });
        if (named.first) return std::move(named.second);
    }
    return collect([](const Group &g) { return g.Global; }).second;
}

} // namespace corvane
