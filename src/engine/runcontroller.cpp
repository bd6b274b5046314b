#include "engine/runcontroller.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QThread>
#include <QUrl>

#include "core/i18n.h"
#include "engine/uniqueness.h"
#include "engine/urlimport.h"
#include "engine/worker.h"

namespace corvane {

TRunController::TRunController(TURLTaskInfoList &List, TRunObserver *Observer, QObject *Parent)
    : QObject(Parent), FList(List), FObserver(Observer ? Observer : &FNoObserver) {}

TRunController::~TRunController() {
    if (FRunning) {
        // Workers must never post to a controller that is gone: abort (which
        // cancels transfers) and wait until each has posted its last
        // notification; the pending ones are dropped with their task copies.
        FObserver = &FNoObserver;
        // The pages handed back so far stay in the store: the check can be
        // continued.
        if (FCheckId) FStore->Flush();
        AbortRequested = true;
        while (FGone->load() < FStarted) QThread::msleep(2);
        TaskPool = nullptr;
        AbortRequested = false;
    }
    QCoreApplication::removePostedEvents(this);
}

void TRunController::SetObserver(TRunObserver *Observer) {
    FObserver = Observer ? Observer : &FNoObserver;
}

QList<std::int32_t> TRunController::ErrorNums(const TURLTaskInfoList &List) {
    QList<std::int32_t> nums;
    for (const TURLTaskInfo *t : List)
        if (t && t->TaskResults && t->TaskResults->TaskResult != trOk) nums << t->Num;
    return nums;
}

void TRunController::SortByUniqueness(QList<TURLTaskInfo *> &Rows) {
    auto key = [](const TURLTaskInfo *t) {
        return std::trunc(t && t->TaskResults ? t->UniquenessValue() : 100.0);
    };
    std::stable_sort(Rows.begin(), Rows.end(),
                     [&](const TURLTaskInfo *a, const TURLTaskInfo *b) { return key(a) < key(b); });
}

void TRunController::SetStore(TCheckStore *Store, bool ReleaseTexts) {
    FStore = Store;
    FReleaseTexts = ReleaseTexts;
    FCheckId = 0;
}

QString TRunController::SettingsJson(const TRunSettings &Settings) {
    const QJsonObject o{
        {QStringLiteral("threads"), Settings.MaxThreads},
        {QStringLiteral("delay"), Settings.Delay},
        {QStringLiteral("shingleLength"), Settings.ShingleLength},
        {QStringLiteral("userAgent"), Settings.UserAgent},
        {QStringLiteral("alg"), Settings.AlgVer},
        {QStringLiteral("ignoreStopWords"), Settings.IgnoreStopWords},
        {QStringLiteral("duplicateThreshold"), Settings.Analysis.DuplicateThreshold},
        {QStringLiteral("templateShare"), Settings.Analysis.TemplatePercent},
        {QStringLiteral("ignoreTemplate"), Settings.Analysis.IgnoreTemplate},
    };
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

void TRunController::ReadSettingsJson(const QString &Json, TRunSettings &Settings) {
    const QJsonObject o = QJsonDocument::fromJson(Json.toUtf8()).object();
    auto number = [&](const char *Key, std::int32_t &Value) {
        const QJsonValue v = o.value(QLatin1StringView(Key));
        if (v.isDouble()) Value = v.toInt(Value);
    };
    auto boolean = [&](const char *Key, bool &Value) {
        const QJsonValue v = o.value(QLatin1StringView(Key));
        if (v.isBool()) Value = v.toBool();
    };
    number("threads", Settings.MaxThreads);
    number("delay", Settings.Delay);
    number("shingleLength", Settings.ShingleLength);
    number("alg", Settings.AlgVer);
    boolean("ignoreStopWords", Settings.IgnoreStopWords);
    number("duplicateThreshold", Settings.Analysis.DuplicateThreshold);
    number("templateShare", Settings.Analysis.TemplatePercent);
    boolean("ignoreTemplate", Settings.Analysis.IgnoreTemplate);
    if (o.value(QStringLiteral("userAgent")).isString())
        Settings.UserAgent = o.value(QStringLiteral("userAgent")).toString();
}

bool TRunController::Continue(std::int64_t Check) {
    if (FRunning || !FStore || !FStore->IsOpen()) return false;
    if (!FStore->SetState(Check, csRunning)) {
        StoreFailure();
        return false;
    }
    FCheckId = Check;
    return Run(rvMissing);
}

bool TRunController::ShowStored(const TRunSettings &Settings) {
    if (FRunning) return false;
    FCheckId = 0;
    ShingleLength = Settings.ShingleLength;
    ComputeUniqueness(FList);
    FAnalysis.Begin(FList);
    Analyse(Settings);
    UpdateButtons();
    TButtonStates states = FButtons;
    states.Export = true;
    SetButtons(states);
    return true;
}

void TRunController::StoreFailure() {
    FCheckId = 0;
    const QString text = FStore ? FStore->Error() : QString();
    FObserver->LogLine(text, NowDateTime());
    FObserver->StoreFailed(text);
}

bool TRunController::Run(TRunVariant Variant, const QList<std::int32_t> &Selected) {
    if (FRunning) return false;
    FCrawl.reset();
    return Start(Variant, Selected);
}

bool TRunController::RunCrawl(const TCrawlOptions &Options) {
    if (FRunning) return false;
    FCrawl.reset();
    const TCrawlStart start = CrawlStartURL(Options.StartURL, Options.DropParams);
    if (!start.Error.isEmpty()) {
        FObserver->ErrorMessage(start.Error);
        return false;
    }
    const qsizetype room = std::min<qsizetype>(std::clamp(Options.MaxPages, 1, MaxURLCount),
                                               MaxURLCount - FList.size());
    if (room <= 0) {
        FObserver->ErrorMessage(URLLimitMessage());
        return false;
    }
    FCrawl = std::make_unique<TSiteCrawl>(Options, start.Url, std::int32_t(room),
                                          Settings().UserAgent, static_cast<ICrawlHost &>(*this));
    return Start(rvAll, {});
}

bool TRunController::Start(TRunVariant Variant, const QList<std::int32_t> &Selected) {
    AbortRequested = false;
    FRunStartTime = NowDateTime();
    FRunStartSteady = SteadyMs();
    // A re-check of the failed pages goes on writing the stored check of the
    // list; a selection drops every result and is kept in memory only.
    if (Variant == rvSelected || (Variant == rvErrors && !FAnalysis.Valid(FList))) FCheckId = 0;
    if (Variant == rvAll || Variant == rvSelected) FList.FreeResults();

    QSet<std::int32_t> selection;
    if (Variant == rvSelected)
        selection = QSet<std::int32_t>(Selected.begin(), Selected.end());
    else if (Variant == rvErrors) {
        const QList<std::int32_t> nums = ErrorNums(FList);
        selection = QSet<std::int32_t>(nums.begin(), nums.end());
    } else if (Variant == rvMissing) {
        for (const TURLTaskInfo *t : FList)
            if (t && !t->TaskResults) selection.insert(t->Num);
    }
    if (Variant == rvMissing && selection.isEmpty()) {
        // Every page has its result: only the end of the check is left.
        FRunning = true;
        FStarted = FHandedBack = FCounted = FFinished = 0;
        FGone = std::make_shared<std::atomic<std::int32_t>>(0);
        FProgress = 0;
        FProgressMax = std::int32_t(FList.size());
        ShingleLength = Settings().ShingleLength;
        FObserver->ProgressShown(FProgressMax);
        FObserver->RunStarted();
        FinishRun();
        return true;
    }
    if (Variant != rvAll && selection.isEmpty()) return false;

    const TRunSettings settings = Settings();
    FLastRunSettings = settings;
    FPool = std::make_unique<TURLTaskInfoPool>(settings.Delay);
    TaskPool = FPool.get();
    std::int32_t counted = 0;
    for (qsizetype i = FList.size(); i-- > 0;) {
        const TURLTaskInfo *t = FList[i];
        if (!t || (Variant != rvAll && !selection.contains(t->Num))) continue;
        FPool->Add(new TURLTaskInfo(*t));
        ++counted;
    }
    ShingleLength = settings.ShingleLength;

    TURLTaskInfo *first = nullptr;
    // A crawl may start from an empty list: its first page comes from the crawl.
    if (!FPool->PickTask(first) && !FCrawl) {
        FPool.reset();
        TaskPool = nullptr;
        FObserver->ErrorMessage(_("Не удалось запустить первое задание, внутренняя ошибка"));
        return false;
    }
    if (Variant == rvAll) {
        FCheckId = 0;
        if (FStore && FStore->IsOpen()) {
            const QString site = FList.isEmpty() ? QString() : QUrl(FList.front()->URL).host();
            FCheckId = FStore->BeginCheck(FList, FSource, site, SettingsJson(settings));
            if (!FCheckId) StoreFailure();
        }
    } else if (Variant == rvErrors && FCheckId && !FStore->SetState(FCheckId, csRunning))
        StoreFailure();
    FRunning = true;
    FStarted = 0;
    FHandedBack = 0;
    FGone = std::make_shared<std::atomic<std::int32_t>>(0);
    if (first) StartWorker(first);
    UpdateButtons();
    FProgress = 0;
    FProgressMax = counted + std::int32_t(FList.size());
    FCounted = counted;
    FFinished = 0;
    FObserver->ProgressShown(FProgressMax);
    FObserver->RunStarted();
    FObserver->LogLine(_("Проверка запущена"), NowDateTime());
    if (FCrawl) {
        FObserver->LogLine(FormatMsg(N_("Сканирование сайта %s, не более %d страниц"),
                                     {FCrawl->StartURL(), FCrawl->Progress().Limit}),
                           NowDateTime());
        FCrawl->Begin(FList);
        if (!first) RunNextOrFinish();
    }
    return true;
}

void TRunController::Abort() {
    if (!FRunning || AbortRequested) return;
    TButtonStates states = FButtons;
    states.Abort = false;
    SetButtons(states);
    AbortRequested = true;
    FObserver->LogLine(_("Отмена проверки..."), NowDateTime());
}

void TRunController::StartWorker(TURLTaskInfo *Copy) {
    const TRunSettings settings = Settings();
    ++FStarted;
    TWorkerContext context{this, FPool.get(), settings.Endpoints, FGone,
                           FCrawl ? FCrawl->Rules() : nullptr};
    new TActiveTaskThread(Copy, settings.UserAgent, settings.AlgVer, settings.IgnoreStopWords,
                          context);
}

bool TRunController::event(QEvent *Event) {
    switch (int(Event->type())) {
    case WM_TASK_DONE: {
        auto *done = static_cast<TTaskDoneEvent *>(Event);
        std::unique_ptr<TCrawlHarvest> harvest = done->TakeHarvest();
        if (TURLTaskInfo *copy = done->Take()) TakeTaskResults(copy, std::move(harvest));
        return true;
    }
    case WM_SITE_FETCHED:
        ++FHandedBack;
        if (FCrawl && FRunning) {
            FCrawl->SiteFetched(static_cast<TSiteFetchEvent *>(Event)->Result());
            FObserver->CrawlProgress(FCrawl->Progress());
        }
        return true;
    case WM_LOG_MSG: {
        const TMsgForLog &m = static_cast<TLogMsgEvent *>(Event)->Msg();
        FObserver->LogLine(m.MsgText, m.MsgTime);
        return true;
    }
    case WM_RUN_NEXT:
        RunNextOrFinish();
        return true;
    default:
        return QObject::event(Event);
    }
}

void TRunController::Progress(std::int32_t Step) {
    FProgress += Step;
    FObserver->ProgressChanged(FProgress, FProgressMax);
}

void TRunController::TakeTaskResults(TURLTaskInfo *Copy, std::unique_ptr<TCrawlHarvest> Harvest) {
    std::unique_ptr<TURLTaskInfo> copy(Copy);
    ++FHandedBack;
    Progress(1);
    TURLTaskInfo *target = nullptr;
    if (copy->TaskResults && copy->TaskResults->TaskResult != trAborted) {
        ++FFinished;
        target = FList.GetByNum(copy->Num);
    }
    FObserver->TaskHandedBack(*copy, target);
    const TURLTaskResult result = copy->TaskResults ? copy->TaskResults->TaskResult : trUndefined;
    if (target) {
        target->TaskResults = std::move(copy->TaskResults);
        if (FCheckId) {
            if (!FStore->SaveTask(FCheckId, *target))
                StoreFailure();
            else if (FReleaseTexts)
                target->TaskResults->ExtractedText.Release();
        }
        FObserver->TaskUpdated(target);
    }
    if (FCrawl) {
        FCrawl->TaskDone(copy->Num, result, std::move(Harvest));
        FObserver->CrawlProgress(FCrawl->Progress());
    }
}

void TRunController::RunNextOrFinish() {
    if (!FRunning) return;
    if (!AbortRequested) {
        if (ActiveTaskCount.load() >= Settings().MaxThreads) return;
        if (!FPool) return;
        TURLTaskInfo *next = nullptr;
        if (FPool->PickTask(next)) {
            StartWorker(next);
            return;
        }
    }
    if (ActiveTaskCount.load() != 0) return;
    // A worker lowers the count before its task reaches us: wait for every
    // started task, so none misses the uniqueness step.
    if (FHandedBack < FStarted) return;
    if (FCrawl) PostLogMsg(this, FCrawl->Summary());
    FinishRun();
    if (FCrawl && !FCrawl->Failure().isEmpty()) FObserver->ErrorMessage(FCrawl->Failure());
}

void TRunController::FinishRun() {
    FPool.reset();
    TaskPool = nullptr;
    ComputeUniqueness(FList, {[this](std::int32_t num) {
                                  PostLogMsg(this,
                                             FormatMsg(N_("URL %d: сравнение содержимого"), {num}));
                              },
                              [this](std::int32_t) { Progress(1); }});
    FAnalysis.Begin(FList);
    Analyse(Settings());
    const bool aborted = AbortRequested;
    FCheckState = aborted ? csAborted : csFinished;
    if (FCheckId && !FStore->FinishCheck(FCheckId, FList, FCheckState)) StoreFailure();
    FRunning = false;
    UpdateButtons();
    FObserver->ProgressHidden();
    const std::int64_t seconds = (SteadyMs() - FRunStartSteady) / 1000;
    // After an abort the blank rows are the tasks that never finished.
    if (aborted)
        PostLogMsg(this,
                   FormatMsg(N_("Проверка отменена через %d сек., завершено страниц: %d из %d"),
                             {seconds, FFinished, FCounted}));
    else
        PostLogMsg(this, FormatMsg(N_("Проверка завершена за %d сек."), {seconds}));
    if (!aborted) {
        TButtonStates states = FButtons;
        states.Export = true;
        SetButtons(states);
    }
    AbortRequested = false;
    FObserver->RunFinished(aborted);
}

void TRunController::Analyse(const TRunSettings &Settings) {
    TAnalysisSettings analysis = Settings.Analysis;
    analysis.ShingleLength = ShingleLength.load();
    analysis.SkipStopWords = Settings.IgnoreStopWords;
    if (!FAnalysis.Apply(FList, analysis)) return;
    for (const std::int32_t num : FAnalysis.Emptied())
        PostLogMsg(this, FormatMsg(N_("URL %d: без шаблона сайта на странице не осталось текста, "
                                      "уникальность 100"),
                                   {num}));
}

bool TRunController::Reanalyse(const TAnalysisSettings &Settings) {
    if (FRunning || !FAnalysis.Valid(FList)) return false;
    TRunSettings settings = this->Settings();
    settings.Analysis = Settings;
    settings.IgnoreStopWords = FAnalysis.Settings().SkipStopWords;
    Analyse(settings);
    if (FCheckId && !FStore->FinishCheck(FCheckId, FList, FCheckState)) StoreFailure();
    FObserver->AnalysisChanged();
    return true;
}

// ---- the crawl's requests ----------------------------------------------------

void TRunController::AddCrawlTask(const QString &Url, std::int32_t FoundOn) {
    auto *task = new TURLTaskInfo(Url, std::int32_t(FList.size() + 1));
    task->FoundOn = FoundOn;
    if (FAddedFrom < 0) FAddedFrom = FList.size();
    FList.append(task);
    FPool->AddLast(new TURLTaskInfo(*task));
    ++FCounted;
    FProgressMax += 2; // its check and its place in the uniqueness step
}

void TRunController::CrawlTasksAdded() {
    if (FAddedFrom < 0) return;
    FObserver->TasksAdded(FAddedFrom, FList.size() - FAddedFrom);
    FAddedFrom = -1;
    FObserver->ProgressChanged(FProgress, FProgressMax);
}

void TRunController::CrawlLog(const QString &Text) {
    PostLogMsg(this, Text);
}

void TRunController::StartSiteFetch(const TSiteFetchJob &Job) {
    // Counted like a worker: the run ends only after its answer is in.
    ++FStarted;
    new TSiteFetchThread(Job, TWorkerContext{this, FPool.get(), {}, FGone, nullptr});
}

std::int32_t TRunController::RequestDelay() const {
    return FPool ? FPool->RequestDelay() : 0;
}

void TRunController::SetRequestDelay(std::int32_t Ms) {
    if (FPool) FPool->SetRequestDelay(Ms);
}

bool TRunController::CrawlAborted() const {
    return AbortRequested;
}

void TRunController::UpdateButtons() {
    TButtonStates s;
    if (FRunning) {
        s.Abort = !AbortRequested;
    } else {
        s.Run = !FList.isEmpty();
        s.Imports = true;
    }
    SetButtons(s);
}

void TRunController::SetButtons(const TButtonStates &States) {
    FButtons = States;
    FObserver->ButtonStatesChanged(States);
}

} // namespace corvane
