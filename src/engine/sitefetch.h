// What a crawl fetches before the pages of a host: its robots.txt and, for
// the start host when asked, the pages its sitemaps list. Fetched on a thread
// of its own, paced like the pages, and handed to the run controller.
#pragma once

#include <cstdint>
#include <memory>

#include <QEvent>
#include <QString>
#include <QStringList>
#include <QThread>

#include "core/robots.h"
#include "engine/crawl.h"
#include "engine/worker.h"

namespace corvane {

inline constexpr QEvent::Type WM_SITE_FETCHED = QEvent::Type(QEvent::User + 4);

// Sitemap files read for one crawl at most (index files included).
inline constexpr int MaxSitemapFiles = 20;

struct TSiteFetchJob {
    QString Origin; // "https://example.com:8443"; robots.txt is Origin + "/robots.txt"
    QString UserAgent;
    bool Sitemaps = false; // read the sitemaps that its Sitemap: lines name
    std::int32_t MaxSitemapPages = 0;
    std::shared_ptr<const TCrawlRules> Rules; // the sitemap pages the crawl could take
};

struct TSiteFetchResult {
    QString Origin;
    TRobotsFetchRule Rule = rfAllowAll;
    // Why robots.txt was not read, for the messages: "HTTP 503", a transfer error.
    QString Why;
    TRobotsRules Rules;
    QStringList SitemapFiles; // the Sitemap: lines of robots.txt
    // Canonical addresses the crawl could take, each once, in the sitemaps' order.
    QStringList SitemapPages;
    bool Aborted = false;
};

// robots.txt of Origin as the rules for UserAgent's product token; the
// outcome's log lines go to Log. Aborting ends the transfer.
TSiteFetchResult FetchRobots(const QString &Origin, const QString &UserAgent,
                             const std::function<bool()> &Aborting,
                             const std::function<void(const QString &)> &Log);

class TSiteFetchEvent : public THandOverEvent {
public:
    explicit TSiteFetchEvent(TSiteFetchResult Result)
        : THandOverEvent(WM_SITE_FETCHED), FResult(std::move(Result)) {}
    ~TSiteFetchEvent() override { Receive(); }
    TSiteFetchResult &Result() {
        Receive();
        return FResult;
    }

private:
    TSiteFetchResult FResult;
};

// Fetches one job on its own thread, then posts a TSiteFetchEvent and a
// WM_RUN_NEXT to the receiver of Context, raises Context.Gone and deletes
// itself. Requests wait for their turn in Context.Pool.
class TSiteFetchThread : public QThread {
public:
    TSiteFetchThread(TSiteFetchJob Job, const TWorkerContext &Context);

protected:
    void run() override;

private:
    void ReadSitemaps(const QStringList &Named, TSiteFetchResult &Result);
    bool Aborting() const;
    void Log(const QString &Text);

    TSiteFetchJob FJob;
    TWorkerContext FContext;
};

} // namespace corvane
