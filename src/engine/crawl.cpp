#include "engine/crawl.h"

#include <QRegularExpression>
#include <QSet>

#include "core/format.h"
#include "core/i18n.h"
#include "engine/urlimport.h"

namespace corvane {

QStringList ParseDropParams(const QString &Text) {
    static const QRegularExpression Separators(QStringLiteral("[,;\\s]+"));
    return Text.split(Separators, Qt::SkipEmptyParts);
}

QString DropParamsText(const QStringList &Names) {
    return Names.join(QStringLiteral(", "));
}

namespace {

// "mailto:", "javascript:": a scheme before the first ":", as opposed to
// "localhost:8080" or "example.com:8080", which are a host and a port.
bool StartsWithScheme(const QString &Text) {
    const qsizetype colon = Text.indexOf(u':');
    if (colon <= 0) return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const char16_t c = Text[i].unicode();
        const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
        if (!letter && !(i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-'))) return false;
    }
    return colon + 1 >= Text.size() || !Text[colon + 1].isDigit();
}

} // namespace

TCrawlStart CrawlStartURL(const QString &Text, const QStringList &DropParams) {
    const QString given = Text.trimmed();
    if (given.isEmpty()) return {{}, _("Укажите адрес сайта")};
    QString text = given;
    if (text.startsWith(QStringLiteral("//")))
        text.prepend(QStringLiteral("http:"));
    else if (!text.contains(QStringLiteral("://")) && !StartsWithScheme(text))
        text.prepend(QStringLiteral("http://"));
    const TCrawlLink link = canonicalCrawlUrl(QUrl(text), TQueryFilter(DropParams));
    switch (link.Verdict) {
    case lvOk:
        return {link.Url, {}};
    case lvNotHttp:
        return {{},
                FormatMsg(N_("Сканировать можно только сайт с адресом http:// или https://: %s"),
                          {given})};
    case lvTooLong:
        return {{}, FormatMsg(N_("Адрес длиннее %d символов"), {std::int64_t(MaxCrawlUrlLength)})};
    case lvInvalid:
        break;
    }
    return {{}, FormatMsg(N_("Не удалось разобрать адрес сайта: %s"), {given})};
}

TCrawlRules::TCrawlRules(const QUrl &Start, const TCrawlOptions &Options)
    : FScope(Start, Options.IncludeSubdomains), FFilter(Options.DropParams),
      FFollowNoFollow(Options.FollowNoFollow) {}

bool CrawlTakes(const QString &Url, const TCrawlRules &Rules) {
    return Rules.Scope().contains(QUrl(Url)) && !IsIgnoredURL(Url);
}

TCrawlHarvest HarvestLinks(const TPageLinks &Links, const QString &PageURL,
                           const TCrawlRules &Rules) {
    TCrawlHarvest out;
    const QUrl page(PageURL);
    const TCrawlLink self = canonicalCrawlUrl(page, Rules.Filter());
    // A redirect to another site: that site's links are none of the crawl's.
    if (self.Verdict != lvOk || !Rules.Scope().contains(QUrl(self.Url))) return out;
    out.PageURL = self.Url;
    const bool follow = Rules.FollowNoFollow();
    const bool pageNoFollow = Links.Indexing.NoFollow && !follow;
    const TLinkResolver resolver(page, Links.BaseHref, Rules.Filter());
    QSet<QString> taken;
    for (const TPageLink &l : Links.Links) {
        if (Rules.Full()) break;
        if (pageNoFollow || (l.NoFollow && !follow)) {
            ++out.NoFollow;
            continue;
        }
        const TCrawlLink link = resolver.resolve(l.Href);
        if (link.Verdict != lvOk) {
            ++out.Unusable;
        } else if (!Rules.Scope().contains(QUrl(link.Url))) {
            ++out.OffSite;
        } else if (IsIgnoredURL(link.Url)) {
            ++out.Ignored;
        } else if (!taken.contains(link.Url)) {
            taken.insert(link.Url);
            out.Links << link.Url;
        }
    }
    return out;
}

QString CrawlOrigin(const QUrl &Url) {
    QString origin = Url.scheme() + QStringLiteral("://") + Url.host(QUrl::FullyEncoded);
    if (Url.port() >= 0) origin += u':' + QString::number(Url.port());
    return origin;
}

} // namespace corvane
