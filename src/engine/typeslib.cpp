#include "engine/typeslib.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

#include <QDateTime>
#include <QLocale>

#include "engine/uniqueness.h"

namespace corvane {

TURLTaskInfoList *TaskList = nullptr;
TURLTaskInfoPool *TaskPool = nullptr;
std::atomic<std::int32_t> ActiveTaskCount{0};
std::atomic<bool> AbortRequested{false};
std::atomic<std::int32_t> ShingleLength{6};

namespace {

constexpr std::int64_t MsPerDay = 86400000;
const QDate DateTimeEpoch(1899, 12, 30);

} // namespace

TDateTime NowDateTime() {
    // The C library's time-zone state is shared by every thread; one lock
    // keeps its first-use set-up from racing (and says so to ThreadSanitizer).
    static std::mutex zoneLock;
    const std::lock_guard lock(zoneLock);
    const QDateTime now = QDateTime::currentDateTime();
    const std::int64_t days = DateTimeEpoch.daysTo(now.date());
    const std::int64_t ms = now.time().msecsSinceStartOfDay();
    return MsToDateTime(days * MsPerDay + ms);
}

std::int64_t DateTimeToMs(TDateTime DT) {
    return std::llround(DT * double(MsPerDay));
}

TDateTime MsToDateTime(std::int64_t Ms) {
    // Whole days plus the fraction, as a day number and a time of day.
    const std::int64_t days = Ms >= 0 ? Ms / MsPerDay : -((-Ms + MsPerDay - 1) / MsPerDay);
    const std::int64_t rest = Ms - days * MsPerDay;
    return double(days) + double(rest) / double(MsPerDay);
}

TDateTime IncMilliSecond(TDateTime DT, std::int64_t Ms) {
    return MsToDateTime(DateTimeToMs(DT) + Ms);
}

const char *TaskResultName(TURLTaskResult R) {
    switch (R) {
    case trUndefined:
        return "trUndefined";
    case trOk:
        return "trOk";
    case trAborted:
        return "trAborted";
    case trSendError:
        return "trSendError";
    case trParseError:
        return "trParseError";
    case trUnknownResponse:
        return "trUnknownResponse";
    case trNotHTML:
        return "trNotHTML";
    case trHTTPError:
        return "trHTTPError";
    }
    return "trUndefined";
}

// ---- similarity arrays ----

TURLSimilArray::TURLSimilArray(std::shared_ptr<const TSimilarityMatrix> Matrix, std::int32_t Row)
    : FMatrix(std::move(Matrix)), FRow(Row) {}

std::int32_t TURLSimilArray::Count() const {
    return FMatrix ? FMatrix->Size() : 0;
}

TURLSimilRec TURLSimilArray::Item(std::int32_t Index) const {
    if (!FMatrix || Index < 0 || Index >= FMatrix->Size()) return {};
    return FMatrix->Entry(FRow, Index);
}

std::vector<TURLSimilRec> TURLSimilArray::ToVector() const {
    if (!FMatrix) return {};
    return FMatrix->Row(FRow);
}

void TURLSimilArray::Clear() {
    FMatrix.reset();
    FRow = -1;
}

// ---- results and tasks ----

double TURLTaskResults::GetSimilarity(std::int32_t aNum) const {
    const std::int32_t n = SimilArray.Count();
    for (std::int32_t i = 0; i < n; ++i) {
        const TURLSimilRec rec = SimilArray.Item(i);
        if (rec.Num == aNum) return rec.Similarity;
    }
    return 0;
}

std::vector<TURLSimilRec> TURLTaskResults::MostSimilar(std::int32_t OwnNum,
                                                       std::size_t Count) const {
    std::vector<TURLSimilRec> similar;
    for (const TURLSimilRec &s : SimilArray.ToVector())
        if (s.Num != 0 && s.Num != OwnNum && s.Similarity > 0) similar.push_back(s);
    const auto closer = [](const TURLSimilRec &a, const TURLSimilRec &b) {
        return a.Similarity != b.Similarity ? a.Similarity > b.Similarity : a.Num < b.Num;
    };
    const std::size_t shown = Count == 0 ? similar.size() : std::min(similar.size(), Count);
    std::partial_sort(similar.begin(), similar.begin() + std::ptrdiff_t(shown), similar.end(),
                      closer);
    similar.resize(shown);
    return similar;
}

QString TURLTaskResults::ErrorText() const {
    switch (TaskResult) {
    case trSendError:
        return QStringLiteral("SEND ERROR");
    case trUnknownResponse:
        return QStringLiteral("UNKNOWN RESPONSE");
    case trNotHTML:
        return QStringLiteral("NOT HTML");
    default:
        break;
    }
    if (ErrorCode == 0) return QStringLiteral("200");
    if (ErrorCode < 0) return QStringLiteral("0");
    return QString::number(ErrorCode);
}

QString TURLTaskInfo::UniquenessText() const {
    if (!TaskResults || TaskResults->ErrorCode != 0 || TaskResults->Uniqueness < 0) return {};
    return PercentText(TaskResults->Uniqueness);
}

double TURLTaskInfo::UniquenessValue() const {
    if (!TaskResults || TaskResults->ErrorCode != 0 || TaskResults->Uniqueness < 0) return 0;
    return TaskResults->Uniqueness;
}

// ---- the list ----

QString URLKey(const QString &URL) {
    QString key = URL;
    for (QChar &c : key)
        if (c.unicode() >= u'a' && c.unicode() <= u'z') c = QChar(c.unicode() - u'a' + u'A');
    return key;
}

bool SameURL(const QString &A, const QString &B) {
    if (A.size() != B.size()) return false;
    for (qsizetype i = 0; i < A.size(); ++i) {
        char16_t a = A[i].unicode(), b = B[i].unicode();
        if (a >= u'a' && a <= u'z') a = char16_t(a - u'a' + u'A');
        if (b >= u'a' && b <= u'z') b = char16_t(b - u'a' + u'A');
        if (a != b) return false;
    }
    return true;
}

bool TURLTaskInfoList::URLExists(const QString &sURL) const {
    for (const TURLTaskInfo *t : *this)
        if (t && SameURL(t->URL, sURL)) return true;
    return false;
}

TURLTaskInfo *TURLTaskInfoList::GetByNum(std::int32_t aNum) const {
    for (TURLTaskInfo *t : *this)
        if (t && t->Num == aNum) return t;
    return nullptr;
}

void TURLTaskInfoList::FreeResults() {
    for (TURLTaskInfo *t : *this)
        if (t) t->FreeResults();
}

void FreeObjects(TURLTaskInfoList *List) {
    if (!List || List->isEmpty()) return;
    try {
        for (TURLTaskInfo *&t : *List) {
            delete t;
            t = nullptr;
        }
    } catch (...) {
    }
    List->clear();
}

void FreeListWithObjects(TURLTaskInfoList *&List) {
    if (!List) return;
    FreeObjects(List);
    delete List;
    List = nullptr;
}

bool StrInArray(const QString &S, const QStringList &Array) {
    return Array.contains(S);
}

// ---- the pool ----

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TURLTaskInfoPool::TURLTaskInfoPool(std::int32_t aDelay)
    : FNextRequestCanRunAt(SteadyMs()),
      FWallMinusSteady(DateTimeToMs(NowDateTime()) - FNextRequestCanRunAt), FRequestDelay(aDelay) {}

TURLTaskInfoPool::~TURLTaskInfoPool() {
    ClearTasks();
}

void TURLTaskInfoPool::Add(TURLTaskInfo *Task) {
    const std::lock_guard lock(FLock);
    if (!Task || FList.contains(Task)) return;
    FList.append(Task);
}

void TURLTaskInfoPool::AddLast(TURLTaskInfo *Task) {
    const std::lock_guard lock(FLock);
    if (Task) FList.prepend(Task);
}

bool TURLTaskInfoPool::PickTask(TURLTaskInfo *&TaskInfo) {
    const std::lock_guard lock(FLock);
    TaskInfo = nullptr;
    if (FList.isEmpty()) return false;
    TaskInfo = FList.takeLast();
    return true;
}

void TURLTaskInfoPool::ClearTasks() {
    const std::lock_guard lock(FLock);
    for (TURLTaskInfo *t : FList) delete t;
    FList.clear();
}

std::int32_t TURLTaskInfoPool::Count() const {
    const std::lock_guard lock(FLock);
    return std::int32_t(FList.size());
}

// The date-time interface maps the monotonic clock onto the wall clock as
// they stood when the pool was made, so a time handed in comes back exactly.
bool TURLTaskInfoPool::GetNextRequestTime(TDateTime &aDT) {
    const std::lock_guard lock(FLock);
    if (!FCanRunNextRequest) return false;
    aDT = MsToDateTime(FNextRequestCanRunAt + FWallMinusSteady);
    FCanRunNextRequest = false;
    return true;
}

void TURLTaskInfoPool::RegisterLastRequest(TDateTime aDT) {
    const std::lock_guard lock(FLock);
    const std::int64_t at = DateTimeToMs(aDT == 0 ? NowDateTime() : aDT) - FWallMinusSteady;
    FNextRequestCanRunAt = at + FRequestDelay;
    FCanRunNextRequest = true;
}

std::int32_t TURLTaskInfoPool::RequestDelay() const {
    const std::lock_guard lock(FLock);
    return FRequestDelay;
}

void TURLTaskInfoPool::SetRequestDelay(std::int32_t aDelay) {
    const std::lock_guard lock(FLock);
    // The time already handed out moves with the delay, so the next request
    // keeps the new distance from the last one.
    FNextRequestCanRunAt += aDelay - FRequestDelay;
    FRequestDelay = aDelay;
}

std::int64_t TURLTaskInfoPool::ReserveRequestTime() {
    const std::lock_guard lock(FLock);
    const std::int64_t t = std::max(FNextRequestCanRunAt, SteadyMs());
    FNextRequestCanRunAt = t + FRequestDelay;
    FCanRunNextRequest = true;
    return t;
}

void TURLTaskInfoPool::RegisterRequestStart() {
    const std::lock_guard lock(FLock);
    FNextRequestCanRunAt = std::max(FNextRequestCanRunAt, SteadyMs() + FRequestDelay);
    FCanRunNextRequest = true;
}

} // namespace corvane
