#include "engine/sitecrawl.h"

#include <algorithm>
#include <cmath>

#include <QUrl>

#include "core/format.h"
#include "core/i18n.h"
#include "engine/urlimport.h"

namespace corvane {

TSiteCrawl::TSiteCrawl(const TCrawlOptions &Options, const QString &StartURL, std::int32_t Limit,
                       const QString &UserAgent, ICrawlHost &Host)
    : FOptions(Options), FStart(StartURL), FStartOrigin(CrawlOrigin(QUrl(StartURL))),
      FUserAgent(UserAgent), FRules(std::make_shared<const TCrawlRules>(QUrl(StartURL), Options)),
      FHost(Host), FLimit(std::max<std::int32_t>(0, Limit)) {}

void TSiteCrawl::Begin(const TURLTaskInfoList &Listed) {
    FListed = std::int32_t(Listed.size());
    for (const TURLTaskInfo *t : Listed) {
        if (!t) continue;
        const TCrawlLink link = canonicalCrawlUrl(QUrl(t->URL), FRules->Filter());
        if (link.Verdict == lvOk) FSeen.insert(link.Url);
    }
    if (FLimit == 0) FFull = true;
    if (FOptions.IgnoreRobots && !FOptions.UseSitemaps) {
        HostOf(FStartOrigin).Known = true;
        FSeed = std::make_unique<TCrawlHarvest>();
        FSeed->Links << FStart;
    } else {
        // robots.txt first: for its rules, or for the sitemaps it names.
        FetchHost(FStartOrigin, FOptions.UseSitemaps);
    }
    Intake();
}

TSiteCrawl::THost &TSiteCrawl::HostOf(const QString &Origin) {
    return FHosts[Origin];
}

void TSiteCrawl::FetchHost(const QString &Origin, bool Sitemaps) {
    HostOf(Origin).Known = false;
    TSiteFetchJob job;
    job.Origin = Origin;
    job.UserAgent = FUserAgent;
    job.Sitemaps = Sitemaps;
    job.MaxSitemapPages = MaxURLCount;
    job.Rules = FRules;
    FHost.StartSiteFetch(job);
}

void TSiteCrawl::TaskDone(std::int32_t Num, TURLTaskResult Result,
                          std::unique_ptr<TCrawlHarvest> Harvest) {
    if (Num > FListed) ++FChecked;
    if (Result == trNotHTML) ++FNotPages;
    if (FFull) return;
    FWaiting[Num] = std::move(Harvest);
    Intake();
}

void TSiteCrawl::SiteFetched(TSiteFetchResult &Result) {
    THost &host = HostOf(Result.Origin);
    host.Known = true;
    if (FOptions.IgnoreRobots) {
        host.Rules = TRobotsRules::allowAll();
    } else {
        host.Rules = Result.Aborted ? TRobotsRules::disallowAll() : Result.Rules;
        if (Result.Rule == rfDisallowAll && !Result.Aborted) host.Why = Result.Why;
        if (const std::optional<double> delay = host.Rules.crawlDelay()) {
            const double ms = std::ceil(*delay * 1000);
            const std::int32_t wanted =
                ms >= MaxCrawlDelayMs ? MaxCrawlDelayMs : std::int32_t(std::max(0.0, ms));
            if (wanted > FHost.RequestDelay()) {
                FHost.SetRequestDelay(wanted);
                FHost.CrawlLog(
                    FormatMsg(N_("%s: Crawl-delay %s с, задержка между запросами теперь %d мс"),
                              {Result.Origin + QStringLiteral("/robots.txt"),
                               QString::number(*delay), wanted}));
            }
        }
    }
    if (Result.Origin == FStartOrigin && !FSeedTaken && !FSeed) {
        FSeed = std::make_unique<TCrawlHarvest>();
        FSeed->Links << FStart << Result.SitemapPages;
        if (!host.Why.isEmpty())
            FFailure = FormatMsg(N_("Сайт не сканируется: %s недоступен (%s)"),
                                 {Result.Origin + QStringLiteral("/robots.txt"), host.Why});
    }
    Intake();
}

bool TSiteCrawl::Offer(const QString &Url, std::int32_t FoundOn) {
    if (FSeen.contains(Url)) return true;
    const QUrl url(Url);
    const QString origin = CrawlOrigin(url);
    const auto known = FHosts.constFind(origin);
    if (known == FHosts.cend()) {
        if (!FOptions.IgnoreRobots) {
            FetchHost(origin, false);
            return false;
        }
        HostOf(origin).Known = true;
    } else if (!known->Known) {
        return false;
    }
    FSeen.insert(Url);
    const THost &host = FHosts[origin];
    if (const TRobotsRule *rule = host.Rules.decidingRule(url); rule && !rule->Allow) {
        ++FDisallowed;
        if (!host.Why.isEmpty()) {
            FHost.CrawlLog(FormatMsg(N_("Не загружается, robots.txt сайта недоступен: %s"), {Url}));
        } else {
            const QString ruleText =
                QStringLiteral("Disallow: ") + QString::fromUtf8(rule->Pattern);
            FHost.CrawlLog(FormatMsg(N_("Запрещено robots.txt (строка %d: %s): %s"),
                                     {rule->Line, ruleText, Url}));
            if (Url == FStart && FFailure.isEmpty())
                FFailure = FormatMsg(N_("Сайт не сканируется: robots.txt запрещает %s (строка "
                                        "%d: %s)"),
                                     {Url, rule->Line, ruleText});
        }
        return true;
    }
    FHost.AddCrawlTask(Url, FoundOn);
    if (++FFound >= FLimit) {
        FFull = true;
        FRules->SetFull();
        FHost.CrawlLog(FormatMsg(
            N_("Достигнут предел сканирования: %d страниц, другие ссылки не берутся"), {FLimit}));
    }
    return true;
}

void TSiteCrawl::Intake() {
    while (!FFull && !FHost.CrawlAborted()) {
        if (!FCurrent) {
            if (!FSeedTaken) {
                if (!FSeed) break; // the start host's robots.txt is on its way
                FCurrent = std::move(FSeed);
                FCurrentNum = 0;
                FSeedTaken = true;
            } else {
                const auto next = FWaiting.find(FNextNum);
                if (next == FWaiting.end()) break;
                FCurrentNum = FNextNum++;
                FCurrent = std::move(next->second);
                FWaiting.erase(next);
                if (!FCurrent) continue;
                // A redirect inside the site: its target is checked already.
                if (!FCurrent->PageURL.isEmpty()) FSeen.insert(FCurrent->PageURL);
                FOffSite += FCurrent->OffSite;
                FNoFollow += FCurrent->NoFollow;
            }
            FCurrentPos = 0;
        }
        for (; FCurrentPos < FCurrent->Links.size() && !FFull; ++FCurrentPos)
            if (!Offer(FCurrent->Links[FCurrentPos], FCurrentNum)) {
                FHost.CrawlTasksAdded();
                return; // waits for a robots.txt
            }
        FCurrent.reset();
    }
    if (FFull) {
        FCurrent.reset();
        FWaiting.clear();
    }
    FHost.CrawlTasksAdded();
}

QString TSiteCrawl::Summary() const {
    return FormatMsg(N_("Сканирование: найдено страниц %d (предел %d), запрещено robots.txt %d, "
                        "не страниц %d, ссылок на другие сайты %d, ссылок nofollow %d"),
                     {FFound, FLimit, FDisallowed, FNotPages, FOffSite, FNoFollow});
}

} // namespace corvane
