// robots.txt after RFC 9309: reading a file into groups, choosing the rules a
// crawler obeys, and deciding whether a URL may be fetched.
//
// Typical use by a crawl:
//
//     switch (robotsFetchRule(status)) {
//     case rfUseBody: {
//         const TRobotsTxt txt = TRobotsTxt::parse(body);
//         rules = txt.rulesFor(robotsProductToken(userAgent));
//         sitemaps = txt.sitemaps();
//         break;
//     }
//     case rfAllowAll: rules = TRobotsRules::allowAll(); break;
//     case rfDisallowAll: rules = TRobotsRules::disallowAll(); break; // and tell the user
//     }
//     if (rules.isAllowed(url)) ...
//
// Matching is linear in the path for each rule, however many "*" a pattern
// holds, and a URL is tested against the rules in order of precedence, so
// the first rule that matches decides.
#pragma once

#include <optional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUrl>

namespace corvane {

// The most of a body that is read (the RFC asks for at least 500 KiB). A
// longer body is cut at its last line break before the limit.
inline constexpr qsizetype MaxRobotsTxtBytes = 500 * 1024;

// What the outcome of fetching /robots.txt (redirects followed) means.
enum TRobotsFetchRule {
    rfUseBody,     // 2xx: obey the body
    rfAllowAll,    // 3xx left over (a redirect loop) or 4xx: "unavailable", no restriction
    rfDisallowAll, // 5xx, 429 or no response (HttpStatus 0): "unreachable", fetch nothing
};
TRobotsFetchRule robotsFetchRule(int HttpStatus);

// The product token a user-agent string stands for in robots.txt, or an empty
// string when it names no crawler (only the "*" groups apply then):
//   - a crawler written as a browser, "... (compatible; Name/1.0; +url) ...":
//     the first word of that list that is a token, alone or before "/"
//     ("Googlebot" from "Mozilla/5.0 (compatible; Googlebot/2.1; +http://...)",
//     "Slurp" from "(compatible; Yahoo! Slurp; ...)");
//   - any other "Mozilla/..." string is a browser: no token;
//   - anything else: its leading run of A-Z, a-z, "_" and "-" ("Corvane" from
//     "Corvane/2.1; +https://...", "curl" from "curl/7.88.1").
QString robotsProductToken(QStringView UserAgent);

// A valid product token: one or more of A-Z, a-z, "_" and "-".
bool isValidRobotsProductToken(QStringView Token);

// The path, parameters and query of a URL as written (fragment dropped, "/"
// when empty). A string without "//" or "scheme://" before its first "/" or
// "?" starts with the host: "example.com?a" gives "/?a".
QByteArray robotsPathOf(QByteArrayView Url);

// The path and query of a URL in RFC 3986 normal form (see TRobotsRules).
QByteArray robotsPathOf(const QUrl &Url);

// A pattern as written, compared octet by octet: bytes outside ASCII
// percent-encoded, the hex digits of existing escapes upper-cased.
QByteArray escapeRobotsPattern(QByteArrayView Pattern);

// A path or pattern in RFC 3986 normal form: escapes of unreserved characters
// (A-Z a-z 0-9 - . _ ~) decoded, other escapes upper-cased, a "%" that starts
// no escape written as "%25", and every byte that may not stand in a URL
// (controls, space, "\"<>\\^`{|}", non-ASCII) percent-encoded.
QByteArray normalizeRobotsPath(QByteArrayView Path);

struct TRobotsRule {
    bool Allow = false;
    QByteArray Pattern; // as written in the file, comment and blanks removed
    int Line = 0;       // 1-based line of the file
};

// The rules one crawler obeys on one site. Precedence (RFC 9309 2.2.2): the
// rule with the longest pattern that matches decides, Allow winning a tie;
// no match allows; "/robots.txt" is always allowed. "*" matches any run of
// bytes, a final "$" the end of the path.
class TRobotsRules {
public:
    TRobotsRules() = default; // no rules: everything allowed
    explicit TRobotsRules(std::vector<TRobotsRule> Rules,
                          std::optional<double> CrawlDelay = std::nullopt);

    static TRobotsRules allowAll() { return {}; }
    static TRobotsRules disallowAll();

