// The run controller: starts a check (all tasks, selected numbers, or the
// tasks with errors), starts workers one by one up to the thread limit, takes
// the finished tasks back into the list, aborts, and ends the run with the
// uniqueness step. It owns no widget; the window and corvane-cli follow it
// through TRunObserver. Lives on the thread that runs the event loop.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include <QList>
#include <QObject>
#include <QString>

#include "core/plaintextclient.h"
#include "engine/siteanalysis.h"
#include "engine/sitecrawl.h"
#include "engine/store.h"
#include "engine/typeslib.h"

namespace corvane {

// The settings a run reads, each at the moment it is used.
struct TRunSettings {
    std::int32_t MaxThreads = 5;    // 1..10
    std::int32_t Delay = 1500;      // ms between request starts
    std::int32_t ShingleLength = 6; // 3..10
    QString UserAgent;              // empty: the default browser string
    std::int32_t AlgVer = 1;        // 1: plain-text service, 2: local extraction
    bool IgnoreStopWords = true;
    TPlainTextEndpoints Endpoints; // for AlgVer 1
    TAnalysisSettings Analysis;    // groups and template at the end of the check
};

struct TButtonStates {
    bool Run = false;     // "Проверить URL" and the two check menu items
    bool Abort = false;   // "Отмена"
    bool Imports = false; // the four import commands
    bool Export = false;  // "Экспорт..."
    bool operator==(const TButtonStates &) const = default;
};

// What the controller reports. Every method has a harmless default.
class TRunObserver {
public:
    virtual ~TRunObserver() = default;
    // A line for the log (time of its creation), in the order of the log.
    virtual void LogLine(const QString & /*Text*/, TDateTime /*Time*/) {}
    virtual void ProgressShown(std::int32_t /*Maximum*/) {}
    virtual void ProgressChanged(std::int32_t /*Position*/, std::int32_t /*Maximum*/) {}
    virtual void ProgressHidden() {}
    virtual void RunStarted() {}
    // After the uniqueness step; the list is to be shown sorted by uniqueness.
    virtual void RunFinished(bool /*Aborted*/) {}
    virtual void ButtonStatesChanged(const TButtonStates & /*States*/) {}
    // A list task received new results (the row is to be repainted).
    virtual void TaskUpdated(TURLTaskInfo * /*Task*/) {}
    // A task copy came back from a worker (any outcome; the copy still holds
    // its results), with the list task that will take them (none when it was
    // aborted or its number is gone).
    virtual void TaskHandedBack(const TURLTaskInfo & /*Copy*/, TURLTaskInfo * /*ListTask*/) {}
    // The duplicate groups, template shares or uniqueness changed after a
    // check (the analysis settings changed; Reanalyse).
    virtual void AnalysisChanged() {}
    // "Не удалось запустить первое задание, внутренняя ошибка"; in a crawl,
    // also why nothing of the site could be crawled, after the run's end.
    virtual void ErrorMessage(const QString & /*Text*/) {}
    // A crawl appended Count tasks to the list, from list position First on.
    virtual void TasksAdded(qsizetype /*First*/, qsizetype /*Count*/) {}
    virtual void CrawlProgress(const TCrawlProgress & /*Progress*/) {}
    // The store of checks failed and was closed (the text says why); the
    // check goes on in memory.
    virtual void StoreFailed(const QString & /*Text*/) {}
};

enum TRunVariant {
    rvAll,      // "Проверить URL"
    rvSelected, // "Проверить выбранные URL"
    rvErrors,   // "Проверить URL с ошибками"
    rvMissing,  // the tasks without results: a stored check continued
};

class TRunController : public QObject, private ICrawlHost {
public:
    TRunController(TURLTaskInfoList &List, TRunObserver *Observer = nullptr,
                   QObject *Parent = nullptr);
    // During a run: aborts and waits until every worker has handed its task back.
    ~TRunController() override;

    void SetObserver(TRunObserver *Observer);
    void SetSettings(const TRunSettings &Settings) { FSettings = Settings; }
    // When set, the settings are read from here every time they are used.
    void SetSettingsSource(std::function<TRunSettings()> Source) {
        FSettingsSource = std::move(Source);
    }

