// The checking engine's data: tasks, their results and similarities, the task
// list, log lines on their way to the controller, the engine-wide state, the
// task pool with its request clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <QList>
#include <QString>
#include <QStringList>

#include "core/compacttext.h"
#include "core/format.h"
#include "core/shingles.h"
#include "engine/pagesignals.h"

namespace corvane {

class TSimilarityMatrix;
class TURLTaskInfoPool;

// The program's web site, as named in the default user agent and the report.
inline constexpr const char *CorvaneWebSite = "https://www.corvane.example/";
// User-agent entry 0, "Corvane".
inline constexpr const char *CorvaneUserAgent = "Corvane/2.1; +https://www.corvane.example/";

// Date-time: days since 1899-12-30, the fraction being the time of day (local time).
using TDateTime = double;

TDateTime NowDateTime();
// Whole milliseconds since 1899-12-30 and back.
std::int64_t DateTimeToMs(TDateTime DT);
TDateTime MsToDateTime(std::int64_t Ms);
TDateTime IncMilliSecond(TDateTime DT, std::int64_t Ms);

enum TURLTaskResult : std::uint8_t {
    trUndefined = 0,
    trOk = 1,
    trAborted = 2,
    trSendError = 3,
    trParseError = 4,
    trUnknownResponse = 5, // reserved
    trNotHTML = 6,         // reserved
    trHTTPError = 7,
};

// "trOk" and the like.
const char *TaskResultName(TURLTaskResult R);

struct TURLSimilRec {
    std::int32_t Num = 0;
    double Similarity = 0;
};

// The similarities of one task to every task of the list, entry j describing
// the task at list position j. The values live once per computation in a
// shared matrix of common-hash counts and are given on demand, so ten
// thousand tasks do not need ten thousand arrays of ten thousand records.
class TURLSimilArray {
public:
    TURLSimilArray() = default;
    TURLSimilArray(std::shared_ptr<const TSimilarityMatrix> Matrix, std::int32_t Row);

    std::int32_t Count() const;
    bool IsEmpty() const { return Count() == 0; }
    TURLSimilRec Item(std::int32_t Index) const;
    TURLSimilRec operator[](std::int32_t Index) const { return Item(Index); }
    // Every entry at once (cheaper than Count() calls of Item).
    std::vector<TURLSimilRec> ToVector() const;
    void Clear();
    const std::shared_ptr<const TSimilarityMatrix> &Matrix() const { return FMatrix; }

private:
    std::shared_ptr<const TSimilarityMatrix> FMatrix;
    std::int32_t FRow = -1;
};

class TURLTaskResults {
public:
    TURLTaskResults() = default;
    TURLTaskResults(const TURLTaskResults &) = delete;
    TURLTaskResults &operator=(const TURLTaskResults &) = delete;

    TURLTaskResult TaskResult = trUndefined;
    std::int32_t ErrorCode = 0;
    TCompactText ExtractedText;
    std::unique_ptr<TShingleHashTable> HashTable;
    TURLSimilArray SimilArray;
    double Uniqueness = -1.0;
    // What the page says about itself: canonical link, noindex, word count.
    TPageSignals Signals;
    // The site analysis of the check: the page's duplicate group (0: none),
    // the task number of its group's representative (0: none), whether the
    // group is handled by canonical links or noindex, and the percentage of
    // its shingles that are the site's template (-1: not analysed).
    std::int32_t Group = 0;
    std::int32_t Representative = 0;
    bool GroupHandled = true;
    double TemplateShare = -1;

    double GetSimilarity(std::int32_t aNum) const;
    // The other pages with a similarity above 0, the most similar first (ties:
    // the lower number); at most Count of them (0: all).
    std::vector<TURLSimilRec> MostSimilar(std::int32_t OwnNum, std::size_t Count) const;
    QString ErrorText() const;
};

class TURLTaskInfo {
public:
    TURLTaskInfo(const QString &sURL, std::int32_t iNum) : URL(sURL), Num(iNum) {}
    // A copy with the URL and the number only, never the results.
    explicit TURLTaskInfo(const TURLTaskInfo &aFrom) : URL(aFrom.URL), Num(aFrom.Num) {}
    TURLTaskInfo &operator=(const TURLTaskInfo &) = delete;
    ~TURLTaskInfo() = default;

