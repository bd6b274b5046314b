// The main window: the URL page with the run buttons, the chart and the bottom
// tabs (news, log), and the settings page with the about panel.
#pragma once

#include <memory>

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QSet>
#include <QString>

#include "engine/crawl.h"
#include "engine/runcontroller.h"
#include "engine/typeslib.h"
#include "ui/main/urlcommands.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QTableWidget;
class QTextBrowser;
class QTimer;

namespace corvane::ui {

class THistoryPage;
class TLinkLabel;
class TNewsFetch;
class TScoreChart;
class TURLListView;

struct TUserAgent {
    const char *Name;
    const char *Text;
};
inline constexpr int UserAgentCount = 17;
inline constexpr int CustomUserAgentIndex = 16;
extern const TUserAgent UserAgents[UserAgentCount];

struct TAppLanguage {
    const char *Name;
    const char *Code;
    unsigned LCID; // 0 matches every system
};
inline constexpr int AppLanguageCount = 2;
extern const TAppLanguage AppLanguages[AppLanguageCount];

// Web addresses of the product and its maker.
QString ProductHomeUrl(bool Russian);
QString ProductNewsUrl(bool Russian);
QString MakerUrl();

// 1049 when the system locale is Russian, the locale's own id otherwise.
unsigned SystemLocaleId();

// The release notes shipped beside the program (AppDir + "NEWS", Markdown):
// the section of the language code (a line "[ru]" or "[en]" starts one), the
// first section when there is none for it; empty without the file.
QString ReleaseNotes(const QString &Code);

class TfmMain : public QMainWindow, public TRunObserver, public TURLPageHost {
    Q_OBJECT
public:
    explicit TfmMain(QWidget *Parent = nullptr);
    ~TfmMain() override;

    // Newest line on top; time as hh:nn:ss. User-interface thread only.
    void AddToLog(const QString &sMessage, const QDateTime &aTime);
    // Queues a log line to be shown when the event loop gets to it.
    void PostLogMsg(const QString &Text);

    void UpdateURLCount();
    void UpdateScoreChart();
    void UpdateButtons();

    // Settings as the rest of the program reads them.
    int MaxThreads() const;
    int RequestDelay() const;
    int ShingleLengthSetting() const;
    bool IgnoreStopWords() const;
    bool ImportNoClear() const override;
    int AlgorithmValue() const; // selected option + 1; 0 when none
    QString UserAgentText() const;
    QString PlainTextEndpoint(int Index) const; // 1 or 2; empty when not set
    QString LanguageCode() const;               // of the entry selected in the language list
    QString IniFileName() const;

    // Hooks for the test suite and the screenshot tool; set before show().
    void SetSystemLCID(unsigned Id) { SystemLCID = Id; }
    void SetNewsEnabled(bool On) { FNewsEnabled = On; }
    void SetNewsUrl(const QString &Url) { FNewsUrl = Url; } // instead of the product's news page
    // The store of checks (default: Corvane.db beside the settings file).
    void SetStorePath(const QString &Path) { FStorePath = Path; }
    TCheckStore *CheckStore() const { return FStore.get(); }

    // The task list (TaskList); nullptr before the first show and after the close.
    TURLTaskInfoList *Tasks() const override { return TaskList; }
    // After the list itself changed: the view, the caption, the buttons, the chart.
    void TaskListChanged();
    TRunController *RunController() const { return FRun.get(); }
    TURLPageCommands *URLCommands() const { return FURLCommands; }

    // TURLPageHost: what the imports, the list's menu and the export need.
    bool CheckRunning() const override;
    void RefreshAfterListChange() override;
    void AddLogLine(const QString &Text) override;
    void ShowProgress(int Maximum) override { ProgressShown(Maximum); }
    void SetProgress(int Position, int Maximum) override { ProgressChanged(Position, Maximum); }
    void HideProgress() override { ProgressHidden(); }
    void RunCheck(TRunVariant Variant, const QList<std::int32_t> &Nums) override;
    QWidget *DialogParent() override { return this; }
    TShingleOptions ShingleOptions() const override;
    const TRunController *Controller() const override { return FRun.get(); }
    TScoreChart *Chart() const { return crtURLScore; }

    // TRunObserver: the run controller reports here.
    void LogLine(const QString &Text, TDateTime Time) override;
    void ProgressShown(std::int32_t Maximum) override;
    void ProgressChanged(std::int32_t Position, std::int32_t Maximum) override;
    void ProgressHidden() override;
    void RunStarted() override;
    void RunFinished(bool Aborted) override;
    void ButtonStatesChanged(const TButtonStates &States) override;
    void TaskUpdated(TURLTaskInfo *Task) override;
    void AnalysisChanged() override;
    void ErrorMessage(const QString &Text) override;
    void TasksAdded(qsizetype First, qsizetype Count) override;
    void CrawlProgress(const TCrawlProgress &Progress) override;

