#include "engine/sitefetch.h"

#include <exception>

#include <QCoreApplication>
#include <QSet>
#include <QUrl>

#include "core/format.h"
#include "core/i18n.h"
#include "engine/urlimport.h"
#include "net/pagetransfer.h"

namespace corvane {

TSiteFetchResult FetchRobots(const QString &Origin, const QString &UserAgent,
                             const std::function<bool()> &Aborting,
                             const std::function<void(const QString &)> &Log) {
    TSiteFetchResult out;
    out.Origin = Origin;
    const QString url = Origin + QStringLiteral("/robots.txt");
    TPageRequest request{url, UserAgent, Aborting};
    // The head of a longer file is read (RFC 9309 2.5: at least 500 KiB).
    request.Limits.MaxBodyBytes = MaxRobotsTxtBytes;
    request.Limits.CutLongBody = true;
    const TPageResponse response = FetchPage(request);
    if (response.Outcome == TPageResponse::prAborted) {
        out.Aborted = true;
        return out;
    }
    const long status = response.Outcome == TPageResponse::prSendError ? 0 : response.Status;
    out.Rule = robotsFetchRule(int(status));
    switch (out.Rule) {
    case rfUseBody: {
        // A file cut at the limit ends at its last whole line: half a rule
        // would forbid more than the whole one.
        const QByteArray body = response.Truncated
                                    ? response.Body.left(response.Body.lastIndexOf('\n') + 1)
                                    : response.Body;
        const TRobotsTxt txt = TRobotsTxt::parse(body);
        const QString token =
            robotsProductToken(UserAgent.isEmpty() ? DefaultWorkerUserAgent() : UserAgent);
        out.Rules = txt.rulesFor(token);
        out.SitemapFiles = txt.sitemaps();
        Log(FormatMsg(N_("%s: правил для «%s»: %d"),
                      {url, token.isEmpty() ? QStringLiteral("*") : token,
                       std::int64_t(out.Rules.rules().size())}));
        if (response.Truncated || txt.stats().Truncated)
            Log(FormatMsg(N_("%s длиннее %d КиБ: прочитано только начало"),
                          {url, std::int64_t(MaxRobotsTxtBytes / 1024)}));
        break;
    }
    case rfAllowAll:
        out.Rules = TRobotsRules::allowAll();
        Log(FormatMsg(N_("%s: код %d, ограничений нет"), {url, std::int64_t(status)}));
        break;
    case rfDisallowAll:
        out.Rules = TRobotsRules::disallowAll();
        out.Why = status ? QStringLiteral("HTTP %1").arg(status) : response.Error;
        Log(FormatMsg(N_("%s недоступен (%s): страницы этого сайта не загружаются"),
                      {url, out.Why}));
        break;
    }
    return out;
}

TSiteFetchThread::TSiteFetchThread(TSiteFetchJob Job, const TWorkerContext &Context)
    : FJob(std::move(Job)), FContext(Context) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    start();
    // No thread: the host counts as unreachable, and the run goes on.
    if (!isRunning() && !isFinished()) {
        TSiteFetchResult result;
        result.Origin = FJob.Origin;
        result.Rule = rfDisallowAll;
        result.Rules = TRobotsRules::disallowAll();
        result.Why = QStringLiteral("cannot start a thread");
        auto *e = new TSiteFetchEvent(std::move(result));
        e->Publish();
        QCoreApplication::postEvent(FContext.Receiver, e);
        PostRunNext(FContext.Receiver);
        if (FContext.Gone) FContext.Gone->fetch_add(1);
        deleteLater();
    }
}

bool TSiteFetchThread::Aborting() const {
    return isInterruptionRequested() || AbortRequested.load(std::memory_order_relaxed);
}

void TSiteFetchThread::Log(const QString &Text) {
    PostLogMsg(FContext.Receiver, Text);
}

void TSiteFetchThread::run() {
    const auto aborting = [this] { return Aborting(); };
    TSiteFetchResult result;
    try {
        if (!WaitForRequestTurn(FContext.Pool, aborting)) {
            result.Aborted = true;
        } else {
            if (FContext.Pool) FContext.Pool->RegisterRequestStart();
            result = FetchRobots(FJob.Origin, FJob.UserAgent, aborting,
                                 [this](const QString &Text) { Log(Text); });
            if (FJob.Sitemaps && !result.Aborted && !result.SitemapFiles.isEmpty())
                ReadSitemaps(result.SitemapFiles, result);
        }
    } catch (const std::exception &e) {
        result.Rule = rfDisallowAll;
        result.Rules = TRobotsRules::disallowAll();
        result.Why = QString::fromUtf8(e.what());
    }
    result.Origin = FJob.Origin;
    // The receiver waits for Gone before it goes away.
    const auto gone = FContext.Gone;
    QObject *receiver = FContext.Receiver;
    auto *e = new TSiteFetchEvent(std::move(result));
    e->Publish();
    QCoreApplication::postEvent(receiver, e);
    PostRunNext(receiver);
    if (gone) gone->fetch_add(1);
}

void TSiteFetchThread::ReadSitemaps(const QStringList &Named, TSiteFetchResult &Result) {
    const auto aborting = [this] { return Aborting(); };
    QStringList queue = Named;
    QSet<QString> files, pages;
    for (int read = 0; !queue.isEmpty() && read < MaxSitemapFiles;) {
        const QString file = queue.takeFirst().trimmed();
        if (files.contains(file)) continue;
        files.insert(file);
        ++read;
        if (!WaitForRequestTurn(FContext.Pool, aborting)) {
            Result.Aborted = true;
            return;
        }
        if (FContext.Pool) FContext.Pool->RegisterRequestStart();
        const TPageResponse response = FetchPage({file, FJob.UserAgent, aborting});
        if (response.Outcome == TPageResponse::prAborted) {
            Result.Aborted = true;
            return;
        }
        if (response.Outcome != TPageResponse::prOk) {
            const QString why = response.Outcome == TPageResponse::prHTTPError
                                    ? QStringLiteral("HTTP %1").arg(response.Status)
                                    : response.Error;
            Log(FormatMsg(N_("Sitemap %s: ОШИБКА %s"), {file, why}));
            continue;
        }
        QString error;
        bool index = false;
        std::int64_t taken = 0;
        QStringList children;
        const TImportStatus status = ReadSitemap(
            response.Body,
            [&](const QString &Loc) {
                if (index) {
                    children << Loc;
                    return true;
                }
                const TCrawlLink link =
                    canonicalCrawlUrl(QUrl(Loc.trimmed()), FJob.Rules->Filter());
                if (link.Verdict == lvOk && !pages.contains(link.Url) &&
                    CrawlTakes(link.Url, *FJob.Rules)) {
                    pages.insert(link.Url);
                    Result.SitemapPages << link.Url;
                    ++taken;
                }
                return Result.SitemapPages.size() < FJob.MaxSitemapPages;
            },
            error, nullptr, &index);
        if (status == isParseError)
            Log(FormatMsg(N_("Sitemap %s: ОШИБКА %s"), {file, error}));
        else if (status == isNoUrlset)
            Log(FormatMsg(N_("Sitemap %s: ОШИБКА %s"), {file, _("нет тега \"urlset\"")}));
        else if (index)
            Log(FormatMsg(N_("Sitemap %s: индекс других файлов: %d"),
                          {file, std::int64_t(children.size())}));
        else
            Log(FormatMsg(N_("Sitemap %s: страниц этого сайта: %d"), {file, taken}));
        queue += children;
        if (Result.SitemapPages.size() >= FJob.MaxSitemapPages) return;
    }
}

} // namespace corvane
