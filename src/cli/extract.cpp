// corvane-cli extract: the text that a check takes from one page, by the
// plain-text service or by the local significant-text extraction.
#include <optional>

#include "cli/cli.h"
#include "core/format.h"
#include "core/htmltotext.h"
#include "core/i18n.h"
#include "core/plaintextclient.h"
#include "core/shingles.h"
#include "engine/localpage.h"
#include "engine/worker.h"
#include "net/pagetransfer.h"
#include "service/endpoints.h"

namespace corvane::cli {

namespace {

bool isWebAddress(const QString &source) {
    return source.startsWith(QLatin1StringView("http://"), Qt::CaseInsensitive) ||
           source.startsWith(QLatin1StringView("https://"), Qt::CaseInsensitive);
}

int runExtract(const QStringList &argv) {
    Args args(argv);
    const bool raw = args.flag(QStringLiteral("--raw"));
    const int alg = args.intValue(QStringLiteral("--alg"), 1, 1, 2);
    const QStringList givenEndpoints = args.values(QStringLiteral("--endpoint"));
    const QString userAgent = args.value(QStringLiteral("--user-agent"));
    const QStringList sources = args.positionals();
    if (sources.size() != 1) throw UsageError{QStringLiteral("extract needs one file or URL")};
    if (!givenEndpoints.isEmpty() && givenEndpoints.size() != 2)
        throw UsageError{
            QStringLiteral("--endpoint must be given twice (two service addresses) or not at all")};
    if (!givenEndpoints.isEmpty() && alg == 2)
        throw UsageError{
            QStringLiteral("--endpoint is for the plain-text service algorithm (--alg 1)")};

    const TCurlGlobal curlGlobal;
    QString source = sources.front();
    QByteArray page;
    if (isWebAddress(source)) {
        // The download of a check's worker, its outcome and its error line.
        TPageResponse got = FetchPage({source, userAgent, {}});
        if (const std::optional<TDownloadFailure> failed = DownloadFailure(1, got)) {
            printErr(failed->LogLine);
            return ExitHttp;
        }
        page = std::move(got.Body);
    } else {
        if (source.startsWith(QLatin1StringView("file://"), Qt::CaseInsensitive))
            source = source.mid(7);
        // The page a check takes from the same file.
        TLocalPage got = ReadLocalPage(source);
        if (got.Status != TLocalPage::lpOk)
            throw UsageError{QStringLiteral("cannot read %1: %2")
                                 .arg(source, got.Status == TLocalPage::lpMissing
                                                  ? QStringLiteral("no such file")
                                                  : got.Error)};
        page = std::move(got.Page);
    }

    TExtractResult result;
    if (alg == 2) {
        result = ExtractSignificantText(page);
    } else {
        QString error;
        const TPlainTextEndpoints endpoints =
            ResolvePlainTextEndpoints(givenEndpoints, SettingsFilePath(), &error);
        if (endpoints.First.isEmpty()) {
            printErr(QStringLiteral("corvane-cli: ") + error);
            return ExitFailure;
        }
        result = GetPlainTextFromService(page, endpoints);
        if (result.Code < 0) {
            printErr(FormatMsg(N_("URL %d: ОШИБКА анализа страницы: %d"), {1, result.Code}));
            printErr(result.Text);
            return ExitFailure;
        }
    }
    if (!raw) NormalizeText(result.Text);
    printOut(result.Text);
    return ExitOk;
}

} // namespace

const Command ExtractCommand = {
    "extract",
    R"(extract [--alg 1|2] [--raw] [--endpoint URL --endpoint URL]
        [--user-agent TEXT] SOURCE
    The text of one page as a check takes it. SOURCE is a local file (its
    bytes are the page) or an http(s) URL, downloaded as a check downloads it:
    the user agent TEXT or the default Firefox one, certificate checks off,
    redirects followed with a Referer; only status 200 gives a page.
    --alg 1 (the default) sends the page to the plain-text service: the two
    --endpoint URLs, else plaintext-endpoint-1/2 of Corvane.ini beside the
    program, else a service started inside corvane-cli. --alg 2 is the local
    extraction of significant text: headings, and the lines of paragraphs,
    list items and pre-formatted blocks that hold at least five words. Either
    way the charset comes from the page's <meta http-equiv> element (UTF-8
    when there is none). Prints the text that a check would store for the
    page, i.e. normalised; with --raw, the text before normalisation. Output
    is UTF-8, lines separated by CR LF, with no line break added at the end.
    Exit status 3 when the page cannot be downloaded (the check's error line
    goes to standard error), 1 when the plain-text service fails three times,
    2 when the file cannot be read or for bad arguments.)",
    runExtract,
};

} // namespace corvane::cli
