#include "engine/pagesignals.h"

#include <QList>
#include <QUrl>

#include "core/crawlurl.h"
#include "core/htmltotext.h"
#include "core/pagelinks.h"

namespace corvane {

namespace {

// Splits at the commas that stand outside <...> and "...".
QList<QByteArray> SplitHeaderList(const QByteArray &Value) {
    QList<QByteArray> out;
    bool inAngle = false, inQuote = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < Value.size(); ++i) {
        const char c = Value[i];
        if (c == '"' && !inAngle)
            inQuote = !inQuote;
        else if (c == '<' && !inQuote)
            inAngle = true;
        else if (c == '>' && !inQuote)
            inAngle = false;
        else if (c == ',' && !inAngle && !inQuote) {
            out << Value.mid(start, i - start).trimmed();
            start = i + 1;
        }
    }
    out << Value.mid(start).trimmed();
    return out;
}

bool IsCrawlerDirective(const QByteArray &Name) {
    // Directives that carry a value after a colon themselves.
    return Name == "unavailable_after" || Name == "max-snippet" || Name == "max-image-preview" ||
           Name == "max-video-preview";
}

} // namespace

QString CanonicalOfLinkHeader(const QByteArray &Value) {
    for (const QByteArray &link : SplitHeaderList(Value)) {
        const qsizetype open = link.indexOf('<'), close = link.indexOf('>');
        if (open != 0 || close < 0) continue;
        for (QByteArray param : link.mid(close + 1).split(';')) {
            param = param.trimmed();
            if (!param.toLower().startsWith("rel")) continue;
            const qsizetype eq = param.indexOf('=');
            if (eq < 0 || param.left(eq).trimmed().toLower() != "rel") continue;
            QByteArray rel = param.mid(eq + 1).trimmed().toLower();
            if (rel.startsWith('"') && rel.endsWith('"') && rel.size() >= 2)
                rel = rel.mid(1, rel.size() - 2);
            for (const QByteArray &word : rel.simplified().split(' '))
                if (word == "canonical") return QString::fromUtf8(link.mid(1, close - 1).trimmed());
        }
    }
    return {};
}

bool NoIndexOfRobotsHeader(const QByteArray &Value) {
    for (QByteArray part : SplitHeaderList(Value.toLower())) {
        // "otherbot: noindex" speaks to that crawler only.
        const qsizetype colon = part.indexOf(':');
        if (colon > 0) {
            const QByteArray name = part.left(colon).trimmed();
            if (!IsCrawlerDirective(name) && !name.contains(' ')) {
                continue;
            }
        }
        for (const QByteArray &word : part.simplified().split(' '))
            if (word == "noindex" || word == "none") return true;
    }
    return false;
}

TPageLinks ReadPageLinks(const QByteArray &Page) {
    return extractPageLinks(DecodePage(Page, DetectCharset(Page).Charset));
}

TPageSignals ReadPageSignals(const QByteArray &Page, const QString &PageUrl,
                             const QByteArray &LinkHeader, const QByteArray &RobotsHeader) {
    return ReadPageSignals(ReadPageLinks(Page), PageUrl, LinkHeader, RobotsHeader);
}

TPageSignals ReadPageSignals(const TPageLinks &Links, const QString &PageUrl,
                             const QByteArray &LinkHeader, const QByteArray &RobotsHeader) {
    TPageSignals out;
    out.NoIndex = Links.Indexing.NoIndex || NoIndexOfRobotsHeader(RobotsHeader);
    QString href = Links.Indexing.Canonical;
    if (href.isNull()) href = CanonicalOfLinkHeader(LinkHeader);
    if (!href.isNull()) {
        const TCrawlLink link = TLinkResolver(QUrl(PageUrl), Links.BaseHref).resolve(href);
        if (link.Verdict == lvOk) out.Canonical = link.Url;
    }
    return out;
}

} // namespace corvane