    // The URL's path and query in RFC 3986 normal form against the patterns
    // in the same form, so "/~joe/" and "/%7Ejoe/" are one path, and a raw
    // "/ツ" is the same as "/%E3%83%84". This is the test a crawl uses.
    bool isAllowed(const QUrl &Url) const;

    // PathAndQuery exactly as sent on the wire (percent-encoded already)
    // against the patterns as written (escapeRobotsPattern); only the case of
    // escapes' hex digits is folded. "/%62%61%7A" and "/baz" differ here.
    bool isAllowedPath(QByteArrayView PathAndQuery) const;

    // The rule that decides for the URL (its Allow is the answer), or nullptr
    // when none matches or the URL is /robots.txt: allowed. For disallowAll()
    // a rule "Disallow: /" at line 0.
    const TRobotsRule *decidingRule(const QUrl &Url) const;

    // Seconds between requests the site asks for, if any.
    std::optional<double> crawlDelay() const { return FCrawlDelay; }
    bool disallowsEverything() const { return FDisallowAll; }
    const std::vector<TRobotsRule> &rules() const { return FRules; }

private:
    struct Compiled {
        QByteArray Pattern; // "*" runs collapsed, final "$" removed
        // The literal parts between stars, as (offset, length) in Pattern:
        // one for a pattern without "*", else the head, the parts, the tail.
        std::vector<std::pair<qsizetype, qsizetype>> Parts;
        qsizetype Priority; // octets of the pattern before collapsing
        qsizetype Literal;  // octets a path must hold at least
        bool EndAnchor;
        bool Allow;
        int Rule; // index into FRules
        bool matches(QByteArrayView Path) const;
    };
    static std::vector<Compiled> compile(const std::vector<TRobotsRule> &Rules, bool Normal);
    const TRobotsRule *decide(const std::vector<Compiled> &Set, QByteArrayView Path) const;

    std::vector<TRobotsRule> FRules;
    std::vector<Compiled> FWritten; // for isAllowedPath, by precedence
    std::vector<Compiled> FNormal;  // for isAllowed, by precedence
    std::optional<double> FCrawlDelay;
    bool FDisallowAll = false;
};

// Counts from reading a file, for the log.
struct TRobotsParseStats {
    int Lines = 0;
    int ValidDirectives = 0;   // user-agent, allow, disallow, crawl-delay and sitemap lines
    int UnknownDirectives = 0; // other "key: value" lines
    int LastDirectiveLine = 0; // 1-based line of the last directive of either kind
    bool Truncated = false;    // the body was longer than MaxRobotsTxtBytes
};

// A robots.txt file read into groups. Reading never fails: lines it cannot
// use are passed over. Lines end at CR LF, LF or CR; a UTF-8 byte-order mark
// (or a leading part of one) is skipped; "#" starts a comment; a missing ":"
// is tolerated when a blank separates a known key from its value.
//
// A group is a run of user-agent lines and the rules after them, up to the
// next user-agent line that follows a rule; Sitemap and unknown lines do not
// end the run of user-agent lines. Rules before the first user-agent line
// belong to no group. A user-agent value counts up to its first character
// outside A-Z a-z _ - ("FOO BAR" is "foo"); "*" is every crawler. An empty
// Allow or Disallow value is no rule. Crawl-delay (seconds, "." or ","
// before a fraction) belongs to its group like a rule.
class TRobotsTxt {
public:
    static TRobotsTxt parse(QByteArrayView Body);

    // The groups naming ProductToken (letter case ignored), merged; when none
    // does (or the token is empty), the "*" groups, merged; else no rules.
    // Merged groups keep the largest Crawl-delay.
    TRobotsRules rulesFor(QStringView ProductToken) const;

    // Every Sitemap value, in file order, duplicates dropped.
    const QStringList &sitemaps() const { return FSitemaps; }
    const TRobotsParseStats &stats() const { return FStats; }

private:
    struct Group {
        std::vector<QByteArray> Agents; // lower-case tokens
        bool Global = false;            // "*" among them
        std::vector<TRobotsRule> Rules;
        std::optional<double> CrawlDelay;
    };
    std::vector<Group> FGroups;
    QStringList FSitemaps;
    TRobotsParseStats FStats;
};

} // namespace corvane
