// The frontier of a site crawl, on the run controller's thread: it takes the
// links of each checked page in the order of the page numbers, whatever order
// the workers finish in, so the numbering is the same in every run --
// breadth first, the links of page n numbered after those of every page
// before it. An address is new when its canonical string was not seen before
// (compared exactly: paths are case-sensitive); a new address on a host whose
// robots.txt is not known yet waits until it is, and robots.txt decides
// whether it becomes a task or is left out (logged once, counted).
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include "engine/crawl.h"
#include "engine/sitefetch.h"
#include "engine/typeslib.h"

namespace corvane {

// What the crawl asks of the run it belongs to.
class ICrawlHost {
public:
    virtual ~ICrawlHost() = default;
    // Appends a task for Url to the list and to the run (checked after every
    // task there is); FoundOn as in TURLTaskInfo.
    virtual void AddCrawlTask(const QString &Url, std::int32_t FoundOn) = 0;
    // The tasks added since the last call are complete (one call per intake).
    virtual void CrawlTasksAdded() = 0;
    virtual void CrawlLog(const QString &Text) = 0;
    virtual void StartSiteFetch(const TSiteFetchJob &Job) = 0;
    virtual std::int32_t RequestDelay() const = 0;
    virtual void SetRequestDelay(std::int32_t Ms) = 0;
    virtual bool CrawlAborted() const = 0;
};

struct TCrawlProgress {
    std::int32_t Found = 0;   // pages the crawl added
    std::int32_t Checked = 0; // of those, back from the workers
    std::int32_t Limit = 0;   // the most it may add
};

// The longest Crawl-delay obeyed, in ms: the delay setting's own maximum.
inline constexpr std::int32_t MaxCrawlDelayMs = 100000;

class TSiteCrawl {
public:
    // StartURL: canonical (CrawlStartURL). Limit: the most pages it may add.
    TSiteCrawl(const TCrawlOptions &Options, const QString &StartURL, std::int32_t Limit,
               const QString &UserAgent, ICrawlHost &Host);

    const std::shared_ptr<const TCrawlRules> &Rules() const { return FRules; }
    const QString &StartURL() const { return FStart; }

    // The run starts with Listed in it (kept from before, checked in this run
    // too): their addresses count as seen, their links are taken like any page's.
    void Begin(const TURLTaskInfoList &Listed);
    // A task of the run came back, in any outcome, with its page's links if any.
    void TaskDone(std::int32_t Num, TURLTaskResult Result, std::unique_ptr<TCrawlHarvest> Harvest);
    void SiteFetched(TSiteFetchResult &Result);

    TCrawlProgress Progress() const { return {FFound, FChecked, FLimit}; }
    // The crawl's closing log line.
    QString Summary() const;
    // Why nothing of the site could be crawled (translated); empty otherwise.
    const QString &Failure() const { return FFailure; }

private:
    struct THost {
        bool Known = false; // robots.txt read (or ignored)
        TRobotsRules Rules;
        QString Why; // why robots.txt could not be read
    };
    // Takes the waiting harvests in order until one waits for a robots.txt.
    void Intake();
    // False when Url must wait for its host's robots.txt.
    bool Offer(const QString &Url, std::int32_t FoundOn);
    THost &HostOf(const QString &Origin);
    void FetchHost(const QString &Origin, bool Sitemaps);

    TCrawlOptions FOptions;
    QString FStart, FStartOrigin, FUserAgent;
    std::shared_ptr<const TCrawlRules> FRules;
    ICrawlHost &FHost;
    QHash<QString, THost> FHosts;
    QSet<QString> FSeen;

    // The seed (the start page, then its sitemaps' pages) comes first, then
    // the harvest of each task by number.
    std::unique_ptr<TCrawlHarvest> FSeed;
    bool FSeedTaken = false;
    std::map<std::int32_t, std::unique_ptr<TCrawlHarvest>> FWaiting;
    std::int32_t FNextNum = 1;
    std::unique_ptr<TCrawlHarvest> FCurrent;
    std::int32_t FCurrentNum = 0;
    qsizetype FCurrentPos = 0;

    std::int32_t FLimit;
    std::int32_t FListed = 0; // tasks of the list before the crawl's
    std::int32_t FFound = 0, FChecked = 0;
    std::int32_t FDisallowed = 0, FNotPages = 0;
    std::int64_t FOffSite = 0, FNoFollow = 0;
    bool FFull = false;
    QString FFailure;
};

} // namespace corvane