    QString URL;
    std::int32_t Num;
    std::unique_ptr<TURLTaskResults> TaskResults;
    // In a site crawl, the number of the page where the link to this one was
    // first seen; 0 for the start page, a sitemap's pages and tasks that the
    // crawl did not find.
    std::int32_t FoundOn = 0;

    void InitResults() { TaskResults = std::make_unique<TURLTaskResults>(); }
    void FreeResults() { TaskResults.reset(); }
    QString UniquenessText() const;
    double UniquenessValue() const;
};

// URL comparison of the duplicate test: a-z and A-Z alike, everything else by code.
bool SameURL(const QString &A, const QString &B);
// A key such that two URLs are SameURL exactly when their keys are equal.
QString URLKey(const QString &URL);

// A plain list of task references; whoever clears it frees the tasks.
class TURLTaskInfoList : public QList<TURLTaskInfo *> {
public:
    bool URLExists(const QString &sURL) const;
    TURLTaskInfo *GetByNum(std::int32_t aNum) const;
    void FreeResults();
};

class TMsgForLog {
public:
    TMsgForLog(const QString &Text, TDateTime Time) : MsgText(Text), MsgTime(Time) {}
    QString MsgText;
    TDateTime MsgTime;
};

// Engine-wide state.
extern TURLTaskInfoList *TaskList;
extern TURLTaskInfoPool *TaskPool;
extern std::atomic<std::int32_t> ActiveTaskCount;
extern std::atomic<bool> AbortRequested;
extern std::atomic<std::int32_t> ShingleLength;

// Frees every task and empties the list; quiet when freeing throws.
void FreeObjects(TURLTaskInfoList *List);
void FreeListWithObjects(TURLTaskInfoList *&List);
bool StrInArray(const QString &S, const QStringList &Array);

// A task list that owns its tasks: they go with it.
class TOwnedTaskList : public TURLTaskInfoList {
public:
    TOwnedTaskList() = default;
    ~TOwnedTaskList() { FreeObjects(this); }
    TOwnedTaskList(const TOwnedTaskList &) = delete;
    TOwnedTaskList &operator=(const TOwnedTaskList &) = delete;
};

// Milliseconds on the monotonic clock: request pacing is measured on it, so
// a step of the wall clock (daylight saving, an NTP correction) never makes
// a request wait for an hour or start early.
std::int64_t SteadyMs();

// The queue of tasks a run still has to start (last in, first out) and the
// clock that spaces the workers' requests. Every operation takes the one lock.
class TURLTaskInfoPool {
public:
    explicit TURLTaskInfoPool(std::int32_t aDelay);
    ~TURLTaskInfoPool();
    TURLTaskInfoPool(const TURLTaskInfoPool &) = delete;
    TURLTaskInfoPool &operator=(const TURLTaskInfoPool &) = delete;

    // Takes ownership; an item already present is ignored.
    void Add(TURLTaskInfo *Task);
    // Takes ownership of a new item that is picked after every item already
    // here (a crawl's pages are checked in the order they were found).
    void AddLast(TURLTaskInfo *Task);
    bool PickTask(TURLTaskInfo *&TaskInfo);
    void ClearTasks();
    std::int32_t Count() const;

    // The next start time as a local date-time, handed out once until the
    // next registration (false, aDT unchanged, while it is taken).
    bool GetNextRequestTime(TDateTime &aDT);
    // The next request may start a delay after aDT (0: now).
    void RegisterLastRequest(TDateTime aDT);

    // Reserve and register as one step: returns the monotonic time (SteadyMs)
    // at which this request may start, never earlier than now, and moves the
    // clock a delay past it, so two workers reserving together still get
    // times a delay apart.
    std::int64_t ReserveRequestTime();
    // A request started now: the next may start a delay later, but never
    // earlier than a time already handed out allows.
    void RegisterRequestStart();

    std::int32_t RequestDelay() const;
    // A new delay from the next request start on (a site's Crawl-delay).
    void SetRequestDelay(std::int32_t aDelay);

private:
    // A plain re-entrant pthread lock (visible to ThreadSanitizer).
    mutable std::recursive_mutex FLock;
    QList<TURLTaskInfo *> FList;
    std::int64_t FNextRequestCanRunAt; // SteadyMs
    std::int64_t FWallMinusSteady;     // for the date-time interface
    bool FCanRunNextRequest = true;
    std::int32_t FRequestDelay;
};

} // namespace corvane
