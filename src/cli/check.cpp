// corvane-cli check: a whole check without the window, through the same run
// controller, pool, workers and uniqueness step.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

#include "cli/cli.h"
#include "core/appdir.h"
#include "core/i18n.h"
#include "engine/crawl.h"
#include "engine/htmlreport.h"
#include "engine/report.h"
#include "engine/runcontroller.h"
#include "engine/store.h"
#include "engine/urlimport.h"
#include "net/pagetransfer.h"
#include "service/endpoints.h"

namespace corvane::cli {

namespace {

int SignalPipe[2] = {-1, -1};
constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(SignalPipe[1], &b, 1);
    // A second signal during the check ends the program at once.
    for (int sig : StopSignals) std::signal(sig, SIG_DFL);
}

// Control characters of a URL would act on the terminal: shown as \xNN.
QString Printable(const QString &Text) {
    QString out;
    out.reserve(Text.size());
    for (QChar c : Text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            out += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QChar(u'0'));
        else
            out += c;
    }
    return out;
}

// Progress on stderr: a bar redrawn in place on a terminal, log lines otherwise.
class TCliObserver : public TRunObserver {
public:
    TCliObserver(bool Verbose, std::int32_t Total)
        : FBar(!Verbose && ::isatty(STDERR_FILENO)), FTotal(Total) {
        FClock.start();
        if (FBar) {
            // The elapsed time keeps moving while pages are slow.
            QObject::connect(&FTicker, &QTimer::timeout, [this] { Draw(); });
            FTicker.start(1000);
        }
    }
    void LogLine(const QString &Text, TDateTime Time) override {
        if (FBar) return;
        const std::int64_t ms = DateTimeToMs(Time) % 86400000;
        const QString stamp =
            QTime::fromMSecsSinceStartOfDay(int(ms)).toString(QStringLiteral("hh:mm:ss"));
        printErr(stamp + u' ' + Text);
    }
    void TasksAdded(qsizetype, qsizetype Count) override { FTotal += std::int32_t(Count); }
    void CrawlProgress(const TCrawlProgress &Progress) override {
        FCrawl = Progress;
        FCrawling = true;
    }
    void TaskHandedBack(const TURLTaskInfo &Copy, TURLTaskInfo *) override {
        ++FDone;
        if (!Copy.TaskResults || Copy.TaskResults->TaskResult != trOk) ++FFailed;
        FCurrent = Copy.URL;
        Draw();
    }
    void RunFinished(bool Aborted) override {
        FAborted = Aborted;
        FTicker.stop();
        if (FBar) {
            Draw();
            std::fputs("\n", stderr);
        }
        // Queued behind the log lines the end of the run has just posted.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    }
    void ErrorMessage(const QString &Text) override { printErr(Text); }
    // Without the bar the log line has already said it.
    void StoreFailed(const QString &Text) override {
        if (FBar) printErr(Text);
    }
    bool Aborted() const { return FAborted; }

private:
    void Draw() {
        if (!FBar) return;
        constexpr int width = 30;
        const int filled = FTotal ? int(qint64(width) * FDone / FTotal) : width;
        QString line = QStringLiteral("\r[%1%2] %3/%4  failed %5  %6 s  ")
                           .arg(QString(filled, u'#'), QString(width - filled, u'.'))
                           .arg(FDone)
                           .arg(FTotal)
                           .arg(FFailed)
                           .arg(FClock.elapsed() / 1000);
        // A crawl's total grows as it finds pages: the limit says how far it may go.
        if (FCrawling) line += QStringLiteral("limit %1  ").arg(FCrawl.Limit);
        line += Printable(FCurrent.left(60));
        const QByteArray bytes = line.toUtf8() + "\x1b[K";
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
    }

    bool FBar;
    std::int32_t FTotal;
    std::int32_t FDone = 0, FFailed = 0;
    QString FCurrent;
    TCrawlProgress FCrawl;
    bool FCrawling = false;
    QElapsedTimer FClock;
    QTimer FTicker;
    bool FAborted = false;
};

// A file the check writes, or standard output ("-"). Every write is checked,
// so a full disk or a closed pipe is reported with the file and the reason.
class TOutput {
public:
    explicit TOutput(QString Path) : FPath(std::move(Path)) {}
    bool IsStdout() const { return FPath == u"-"; }
    QString Name() const { return IsStdout() ? QStringLiteral("standard output") : FPath; }
    const QString &Error() const { return FError; }

