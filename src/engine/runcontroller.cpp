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
    if (!FPool->PickTask(first)) {
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
    StartWorker(first);
    UpdateButtons();
    FProgress = 0;
    FProgressMax = counted + std::int32_t(FList.size());
    FCounted = counted;
    FFinished = 0;
    FObserver->ProgressShown(FProgressMax);
    FObserver->RunStarted();
    FObserver->LogLine(_("Проверка запущена"), NowDateTime());
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
    TWorkerContext context{this, FPool.get(), settings.Endpoints, FGone};
    new TActiveTaskThread(Copy, settings.UserAgent, settings.AlgVer, settings.IgnoreStopWords,
                          context);
}

bool TRunController::event(QEvent *Event) {
    switch (int(Event->type())) {
    case WM_TASK_DONE:
        if (TURLTaskInfo *copy = static_cast<TTaskDoneEvent *>(Event)->Take())
            TakeTaskResults(copy);
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

void TRunController::TakeTaskResults(TURLTaskInfo *Copy) {
    std::unique_ptr<TURLTaskInfo> copy(Copy);
    ++FHandedBack;
    Progress(1);
    TURLTaskInfo *target = nullptr;
    if (copy->TaskResults && copy->TaskResults->TaskResult != trAborted) {
        ++FFinished;
        target = FList.GetByNum(copy->Num);
    }
    FObserver->TaskHandedBack(*copy, target);
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
    FinishRun();
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
