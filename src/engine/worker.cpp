#include "engine/worker.h"

#include <algorithm>
#include <exception>

#include <QCoreApplication>
#include <QDateTime>

#include "core/htmltotext.h"
#include "core/i18n.h"
#include "core/shingles.h"
#include "core/shinglespans.h"
#include "engine/localpage.h"
#include "engine/pagesignals.h"
#include "net/pagetransfer.h"

namespace corvane {

void PostTaskDone(QObject *Receiver, TURLTaskInfo *Task, std::unique_ptr<TCrawlHarvest> Harvest) {
    auto *e = new TTaskDoneEvent(Task, std::move(Harvest));
    e->Publish();
    QCoreApplication::postEvent(Receiver, e);
}

void PostLogMsg(QObject *Receiver, const QString &Text) {
    auto *e = new TLogMsgEvent(new TMsgForLog(Text, NowDateTime()));
    e->Publish();
    QCoreApplication::postEvent(Receiver, e);
}

void PostRunNext(QObject *Receiver) {
    QCoreApplication::postEvent(Receiver, new QEvent(WM_RUN_NEXT));
}

std::optional<TDownloadFailure> DownloadFailure(std::int32_t Num, const TPageResponse &Response) {
    switch (Response.Outcome) {
    case TPageResponse::prSendError:
        return TDownloadFailure{
            trSendError, 0,
            FormatMsg(N_("URL %d: ОШИБКА отправки запроса: %s"), {Num, Response.Error})};
    case TPageResponse::prHTTPError:
        return TDownloadFailure{
            trHTTPError, std::int32_t(Response.Status),
            FormatMsg(N_("URL %d: ОШИБКА получения страницы, код ошибки HTML: %d"),
                      {Num, Response.Status})};
    case TPageResponse::prOk:
    case TPageResponse::prAborted:
        break;
    }
    return std::nullopt;
}

QString DefaultWorkerUserAgent() {
    return QString::fromLatin1(DefaultUserAgent);
}

std::optional<qint64> RetryWaitSeconds(const TPageResponse &Response) {
    if (Response.Outcome != TPageResponse::prHTTPError ||
        (Response.Status != 429 && Response.Status != 503))
        return std::nullopt;
    const std::optional<qint64> wait =
        RetryAfterSeconds(Response.Header("retry-after"), QDateTime::currentDateTimeUtc());
    if (!wait) return std::nullopt;
    return std::min(*wait, MaxRetryAfterSeconds);
}

bool SleepUnlessAborted(std::int64_t Ms, const std::function<bool()> &Aborting) {
    // Short naps, so an abort is seen within a few milliseconds.
    const std::int64_t until = SteadyMs() + Ms;
    for (std::int64_t left; !Aborting() && (left = until - SteadyMs()) > 0;)
        QThread::msleep(std::uint64_t(std::min<std::int64_t>(left, 20)));
    return !Aborting();
}

bool WaitForRequestTurn(TURLTaskInfoPool *Pool, const std::function<bool()> &Aborting) {
    if (!Pool) return !Aborting();
    // One locked reservation, then wait for its time.
    return SleepUnlessAborted(Pool->ReserveRequestTime() - SteadyMs(), Aborting);
}

TActiveTaskThread::TActiveTaskThread(TURLTaskInfo *aURLTaskInfo, const QString &sUserAgent,
                                     std::int32_t aAlgVer, bool aUseStopWords,
                                     const TWorkerContext &Context)
    : FURLTaskInfo(aURLTaskInfo), FUserAgent(sUserAgent), FAlgVer(aAlgVer),
      FIgnoreStopWords(aUseStopWords), FContext(Context) {
    FURLTaskInfo->InitResults();
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    // Counted before it starts, so the count never dips below the truth.
    ActiveTaskCount.fetch_add(1);
    start();
    // No thread (out of threads or memory): the task fails here, and the run
    // goes on as if the worker had ended.
    if (!isRunning() && !isFinished()) {
        FailTask(QStringLiteral("cannot start a worker thread"));
        Close();
        deleteLater();
    }
}

TActiveTaskThread::~TActiveTaskThread() {
    (void)FFinished.load(std::memory_order_acquire);
}

bool TActiveTaskThread::Aborting() const {
    return isInterruptionRequested() || AbortRequested.load(std::memory_order_relaxed);
}

void TActiveTaskThread::Log(const char *MsgId, std::initializer_list<TFormatArg> Args) {
    std::vector<TFormatArg> all{FURLTaskInfo->Num};
    all.insert(all.end(), Args.begin(), Args.end());
    PostLogMsg(FContext.Receiver, FormatMsg(MsgId, all));
}

void TActiveTaskThread::run() {
    TStep step = stEnd;
    try {
        step = Body();
    } catch (const std::exception &e) {
        // Whatever went wrong outside the steps that record their own
        // outcome still ends as a failed task and reaches the closing steps.
        FailTask(QString::fromUtf8(e.what()));
    } catch (...) {
        FailTask(QStringLiteral("unknown error"));
    }
    if (step == stAbort) {
        try {
            Log(N_("URL %d: задача прервана"));
        } catch (...) {
        }
        TURLTaskResults &r = *FURLTaskInfo->TaskResults;
        r.TaskResult = trAborted;
        r.ErrorCode = 0;
    }
    Close();
}

void TActiveTaskThread::FailTask(const QString &Why) {
    TURLTaskResults &r = *FURLTaskInfo->TaskResults;
    r.TaskResult = trSendError;
    r.ErrorCode = 0;
    try {
        Log(N_("URL %d: ОШИБКА отправки запроса: %s"), {Why});
    } catch (...) {
    }
}

void TActiveTaskThread::Close() {
    // The receiver waits for Gone before it goes away.
    const auto gone = FContext.Gone;
    QObject *receiver = FContext.Receiver;
    ActiveTaskCount.fetch_sub(1);
    PostTaskDone(receiver, FURLTaskInfo.release(), std::move(FHarvest));
    PostRunNext(receiver);
    FFinished.store(true, std::memory_order_release);
    if (gone) gone->fetch_add(1);
}

TActiveTaskThread::TStep TActiveTaskThread::Body() {
    Log(N_("URL %d: задача начата"));
    if (Aborting()) return stAbort;
    QByteArray page;
    const bool local = FURLTaskInfo->URL.left(7).toUpper() == QStringLiteral("FILE://");
    const TStep got = local ? CheckLocalFile(page) : Download(page);
    if (got == stAbort) return stAbort;
    if (FURLTaskInfo->TaskResults->TaskResult != trUndefined) return stEnd; // failed already
    if (FContext.Crawl && !local) {
        ReadCrawledPage(page);
        if (FURLTaskInfo->TaskResults->TaskResult != trUndefined) return stEnd; // no page
    } else {
        FURLTaskInfo->TaskResults->Signals = ReadPageSignals(
            page, FPageUrl.isEmpty() ? FURLTaskInfo->URL : FPageUrl, FLinkHeader, FRobotsHeader);
    }
    return Extract(page);
}

void TActiveTaskThread::ReadCrawledPage(const QByteArray &Page) {
    TURLTaskResults &r = *FURLTaskInfo->TaskResults;
    if (!isPageContentType(FContentType)) {
        // A PDF or an image found by a link is no page: marked, never compared.
        r.TaskResult = trNotHTML;
        r.ErrorCode = 200;
        Log(N_("URL %d: не страница (Content-Type: %s), в сравнении не участвует"),
            {QString::fromLatin1(FContentType)});
        return;
    }
    const QString pageUrl = FPageUrl.isEmpty() ? FURLTaskInfo->URL : FPageUrl;
    const TPageLinks links = ReadPageLinks(Page);
    r.Signals = ReadPageSignals(links, pageUrl, FLinkHeader, FRobotsHeader);
    if (FContext.Crawl->Full()) return;
    FHarvest = std::make_unique<TCrawlHarvest>(HarvestLinks(links, pageUrl, *FContext.Crawl));
    // A page of the site that a redirect took elsewhere (a listed page of
    // another site gives no links either, without a word).
    if (FHarvest->PageURL.isEmpty() && FContext.Crawl->Scope().contains(QUrl(FURLTaskInfo->URL)))
        Log(N_("URL %d: переадресация на другой сайт (%s), ссылки этой страницы не берутся"),
            {pageUrl});
}

TActiveTaskThread::TStep TActiveTaskThread::CheckLocalFile(QByteArray &Page) {
    TURLTaskResults &r = *FURLTaskInfo->TaskResults;
    TLocalPage got = ReadLocalPage(FURLTaskInfo->URL.mid(7), [this] { return Aborting(); });
    switch (got.Status) {
    case TLocalPage::lpOk:
        Page = std::move(got.Page);
        return stEnd;
    case TLocalPage::lpMissing:
        r.TaskResult = trHTTPError;
        r.ErrorCode = 404;
        return stEnd;
    case TLocalPage::lpAborted:
        return stAbort;
    case TLocalPage::lpError:
        break;
    }
    r.TaskResult = trSendError;
    Log(N_("URL %d: ОШИБКА отправки запроса: %s"), {got.Error});
    return stEnd;
}

TActiveTaskThread::TStep TActiveTaskThread::Download(QByteArray &Page) {
    TURLTaskResults &r = *FURLTaskInfo->TaskResults;
    const auto aborting = [this] { return Aborting(); };
    TPageTransfer transfer({FURLTaskInfo->URL, FUserAgent, aborting});
    TURLTaskInfoPool *pool = FContext.Pool;
    TPageResponse response;
    // A server that is busy and says for how long gets one more try after that.
    for (int attempt = 0;; ++attempt) {
        if (!WaitForRequestTurn(pool, aborting)) return stAbort;
        Log(N_("URL %d: получение страницы"));
        if (pool) pool->RegisterRequestStart();
        if (attempt == 0) PostRunNext(FContext.Receiver);
        response = transfer.Perform();
        if (response.Outcome == TPageResponse::prAborted) return stAbort;
        const std::optional<qint64> wait =
            attempt == 0 ? RetryWaitSeconds(response) : std::optional<qint64>();
        if (!wait) break;
        Log(N_("URL %d: сервер ответил %d и просит подождать, повтор через %d сек."),
            {std::int64_t(response.Status), *wait});
        if (!SleepUnlessAborted(*wait * 1000, aborting)) return stAbort;
    }
    if (const std::optional<TDownloadFailure> failed =
            DownloadFailure(FURLTaskInfo->Num, response)) {
        PostLogMsg(FContext.Receiver, failed->LogLine);
        r.TaskResult = failed->Result;
        r.ErrorCode = failed->ErrorCode;
        return stEnd;
    }
    Log(N_("URL %d: страница загружена, идет анализ"));
    FPageUrl = response.EffectiveURL;
    FContentType = response.ContentType.toLatin1();
    FLinkHeader = response.Header("link");
    FRobotsHeader = response.Header("x-robots-tag");
    Page = std::move(response.Body);
    return stEnd;
}

TActiveTaskThread::TStep TActiveTaskThread::Extract(const QByteArray &Page) {
    TURLTaskResults &r = *FURLTaskInfo->TaskResults;
    TExtractResult res;
    try {
        res = FAlgVer == 2 ? ExtractSignificantText(Page)
                           : GetPlainTextFromService(Page, FContext.Endpoints,
                                                     [this] { return Aborting(); });
    } catch (const std::exception &e) {
        res.Code = -1;
        res.Failure = QString::fromUtf8(e.what());
    } catch (...) {
        res.Code = -1;
    }
    // The service call gives up at once on an abort: that is no parse error.
    if (res.Code < 0 && Aborting()) return stAbort;
    if (res.Code < 0) {
        if (res.Failure.isEmpty())
            Log(N_("URL %d: ОШИБКА анализа страницы: %d"), {res.Code});
        else
            Log(N_("URL %d: ОШИБКА анализа страницы: %d (%s)"), {res.Code, res.Failure});
        r.TaskResult = trParseError;
        r.ErrorCode = res.Code;
        return stEnd;
    }
    QString text = res.Text;
    NormalizeText(text);
    r.HashTable =
        BuildShingles(text, {}, ShingleLength.load(std::memory_order_relaxed), FIgnoreStopWords);
    r.Signals.WordCount = CountShingleWords(text);
    r.ExtractedText = text;
    r.ErrorCode = 0;
    r.TaskResult = trOk;
    Log(N_("URL %d: анализ завершен"));
    return stEnd;
}

} // namespace corvane