    // Before the check: the file can be created (an existing one is left
    // as it is until the check is over).
    bool Probe() {
        if (IsStdout()) return true;
        QFile f(FPath);
        if (QFileInfo(FPath).isDir()) return Fail(QStringLiteral("it is a folder"));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return Fail(f.errorString());
        return true;
    }
    bool Open() {
        if (IsStdout()) return true;
        FFile.setFileName(FPath);
        if (!FFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return Fail(FFile.errorString());
        return true;
    }
    bool Write(const QByteArray &Bytes) {
        if (!FError.isEmpty()) return false;
        if (IsStdout()) {
            if (std::fwrite(Bytes.constData(), 1, size_t(Bytes.size()), stdout) !=
                size_t(Bytes.size()))
                return Fail(QString::fromLocal8Bit(std::strerror(errno)));
            return true;
        }
        if (FFile.write(Bytes) != Bytes.size()) return Fail(FFile.errorString());
        return true;
    }
    bool Close() {
        if (!FError.isEmpty()) return false;
        if (IsStdout()) {
            if (std::fflush(stdout) != 0 || std::ferror(stdout))
                return Fail(QString::fromLocal8Bit(std::strerror(errno)));
            return true;
        }
        if (!FFile.flush()) return Fail(FFile.errorString());
        FFile.close();
        if (FFile.error() != QFileDevice::NoError) return Fail(FFile.errorString());
        return true;
    }

private:
    bool Fail(const QString &Why) {
        if (FError.isEmpty()) FError = Why.isEmpty() ? QStringLiteral("write error") : Why;
        return false;
    }
    QString FPath;
    QString FError;
    QFile FFile;
};

QByteArray jsonString(const QString &S) {
    QByteArray a = QJsonDocument(QJsonArray{S}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

QByteArray jsonNumber(double D) {
    return QByteArray::number(D, 'g', QLocale::FloatingPointShortest);
}

// How many similar pages the JSON lists for each task by default.
constexpr std::size_t JsonSimilarCount = 10;

// The uniqueness of each URL in an earlier check, for --compare-with.
struct TBefore {
    TUniquenessByURL Uniqueness;
    QStringList URLs;
};

// Every task with its outcome, its most similar pages (similarity above 0,
// most similar first; all of them with AllPairs), what the site analysis
// says of it, after a crawl (FoundOn) where its link was first seen, and with
// Before its uniqueness in an earlier check; then the duplicate groups;
// written task by task, so that ten thousand pages never make one string of
// gigabytes.
bool writeTasksJson(TOutput &Out, const TURLTaskInfoList &List, const TSiteAnalysis &Analysis,
                    bool AllPairs, bool FoundOn, const TBefore *Before) {
    if (!Out.Write("{\"tasks\": [")) return false;
    for (qsizetype i = 0; i < List.size(); ++i) {
        const TURLTaskInfo &t = *List[i];
        const TURLTaskResults *r = t.TaskResults.get();
        QByteArray out = i ? ",\n  " : "\n  ";
        out += "{\"num\": " + QByteArray::number(t.Num) + ", \"url\": " + jsonString(t.URL);
        out +=
            ", \"result\": \"" + QByteArray(TaskResultName(r ? r->TaskResult : trUndefined)) + '"';
        out += ", \"errorCode\": " + QByteArray::number(r ? r->ErrorCode : 0);
        out += ", \"uniqueness\": " + jsonNumber(r && r->Uniqueness >= 0 ? r->Uniqueness : -1.0);
        if (FoundOn) out += ", \"foundOn\": " + QByteArray::number(t.FoundOn);
        out += ", \"group\": " + QByteArray::number(r ? r->Group : 0);
        out += ", \"representative\": " + QByteArray::number(r ? r->Representative : 0);
        out += ", \"templateShare\": " +
               jsonNumber(r && r->TemplateShare >= 0 ? r->TemplateShare : -1.0);
        out += ", \"words\": " + QByteArray::number(r ? r->Signals.WordCount : -1);
        out += ", \"canonical\": " + jsonString(r ? r->Signals.Canonical : QString());
        out += ", \"noindex\": " + QByteArray(r && r->Signals.NoIndex ? "true" : "false");
        if (Before) {
            // null: the page was not in the earlier check.
            const auto b = Before->Uniqueness.constFind(URLKey(t.URL));
            out += ", \"uniquenessBefore\": " +
                   (b == Before->Uniqueness.cend() ? QByteArray("null") : jsonNumber(*b));
        }
        out += ", \"similar\": [";
        if (r) {
            const std::vector<TURLSimilRec> similar =
                r->MostSimilar(t.Num, AllPairs ? 0 : JsonSimilarCount);
            for (std::size_t k = 0; k < similar.size(); ++k) {
                out += k ? ", " : "";
                out += "{\"num\": " + QByteArray::number(similar[k].Num) +
                       ", \"similarity\": " + jsonNumber(similar[k].Similarity) + '}';
            }
        }
        out += "]}";
        if (!Out.Write(out)) return false;
    }
    QByteArray groups = List.isEmpty() ? "],\n\"groups\": [" : "\n],\n\"groups\": [";
    const std::vector<TDuplicateGroup> &all = Analysis.Groups().Groups;
    for (std::size_t g = 0; g < all.size(); ++g) {
        groups += g ? ",\n  " : "\n  ";
        groups += "{\"id\": " + QByteArray::number(all[g].Number) + ", \"members\": [";
        for (std::size_t m = 0; m < all[g].Members.size(); ++m)
            groups += (m ? ", " : "") + QByteArray::number(List[all[g].Members[m]]->Num);
        groups += "], \"representative\": " + QByteArray::number(List[all[g].Representative]->Num);
        groups += QByteArray(", \"handled\": ") + (all[g].Handled() ? "true" : "false") + '}';
    }
    groups += all.empty() ? "]" : "\n]";
    if (Before) {
        // The pages of the earlier check that this one no longer has.
        QSet<QString> now;
        for (const TURLTaskInfo *t : List) now.insert(URLKey(t->URL));
        groups += ",\n\"disappeared\": [";
        bool first = true;
        for (const QString &url : Before->URLs) {
            if (now.contains(URLKey(url))) continue;
            groups += (first ? "" : ", ") + jsonString(url);
            first = false;
        }
        groups += ']';
    }
    groups += "}\n";
    return Out.Write(groups);
}

int runCheck(const QStringList &argv) {
    Args args(argv);
    const QString urls = args.value(QStringLiteral("--urls"));
    const QString sitemap = args.value(QStringLiteral("--sitemap"));
    QStringList files = args.values(QStringLiteral("--files"));
    TRunSettings settings;
    settings.MaxThreads = args.intValue(QStringLiteral("--threads"), 5, 1, 10);
    settings.Delay = args.intValue(QStringLiteral("--delay"), 1500, 0, 100000);
    settings.ShingleLength = args.intValue(QStringLiteral("--shingle-length"), 6, 3, 10);
    settings.IgnoreStopWords = args.onOff(QStringLiteral("--stop-words"), true);
    settings.AlgVer = args.intValue(QStringLiteral("--alg"), 1, 1, 2);
    settings.Analysis.DuplicateThreshold =
        args.intValue(QStringLiteral("--duplicate-threshold"), DefaultDuplicateThreshold,
                      MinDuplicateThreshold, MaxDuplicateThreshold);
    settings.Analysis.TemplatePercent =
        args.intValue(QStringLiteral("--template-share"), DefaultTemplatePercent, 1, 100);
    settings.Analysis.IgnoreTemplate = args.flag(QStringLiteral("--ignore-template"));
    const bool reportExtra = args.flag(QStringLiteral("--report-extra"));
    settings.UserAgent =
        args.value(QStringLiteral("--user-agent"), QString::fromLatin1(CorvaneUserAgent));
    const QStringList givenEndpoints = args.values(QStringLiteral("--endpoint"));
    if (!givenEndpoints.isEmpty() && givenEndpoints.size() != 2)
        throw UsageError{
            QStringLiteral("--endpoint must be given twice (two service addresses) or not at all")};
    const QString reportPath = args.value(QStringLiteral("--report"));
    const QString jsonPath = args.value(QStringLiteral("--json"));
    const QString htmlPath = args.value(QStringLiteral("--html"));
    const QString pairs = args.value(QStringLiteral("--json-pairs"), QStringLiteral("top"));
    if (pairs != u"top" && pairs != u"all")
        throw UsageError{
            QStringLiteral("--json-pairs must be \"top\" or \"all\", not \"%1\"").arg(pairs)};
    const bool allPairs = pairs == u"all";
    const QString crawlUrl = args.value(QStringLiteral("--crawl"));
    TCrawlOptions crawl;
    crawl.StartURL = crawlUrl;
    crawl.MaxPages =
        args.intValue(QStringLiteral("--max-pages"), DefaultCrawlPages, 1, MaxURLCount);
    crawl.IncludeSubdomains = args.flag(QStringLiteral("--subdomains"));
    crawl.FollowNoFollow = args.flag(QStringLiteral("--follow-nofollow"));
    crawl.IgnoreRobots = args.flag(QStringLiteral("--ignore-robots"));
    crawl.UseSitemaps = args.flag(QStringLiteral("--crawl-sitemaps"));
    const QString dropParams = args.value(QStringLiteral("--drop-params"));
    crawl.DropParams = ParseDropParams(dropParams);
    const bool crawlOptions =
        argv.contains(QStringLiteral("--max-pages")) || crawl.IncludeSubdomains ||
        crawl.FollowNoFollow || crawl.IgnoreRobots || crawl.UseSitemaps || !dropParams.isNull() ||
        std::any_of(argv.begin(), argv.end(),
                    [](const QString &a) { return a.startsWith(QStringLiteral("--max-pages=")); });
    if (crawlUrl.isNull() && crawlOptions)
        throw UsageError{QStringLiteral(
            "--max-pages, --subdomains, --follow-nofollow, --ignore-robots, --crawl-sitemaps "
            "and --drop-params go with --crawl URL")};
    QString lang = args.value(QStringLiteral("--lang"));
    const bool verbose = args.flag(QStringLiteral("--verbose"));
    QString storePath = args.value(QStringLiteral("--store"));
    const bool resume = args.flag(QStringLiteral("--resume"));
    const QString compareWith = args.value(QStringLiteral("--compare-with"));
    const std::int32_t maxUrls =
        args.intValue(QStringLiteral("--max-urls"), MaxURLCount, 1, MaxCliURLCount);
    const QStringList rest = args.positionals();
    if (!files.isEmpty())
        files += rest;
    else if (!rest.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(rest.front())};
    const int sources = int(!urls.isNull()) + int(!sitemap.isNull()) + int(!files.isEmpty()) +
                        int(!crawlUrl.isNull());
    if (resume ? sources != 0 : sources != 1)
        throw UsageError{resume ? QStringLiteral("--resume takes the list from the store: no "
                                                 "--urls, --sitemap, --files or --crawl")
                                : QStringLiteral("check needs exactly one of --urls FILE, "
                                                 "--sitemap FILE, --files FILE..., --crawl URL")};
    std::int64_t compareId = 0;
    if (!compareWith.isNull()) {
        bool ok = false;
        compareId = compareWith.toLongLong(&ok);
        if (!ok || compareId <= 0)
            throw UsageError{
                QStringLiteral("--compare-with needs a check number (see corvane-cli history)")};
    }
    if (storePath.isNull() && (resume || compareId)) storePath = TCheckStore::DefaultPath();
    if (lang.isNull())
        lang = QLocale::system().language() == QLocale::Russian ? QStringLiteral("ru")
                                                                : QStringLiteral("en");
    if (lang != u"ru" && lang != u"en") throw UsageError{QStringLiteral("--lang must be ru or en")};

    static int qtArgc = 1;
    static char qtName[] = "corvane-cli";
    static char *qtArgv[] = {qtName, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    // Captions, footer and log lines in the chosen language ("ru" is the ids).
    BindCatalogDir(AppDir() + QStringLiteral("locale"));
    SetCatalogLanguage(lang);
    const TCurlGlobal curl;
    std::signal(SIGPIPE, SIG_IGN); // a closed output is a write error, not the end
    std::signal(SIGXFSZ, SIG_IGN); // so is a file size limit

    // The outputs must be writable before hours of checking go into them.
    std::optional<TOutput> report, json, html;
    if (!reportPath.isNull()) report.emplace(reportPath);
    if (!jsonPath.isNull()) json.emplace(jsonPath);
    if (!htmlPath.isNull()) html.emplace(htmlPath);
    for (TOutput *out :
         {report ? &*report : nullptr, json ? &*json : nullptr, html ? &*html : nullptr})
        if (out && !out->Probe())
            throw UsageError{QStringLiteral("cannot create %1: %2").arg(out->Name(), out->Error())};

    // The store: a check that cannot be kept still runs, in memory.
    TCheckStore store;
    if (!storePath.isNull() && !store.Open(storePath)) {
        if (resume) throw UsageError{QStringLiteral("cannot resume: ") + store.Error()};
        printErr(store.Error());
    }
    std::optional<TBefore> before;
    if (compareId) {
        before.emplace();
        if (!store.IsOpen() || !store.Check(compareId) ||
            !store.Uniqueness(compareId, before->Uniqueness, &before->URLs))
            throw UsageError{
                QStringLiteral("no check %1 in the store %2").arg(compareId).arg(storePath)};
    }

    TOwnedTaskList list;
    TImportOutcome imported;
    std::int64_t resumeId = 0;
    QString source;
    if (resume) {
        const std::optional<TStoredCheck> last = store.LastUnfinished(true);
        if (!last)
            throw UsageError{
                QStringLiteral("the store %1 holds no unfinished check").arg(storePath)};
        resumeId = last->Id;
        // The hashes must be made as they were: the check's own settings.
        TRunController::ReadSettingsJson(last->Settings, settings);
        if (!store.LoadTasks(resumeId, list, false, true))
            throw UsageError{QStringLiteral("cannot resume: ") + store.Error()};
        printErr(QStringLiteral("resuming check %1: %2 of %3 pages done")
                     .arg(resumeId)
                     .arg(last->Done)
                     .arg(last->Pages));
    } else {
        if (!urls.isNull()) {
            imported = ImportTextFile(list, urls, false, maxUrls);
            source = QStringLiteral("--urls ") + QFileInfo(urls).absoluteFilePath();
        } else if (!sitemap.isNull()) {
            imported = ImportSitemap(list, sitemap, false, {}, maxUrls);
            source = QStringLiteral("--sitemap ") + QFileInfo(sitemap).absoluteFilePath();
        } else if (!files.isEmpty()) {
            imported = ImportLocalFiles(list, files, false, maxUrls);
            source = QStringLiteral("--files ") + QFileInfo(files.front()).absolutePath();
        } else {
            source = QStringLiteral("--crawl ") + crawlUrl;
        }
        if (imported.Status != isOk) {
            printErr(imported.Message);
            return ExitUsage;
        }
        if (imported.LimitReached)
            printErr(maxUrls == MaxURLCount
                         ? URLLimitMessage()
                         : QStringLiteral("at most %1 URLs (--max-urls)").arg(maxUrls));
        if (!imported.Notice.isEmpty()) printErr(imported.Notice);
    }
    if (settings.AlgVer != 2) {
        QString error;
        settings.Endpoints = ResolvePlainTextEndpoints(givenEndpoints, SettingsFilePath(), &error);
        if (settings.Endpoints.First.isEmpty())
            throw UsageError{QStringLiteral("no plain-text service: %1").arg(error)};
    }

    TCliObserver observer(verbose, std::int32_t(list.size()));
    if (!imported.LogLine.isEmpty()) observer.LogLine(imported.LogLine, NowDateTime());
    TRunController controller(list, &observer);
    controller.SetSettings(settings);
    // The pages' texts live in the store only: the JSON and the report need
    // none, and a list of a million pages would not hold them.
    if (store.IsOpen()) controller.SetStore(&store, true);
    controller.SetCheckSource(source);

    if (::pipe(SignalPipe) == 0)
        for (int sig : StopSignals) std::signal(sig, onSignal);
    QSocketNotifier notifier(SignalPipe[0] >= 0 ? SignalPipe[0] : STDIN_FILENO,
                             QSocketNotifier::Read);
    notifier.setEnabled(SignalPipe[0] >= 0);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char b;
        [[maybe_unused]] const ssize_t n = ::read(SignalPipe[0], &b, 1);
        controller.Abort();
    });

    const QDateTime startedAt = QDateTime::currentDateTime();
    if (resumeId) {
        // A check with every page done finishes at once.
        if (controller.Continue(resumeId) && controller.Running()) app.exec();
    } else if (!crawlUrl.isNull()) {
        // A start address that is no site's: the observer said why.
        if (!controller.RunCrawl(crawl)) return ExitUsage;
        app.exec();
    } else if (!list.isEmpty() && controller.Run(rvAll)) {
        if (controller.Running()) app.exec();
    }
    // What finished is written whole: no signal cuts the writing short.
    for (int sig : StopSignals) std::signal(sig, SIG_IGN);

    bool written = true;
    QList<TURLTaskInfo *> rows(list.begin(), list.end());
    TRunController::SortByUniqueness(rows);
    const QList<const TURLTaskInfo *> ordered(rows.begin(), rows.end());
    if (report) {
        if (!(report->Open() && report->Write(ReportBytes(ordered, reportExtra)) &&
              report->Close())) {
            printErr(_("Невозможно создать файл экспорта!") + u' ' + report->Name() +
                     QStringLiteral(": ") + report->Error());
            written = false;
        }
    }
    if (json && !(json->Open() &&
                  writeTasksJson(*json, list, controller.Analysis(), allPairs, !crawlUrl.isNull(),
                                 before ? &*before : nullptr) &&
                  json->Close())) {
        printErr(QStringLiteral("cannot write %1: %2").arg(json->Name(), json->Error()));
        written = false;
    }
    if (html) {
        THtmlReport page;
        page.List = &list;
        page.Rows = ordered;
        page.Analysis = &controller.Analysis();
        page.Settings = settings;
        page.Date = startedAt;
        if (before) page.Before = &before->Uniqueness;
        if (!(html->Open() && html->Write(HtmlReportBytes(page)) && html->Close())) {
            printErr(_("Невозможно создать файл экспорта!") + u' ' + html->Name() +
                     QStringLiteral(": ") + html->Error());
            written = false;
        }
    }
    if (!written) return ExitFailure;
    if (observer.Aborted()) return ExitAborted;
    const TSiteCrawl *crawled = controller.Crawl();
    return crawled && !crawled->Failure().isEmpty() ? ExitHttp : ExitOk;
}

} // namespace

const Command CheckCommand = {
    "check",
    R"(check (--urls FILE | --sitemap FILE | --files FILE... | --crawl URL)
          [--threads N] [--delay MS] [--shingle-length N] [--stop-words on|off]
          [--alg 1|2] [--user-agent TEXT] [--endpoint URL --endpoint URL]
          [--report FILE] [--json FILE] [--json-pairs top|all] [--html FILE]
          [--duplicate-threshold N] [--template-share N] [--ignore-template]
          [--report-extra] [--lang ru|en] [--verbose] [--max-urls N]
          [--store FILE] [--resume] [--compare-with ID]
          crawl: [--max-pages N] [--subdomains] [--follow-nofollow]
          [--ignore-robots] [--crawl-sitemaps] [--drop-params LIST]
    Checks a list of pages as the window's "Проверить URL" does: a text file
    of URLs (one a line), a sitemap, or local HTML/text files. Defaults: 5
    threads, 1500 ms between requests (0..100000 here), shingles of 6 words,
    stop words ignored, algorithm 1 (the plain-text service at the two
    --endpoint addresses, else those of Corvane.ini, else a service started
    inside the command; 2 is the local extraction), the "Corvane" user agent.
    A page answered with 429 or 503 and a Retry-After is tried once more
    after that wait (at most 5 minutes).

    --crawl URL checks a site from one address as "Сканировать сайт..."
    does: the pages its links lead to on the same site (www. and the bare
    host are one site; --subdomains adds its subdomains), found and checked
    in one pass, breadth first, until --max-pages (1..10000, default 500).
    robots.txt is read first and obeyed (--ignore-robots: not), its
    Crawl-delay when longer than --delay; rel="nofollow" links are not
    followed (--follow-nofollow: they are); --crawl-sitemaps starts from the
    pages of the sitemaps robots.txt names too; --drop-params "utm_*,
    sessionid" drops those query parameters from every address. Responses
    that are no HTML or text are marked trNotHTML and left out of the
    comparison.

    Progress goes to stderr: a bar on a terminal, log lines otherwise or with
    --verbose. --report FILE (- for stdout) writes the CSV report in the
    end-of-check order, captions in --lang (default: by the system locale);
    --json FILE writes every task with its result, code, uniqueness and its
    10 most similar pages (--json-pairs all: every page with a similarity
    above 0), what each page says of itself (words, canonical, noindex),
    its duplicate group and the share of its text that is the site's
    template, then the groups; after a crawl, each task's "foundOn" too:
    the number of the page where its link was first seen (0: the start
    address or a sitemap). Pages at least --duplicate-threshold % alike
    (default 90) form a group; a passage on at least --template-share % of
    the pages (default 50) is the site's template; --ignore-template leaves
    it out of the uniqueness; --report-extra adds the group, template,
    words, canonical and noindex columns to the CSV. --html FILE (- for
    stdout) writes the HTML report in --lang: one file that opens offline,
    with the summary and charts, the groups still to fix, every page in a
    sortable, filterable table and each page's most similar pages with the
    text it shares with its group. Every output is tried before the check
    starts. --store FILE keeps the check in that store of checks as it runs
    (a store that cannot be used is reported and the check runs in memory);
    --resume continues the store's last unfinished check (aborted or cut
    short) with its own list and settings, downloading only the pages
    without a result; --compare-with ID adds each page's uniqueness in that
    earlier check ("uniquenessBefore", null for a new page) and the pages
    it no longer has ("disappeared") to the JSON. Both use Corvane.db beside
    Corvane.ini without --store. --max-urls N takes up to N pages from the
    list (default 10000, at most 1000000). Ctrl+C, SIGTERM and SIGHUP abort
    like "Отмена" and still write what finished. Exit status 0 when the
    check ran, 130 when it was aborted, 1 when an output could not be
    written (the others are still written), 2 for bad arguments, an output
    that cannot be created or a list that cannot be read, 3 when a crawl
    could not crawl the site (robots.txt unreachable or forbidding the start
    address).)",
    runCheck,
};

} // namespace corvane::cli
