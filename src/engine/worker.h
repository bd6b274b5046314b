// The worker thread that checks one task, and the three notifications it
// posts to the run controller: task done, log line, run next.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QEvent>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include "core/format.h"
#include "core/plaintextclient.h"
#include "engine/crawl.h"
#include "engine/typeslib.h"
#include "net/pagetransfer.h"

namespace corvane {

inline constexpr QEvent::Type WM_TASK_DONE = QEvent::Type(QEvent::User + 1);
inline constexpr QEvent::Type WM_LOG_MSG = QEvent::Type(QEvent::User + 2);
inline constexpr QEvent::Type WM_RUN_NEXT = QEvent::Type(QEvent::User + 3);

// An event whose contents pass from the posting thread to the receiver's.
// Qt's queue orders the hand-over; the release/acquire pair on FPublished
// states it in a way ThreadSanitizer can see (Qt's own locks it cannot).
class THandOverEvent : public QEvent {
public:
    using QEvent::QEvent;
    void Publish() { FPublished.store(true, std::memory_order_release); }

protected:
    void Receive() const { (void)FPublished.load(std::memory_order_acquire); }

private:
    std::atomic<bool> FPublished{false};
};

// The checked task copy, and in a crawl the links of its page; the receiver
// takes them (the event frees them otherwise).
class TTaskDoneEvent : public THandOverEvent {
public:
    explicit TTaskDoneEvent(TURLTaskInfo *Task, std::unique_ptr<TCrawlHarvest> Harvest = {})
        : THandOverEvent(WM_TASK_DONE), FTask(Task), FHarvest(std::move(Harvest)) {}
    ~TTaskDoneEvent() override { Receive(); }
    TURLTaskInfo *Take() {
        Receive();
        return FTask.release();
    }
    std::unique_ptr<TCrawlHarvest> TakeHarvest() {
        Receive();
        return std::move(FHarvest);
    }

private:
    std::unique_ptr<TURLTaskInfo> FTask;
    std::unique_ptr<TCrawlHarvest> FHarvest;
};

class TLogMsgEvent : public THandOverEvent {
public:
    explicit TLogMsgEvent(TMsgForLog *Msg) : THandOverEvent(WM_LOG_MSG), FMsg(Msg) {}
    ~TLogMsgEvent() override { Receive(); }
    const TMsgForLog &Msg() const {
        Receive();
        return *FMsg;
    }

private:
    std::unique_ptr<TMsgForLog> FMsg;
};

void PostTaskDone(QObject *Receiver, TURLTaskInfo *Task,
                  std::unique_ptr<TCrawlHarvest> Harvest = {});
// A TMsgForLog with the text and the current time.
void PostLogMsg(QObject *Receiver, const QString &Text);
void PostRunNext(QObject *Receiver);

// What a failed page download records in its task, and its log line.
struct TDownloadFailure {
    TURLTaskResult Result;
    std::int32_t ErrorCode;
    QString LogLine;
};
// None for a page (status 200) or an aborted transfer.
std::optional<TDownloadFailure> DownloadFailure(std::int32_t Num, const TPageResponse &Response);

// The default user agent when the setting is empty.
QString DefaultWorkerUserAgent();

// The longest wait a Retry-After answer gets before the one more try.
inline constexpr qint64 MaxRetryAfterSeconds = 300;
// How long to wait before trying a page once more: a 429 or 503 answer with a
// Retry-After the client can read, capped at MaxRetryAfterSeconds.
std::optional<qint64> RetryWaitSeconds(const TPageResponse &Response);

// Sleeps Ms milliseconds in short naps; false as soon as Aborting holds.
bool SleepUnlessAborted(std::int64_t Ms, const std::function<bool()> &Aborting);
// The pacing of one request: reserves the next request time of the pool and
// waits for it; false when Aborting held meanwhile. No pool: no wait.
bool WaitForRequestTurn(TURLTaskInfoPool *Pool, const std::function<bool()> &Aborting);

// Everything a worker needs besides its task.
struct TWorkerContext {
    QObject *Receiver = nullptr;      // the run controller
    TURLTaskInfoPool *Pool = nullptr; // the run's pool (pacing clock)
    TPlainTextEndpoints Endpoints;    // for the plain-text service algorithm
    // Raised by the worker after its last notification is posted; shared so
    // that the controller can wait for it.
    std::shared_ptr<std::atomic<std::int32_t>> Gone;
    // A crawl's link rules: pages that are no HTML or text are not checked,
    // and each page's links go back with its task. None outside a crawl.
    std::shared_ptr<const TCrawlRules> Crawl;
};

// Checks one task copy on its own thread and deletes itself when done.
// ActiveTaskCount counts it from construction to its closing steps.
class TActiveTaskThread : public QThread {
public:
    TActiveTaskThread(TURLTaskInfo *aURLTaskInfo, const QString &sUserAgent, std::int32_t aAlgVer,
                      bool aUseStopWords, const TWorkerContext &Context);
    ~TActiveTaskThread() override;

protected:
    void run() override;

private:
    enum TStep { stEnd, stAbort };
    bool Aborting() const;
    TStep Body();
    TStep CheckLocalFile(QByteArray &Page);
    TStep Download(QByteArray &Page);
    // In a crawl: the page's signals and links, or the outcome of a response that is no page.
    void ReadCrawledPage(const QByteArray &Page);
    TStep Extract(const QByteArray &Page);
    // Records a failure outside the steps' own outcomes (trSendError, logged).
    void FailTask(const QString &Why);
    // The closing steps: count down, hand the task back, ask for the next.
    void Close();
    void Log(const char *MsgId, std::initializer_list<TFormatArg> Args = {});

    std::unique_ptr<TURLTaskInfo> FURLTaskInfo;
    QString FUserAgent;
    std::int32_t FAlgVer;
    bool FIgnoreStopWords;
    TWorkerContext FContext;
    // The downloaded page's address, its type and the headers of its signals.
    QString FPageUrl;
    QByteArray FContentType, FLinkHeader, FRobotsHeader;
    std::unique_ptr<TCrawlHarvest> FHarvest;
    std::atomic<bool> FFinished{false}; // the body's last write, seen by the destructor
};

} // namespace corvane