    // Keeps every check in Store (not owned; nullptr or a closed store:
    // none). ReleaseTexts: a task's text leaves memory once it is stored
    // (corvane-cli past 10 000 pages).
    void SetStore(TCheckStore *Store, bool ReleaseTexts = false);
    TCheckStore *Store() const { return FStore; }
    // What the list was made from, as the history shows it.
    void SetCheckSource(const QString &Source) { FSource = Source; }
    // The stored check being written (0: none).
    std::int64_t CheckId() const { return FCheckId; }
    // Continues the stored check Check, whose tasks the list holds as the
    // store gave them: only the tasks without results are downloaded, then
    // the uniqueness is computed over all of them.
    bool Continue(std::int64_t Check);
    // Shows a stored check the list holds with its texts and hashes: the
    // similarities computed again, the site analysis with Settings; nothing
    // is downloaded and nothing stored (the stored check stays as it is).
    bool ShowStored(const TRunSettings &Settings);
    // The run settings as the store keeps them, and back (what the text
    // does not name keeps its value).
    static QString SettingsJson(const TRunSettings &Settings);
    static void ReadSettingsJson(const QString &Json, TRunSettings &Settings);

    // Starts a run; false when nothing was started (empty selection of a menu
    // variant, or no first task). Selected: the numbers for rvSelected.
    bool Run(TRunVariant Variant, const QList<std::int32_t> &Selected = {});
    // Starts a crawl from Options.StartURL: every task of the list is checked,
    // and the pages the crawl finds are appended and checked in the same run.
    // False with an error message when the address is no site's or the list
    // has no room.
    bool RunCrawl(const TCrawlOptions &Options);
    // The crawl of the current or last run; none after a run of the list alone.
    const TSiteCrawl *Crawl() const { return FCrawl.get(); }
    void Abort();
    bool Running() const { return FRunning; }
    TDateTime RunStartTime() const { return FRunStartTime; }
    // The settings the last run started with (what a report names).
    const TRunSettings &LastRunSettings() const { return FLastRunSettings; }
    // The end-of-check analysis again with other settings, on the results of
    // the last check (no download); false when there is none to redo (a
    // check runs, or the list changed since).
    bool Reanalyse(const TAnalysisSettings &Settings);
    const TSiteAnalysis &Analysis() const { return FAnalysis; }
    // Recomputes and reports the button states (export disabled).
    void UpdateButtons();
    TButtonStates ButtonStates() const { return FButtons; }

    // The numbers of the tasks with results other than trOk, in list order.
    static QList<std::int32_t> ErrorNums(const TURLTaskInfoList &List);
    // Stable sort by uniqueness, ascending, comparing whole numbers only;
    // tasks without results count as 100.
    static void SortByUniqueness(QList<TURLTaskInfo *> &Rows);

protected:
    bool event(QEvent *Event) override;

private:
    TRunSettings Settings() const { return FSettingsSource ? FSettingsSource() : FSettings; }
    bool Start(TRunVariant Variant, const QList<std::int32_t> &Selected);
    void StartWorker(TURLTaskInfo *Copy);
    void TakeTaskResults(TURLTaskInfo *Copy, std::unique_ptr<TCrawlHarvest> Harvest);
    void RunNextOrFinish();
    void FinishRun();
    void Analyse(const TRunSettings &Settings);
    void SetButtons(const TButtonStates &States);
    void Progress(std::int32_t Step);
    void StoreFailure();

    // ICrawlHost: what the crawl asks of the run.
    void AddCrawlTask(const QString &Url, std::int32_t FoundOn) override;
    void CrawlTasksAdded() override;
    void CrawlLog(const QString &Text) override;
    void StartSiteFetch(const TSiteFetchJob &Job) override;
    std::int32_t RequestDelay() const override;
    void SetRequestDelay(std::int32_t Ms) override;
    bool CrawlAborted() const override;

    TURLTaskInfoList &FList;
    TRunObserver FNoObserver;
    TRunObserver *FObserver;
    TRunSettings FSettings;
    std::function<TRunSettings()> FSettingsSource;
    std::unique_ptr<TURLTaskInfoPool> FPool;
    bool FRunning = false;
    TDateTime FRunStartTime = 0;
    TRunSettings FLastRunSettings;
    std::int64_t FRunStartSteady = 0; // the elapsed time of the log line
    std::int32_t FStarted = 0;
    std::int32_t FHandedBack = 0;
    std::shared_ptr<std::atomic<std::int32_t>> FGone =
        std::make_shared<std::atomic<std::int32_t>>(0);
    std::int32_t FProgress = 0;
    std::int32_t FProgressMax = 0;
    std::int32_t FCounted = 0;  // tasks of the run
    std::int32_t FFinished = 0; // handed back with a result (not aborted)
    TButtonStates FButtons;
    TSiteAnalysis FAnalysis;
    std::unique_ptr<TSiteCrawl> FCrawl;
    qsizetype FAddedFrom = -1; // the first task a crawl added since it last said so
    TCheckStore *FStore = nullptr;
    bool FReleaseTexts = false;
    QString FSource;
    std::int64_t FCheckId = 0;
    TCheckState FCheckState = csRunning;
};

} // namespace corvane
