// corvane-cli check: a whole check without the window, through the same run
// controller, pool, workers and uniqueness step.
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>

#include "cli.h"
#include "core/i18n.h"
#include "engine/report.h"
#include "engine/runcontroller.h"
#include "engine/urlimport.h"
#include "net/CurlEasy.h"
#include "service/endpoints.h"

namespace corvane::cli {

namespace {

int SignalPipe[2] = {-1, -1};

void onSignal(int) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(SignalPipe[1], &b, 1);
    // A second Ctrl+C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
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
        line += FCurrent.left(60);
        const QByteArray bytes = line.toUtf8() + "\x1b[K";
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
    }

    bool FBar;
    std::int32_t FTotal;
    std::int32_t FDone = 0, FFailed = 0;
    QString FCurrent;
    QElapsedTimer FClock;
    QTimer FTicker;
    bool FAborted = false;
};

bool writeOut(const QString &Path, const QByteArray &Bytes) {
    if (Path == u"-") {
        std::fwrite(Bytes.constData(), 1, size_t(Bytes.size()), stdout);
        std::fflush(stdout);
        return true;
    }
    QFile f(Path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(Bytes) == Bytes.size() &&
           f.flush();
}

QByteArray jsonString(const QString &S) {
    QByteArray a = QJsonDocument(QJsonArray{S}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

QByteArray jsonNumber(double D) {
    return QByteArray::number(D, 'g', QLocale::FloatingPointShortest);
}

QByteArray tasksJson(const TURLTaskInfoList &List) {
    QByteArray out = "{\"tasks\": [";
    for (qsizetype i = 0; i < List.size(); ++i) {
        const TURLTaskInfo &t = *List[i];
        const TURLTaskResults *r = t.TaskResults.get();
        out += i ? ",\n  " : "\n  ";
        out += "{\"num\": " + QByteArray::number(t.Num) + ", \"url\": " + jsonString(t.URL);
        out +=
            ", \"result\": \"" + QByteArray(TaskResultName(r ? r->TaskResult : trUndefined)) + '"';
        out += ", \"errorCode\": " + QByteArray::number(r ? r->ErrorCode : 0);
        out += ", \"uniqueness\": " + jsonNumber(r && r->Uniqueness >= 0 ? r->Uniqueness : -1.0);
        out += ", \"similar\": [";
        bool first = true;
        if (r)
            for (const TURLSimilRec &s : r->SimilArray.ToVector()) {
                if (s.Num == 0) continue;
                out += first ? "" : ", ";
                first = false;
                out += "{\"num\": " + QByteArray::number(s.Num) +
                       ", \"similarity\": " + jsonNumber(s.Similarity) + '}';
            }
        out += "]}";
    }
    out += List.isEmpty() ? "]}\n" : "\n]}\n";
    return out;
}

// The two plain-text service addresses: the options, else the settings file,
// else services started inside this command.
TPlainTextEndpoints endpoints(const QStringList &Given) {
    if (Given.size() == 2) return {Given[0], Given[1]};
    QString error;
    const TPlainTextEndpoints found = ResolvePlainTextEndpoints(&error);
    if (found.First.isEmpty() || found.Second.isEmpty())
        throw UsageError{QStringLiteral("no plain-text service: %1").arg(error)};
    return found;
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
    settings.UserAgent =
        args.value(QStringLiteral("--user-agent"), QString::fromLatin1(CorvaneUserAgent));
    const QStringList givenEndpoints = args.values(QStringLiteral("--endpoint"));
    if (!givenEndpoints.isEmpty() && givenEndpoints.size() != 2)
        throw UsageError{
            QStringLiteral("--endpoint must be given twice (two service addresses) or not at all")};
    const QString report = args.value(QStringLiteral("--report"));
    const QString json = args.value(QStringLiteral("--json"));
    QString lang = args.value(QStringLiteral("--lang"));
    const bool verbose = args.flag(QStringLiteral("--verbose"));
    const QStringList rest = args.positionals();
    if (!files.isEmpty())
        files += rest;
    else if (!rest.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(rest.front())};
    if (int(!urls.isNull()) + int(!sitemap.isNull()) + int(!files.isEmpty()) != 1)
        throw UsageError{QStringLiteral(
            "check needs exactly one of --urls FILE, --sitemap FILE, --files FILE...")};
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

    TURLTaskInfoList list;
    struct Guard {
        TURLTaskInfoList &l;
        ~Guard() { FreeObjects(&l); }
    } guard{list};
    TImportOutcome imported;
    if (!urls.isNull())
        imported = ImportTextFile(list, urls, false);
    else if (!sitemap.isNull())
        imported = ImportSitemap(list, sitemap, false);
    else
        imported = ImportLocalFiles(list, files, false);
    if (imported.Status != isOk) {
        printErr(imported.Message);
        return ExitUsage;
    }
    if (imported.LimitReached) printErr(URLLimitMessage());
    if (!imported.Notice.isEmpty()) printErr(imported.Notice);
    if (settings.AlgVer != 2) settings.Endpoints = endpoints(givenEndpoints);

    TCliObserver observer(verbose, std::int32_t(list.size()));
    if (!imported.LogLine.isEmpty()) observer.LogLine(imported.LogLine, NowDateTime());
    TRunController controller(list, &observer);
    controller.SetSettings(settings);

    if (::pipe(SignalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    QSocketNotifier notifier(SignalPipe[0] >= 0 ? SignalPipe[0] : STDIN_FILENO,
                             QSocketNotifier::Read);
    notifier.setEnabled(SignalPipe[0] >= 0);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char b;
        [[maybe_unused]] const ssize_t n = ::read(SignalPipe[0], &b, 1);
        controller.Abort();
    });

    if (!list.isEmpty() && controller.Run(rvAll)) app.exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    QList<TURLTaskInfo *> rows(list.begin(), list.end());
    TRunController::SortByUniqueness(rows);
    if (!report.isNull()) {
        const QList<const TURLTaskInfo *> ordered(rows.begin(), rows.end());
        if (!writeOut(report, ReportBytes(ordered))) {
            printErr(_("Невозможно создать файл экспорта!"));
            return ExitFailure;
        }
    }
    if (!json.isNull() && !writeOut(json, tasksJson(list))) {
        printErr(QStringLiteral("cannot write %1").arg(json));
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace

const Command CheckCommand = {
    "check",
    R"(check (--urls FILE | --sitemap FILE | --files FILE...) [--threads N] [--delay MS]
          [--shingle-length N] [--stop-words on|off] [--alg 1|2] [--user-agent TEXT]
          [--endpoint URL --endpoint URL] [--report FILE] [--json FILE] [--lang ru|en] [--verbose]
    Checks a list of pages as the window's "Проверить URL" does: a text file
    of URLs (one a line), a sitemap, or local HTML/text files. Defaults: 5
    threads, 1500 ms between requests (0..100000 here), shingles of 6 words,
    stop words ignored, algorithm 1 (the plain-text service at the two
    --endpoint addresses, else those of Corvane.ini, else a service started
    inside the command; 2 is the local extraction), the "Corvane" user agent. Progress goes to stderr: a bar on a terminal,
    log lines otherwise or with --verbose. --report FILE (- for stdout) writes
    the CSV report in the end-of-check order, captions in --lang (default: by
    the system locale); --json FILE writes every task with its result, code,
    uniqueness and similarities. Ctrl+C aborts like "Отмена" and still writes
    what finished. Exit status 0 when the check ran; 2 for bad arguments or a
    list that cannot be read.)",
    runCheck,
};

} // namespace corvane::cli