    // "Сканировать сайт...": the dialog, then the crawl with its values.
    void btCrawlSiteClick();
    // The crawl with the dialog's last values: the list is kept or cleared
    // as for an import, then the check starts.
    void StartCrawl();
    const TCrawlOptions &CrawlOptions() const { return FCrawlOptions; }
    void StoreFailed(const QString &Text) override;

protected:
    void showEvent(QShowEvent *E) override;
    void closeEvent(QCloseEvent *E) override;
    void customEvent(QEvent *E) override;

private:
    void BuildURLPage();
    void BuildOptionsPage();
    TAnalysisSettings CurrentAnalysisSettings() const;
    // The analysis settings of the page applied to the last check.
    void ApplyAnalysisSettings();
    void FormCreate();
    void FormShow();
    void FormClose();
    void ReadSettings();
    void WriteSettings();
    void ApplyLanguage();
    // The shipped release notes in the news tab, until the news page arrives.
    void ShowReleaseNotes();
    void FillUserAgents();
    void ApplyUserAgentChoice();
    void SetChanged(const QString &Control) { FChanged.insert(Control); }
    TRunSettings CurrentRunSettings() const;
    void OpenStore();
    // "The last check did not finish (N of M pages). Continue it?"
    void OfferResume(const TStoredCheck &Check);
    // The list becomes the stored check's tasks with their results.
    bool LoadStoredCheck(const TStoredCheck &Check, bool Resume);
    void OpenStoredCheck(std::int64_t Id);
    void CompareWithStoredCheck(std::int64_t Id);

    void cbAppLangChange(int Index);
    void pcPagesChange(int Index);
    void edUserAgentChange(int Index);
    void edUserAgentTextChange(const QString &Text);
    void LinkLabel1LinkClick();
    void Label11LinkClick();
    void PngBitBtn1Click();
    void btRunRequestsClick();
    void btAbortRequestsClick();

    QTabWidget *pcPages = nullptr;
    QWidget *tsURLs = nullptr;
    QWidget *tsOptions = nullptr;
    QPushButton *btInsertURLs4Clip = nullptr;
    QPushButton *btImportURLs4TXT = nullptr;
    QPushButton *btImportURLs4XML = nullptr;
    QPushButton *btImportFiles = nullptr;
    QPushButton *btCrawlSite = nullptr;
    QPushButton *btRunRequests = nullptr;
    QPushButton *btAbortRequests = nullptr;
    QPushButton *btExport = nullptr;
    TScoreChart *crtURLScore = nullptr;
    QWidget *pButtons = nullptr;
    TURLListView *vtURLs = nullptr;
    TURLPageCommands *FURLCommands = nullptr;
    QWidget *pProgress = nullptr;
    QProgressBar *ProgressBar = nullptr;
    QSplitter *spBottom = nullptr;
    QTabWidget *pcBottom = nullptr;
    QWidget *tsNews = nullptr;
    QWidget *tsLog = nullptr;
    QTextBrowser *NewsBrowser = nullptr;
    QTableWidget *lvLog = nullptr;
    THistoryPage *tsHistory = nullptr;

    QGroupBox *gbOptions = nullptr;
    QSpinBox *edMaxTreads = nullptr;
    QSpinBox *edPreDelay = nullptr;
    QSpinBox *edShingleLen = nullptr;
    QCheckBox *cbImpNoClearURLs = nullptr;
    QCheckBox *cbIgnoreStopWords = nullptr;
    // The site analysis: applied to the last check as soon as they change.
    QSpinBox *edDupThreshold = nullptr;
    QSpinBox *edTemplateShare = nullptr;
    QCheckBox *cbIgnoreTemplate = nullptr;
    QTimer *FAnalysisTimer = nullptr;
    QComboBox *edUserAgent = nullptr;
    QLineEdit *edUserAgentText = nullptr;
    QComboBox *cbAppLang = nullptr;
    QGroupBox *rgUniqueAlg = nullptr;
    QButtonGroup *FAlgGroup = nullptr;
    QPushButton *PngBitBtn1 = nullptr;
    QLabel *lbVersion = nullptr;
    TLinkLabel *LinkLabel1 = nullptr;
    TLinkLabel *Label11 = nullptr;

    QString CustomUserAgent;
    TCrawlOptions FCrawlOptions;
    QSet<QString> FChanged;
    QString FStoredLang;
    int FStoredUserAgent = 0;
    QString FEndpoints[2];
    mutable TPlainTextEndpoints FResolvedEndpoints;
    unsigned SystemLCID = 0;
    bool FormTranslated = false;
    bool ChartRefreshPending = false;
    bool FShown = false;
    bool FClosed = false;
    bool FNewsEnabled = true;
    bool FNewsLoaded = false;
    bool FLogFirst = false; // a check has run: the log tab opens in front
    QString FNewsUrl;
    TNewsFetch *FNews = nullptr;
    QString FStorePath;
    std::unique_ptr<TCheckStore> FStore; // outlives the controller that writes it
    std::unique_ptr<TRunController> FRun;
};

} // namespace corvane::ui
