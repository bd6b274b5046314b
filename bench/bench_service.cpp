// Throughput of the plain-text service: corvane-plaintext started on a free
// loopback port, 100 KB pages posted as the form field "text" by two client
// threads. items_per_second is requests per second over all threads.
//
//   ServicePost         one kept-alive connection per client thread
//   ServiceClientCall   GetPlainTextFromService, a new connection per call, as
//                       the workers of a check send their pages
//   HtmlToPlainText     the conversion alone, in the benchmark's own process
//
// The page is the first 100 KB of the Node.js "fs" documentation page of
// Debian's nodejs-doc when present, else generated; $CORVANE_BENCH_PAGE names
// another file. $CORVANE_BENCH_SERVICE names a running service to use instead.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <QFile>

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/plaintextclient.h"
#include "net/CurlEasy.h"
#include "service/plaintext.h"

extern char **environ;

using namespace corvane;

namespace {

constexpr qsizetype PageBytes = 100 * 1024;

QByteArray loadPage() {
    const char *given = std::getenv("CORVANE_BENCH_PAGE");
    QFile f(given ? QString::fromLocal8Bit(given)
                  : QStringLiteral("/usr/share/doc/nodejs/api/fs.html"));
    QByteArray page;
    if (f.open(QIODevice::ReadOnly)) page = f.read(PageBytes);
    while (page.size() < PageBytes) // generated: sections of headings, paragraphs, lists and tables
        page += "<h2>Section heading</h2><p>Some <b>bold</b> text with a <a "
                "href=\"x.html\">link</a> and "
                "&amp; entities &lt;like&gt; these, in a paragraph of moderate "
                "length.</p><ul><li>first item</li>"
                "<li>second "
                "<code>item</code></li></ul><table><tr><td>cell</td><td>cell</td></tr></table>\n";
    page.truncate(PageBytes);
    return page;
}

const QByteArray Page = loadPage();
QString ServiceUrl;
pid_t ServicePid = 0;
std::thread StderrDrain;
TCurlGlobal CurlGlobal;

// Starts corvane-plaintext and reads its address from its first log line;
// its later log lines are read and dropped so that it never blocks on them.
bool StartService() {
    if (const char *url = std::getenv("CORVANE_BENCH_SERVICE")) {
        ServiceUrl = QString::fromLocal8Bit(url);
        return true;
    }
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const char *argv[] = {CORVANE_PLAINTEXT, "--listen", "127.0.0.1:0", nullptr};
    const int rc = posix_spawn(&ServicePid, CORVANE_PLAINTEXT, &actions, nullptr,
                               const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) return false;
    FILE *log = fdopen(fds[0], "r");
    char line[512];
    if (!std::fgets(line, sizeof line, log)) return false;
    const std::string first(line);
    const size_t at = first.find("http://");
    if (at == std::string::npos) return false;
    ServiceUrl = QString::fromStdString(first.substr(at, first.find_first_of(" \n", at) - at));
    StderrDrain = std::thread([log] {
        char buf[65536];
        while (std::fread(buf, 1, sizeof buf, log) > 0) {
        }
        std::fclose(log);
    });
    return true;
}

void StopService() {
    if (ServicePid > 0) {
        kill(ServicePid, SIGTERM);
        waitpid(ServicePid, nullptr, 0);
    }
    if (StderrDrain.joinable()) StderrDrain.join();
}

void BM_ServicePost(benchmark::State &state) {
    ICurlForm form = NewCurlForm();
    ICurlField field = NewCurlField();
    field->Name("text").ContentRaw(Page);
    form->Add(field);
    ICurl curl = NewCurl();
    curl->SetUrl(ServiceUrl).SetOpt(CURLOPT_POST, 1).SetForm(form).SwitchRecvToString();
    for (auto _ : state) {
        curl->Perform();
        if (curl->ResponseCode() != 200) {
            state.SkipWithError("the service did not answer 200");
            break;
        }
        benchmark::DoNotOptimize(curl->ResponseBody());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * Page.size());
}
BENCHMARK(BM_ServicePost)->Threads(2)->UseRealTime()->MinTime(3);

void BM_ServiceClientCall(benchmark::State &state) {
    const TPlainTextEndpoints endpoints{ServiceUrl, ServiceUrl};
    for (auto _ : state) {
        const TExtractResult r = GetPlainTextFromService(Page, endpoints);
        if (r.Code != 0) {
            state.SkipWithError("the service call failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * Page.size());
}
BENCHMARK(BM_ServiceClientCall)->Threads(2)->UseRealTime()->MinTime(3);

void BM_HtmlToPlainText(benchmark::State &state) {
    const QString html = QString::fromUtf8(Page);
    for (auto _ : state) benchmark::DoNotOptimize(HtmlToPlainText(html));
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * Page.size());
}
BENCHMARK(BM_HtmlToPlainText);

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (!StartService()) {
        std::fprintf(stderr, "corvane_bench_service: cannot start %s\n", CORVANE_PLAINTEXT);
        return 1;
    }
    std::fprintf(stderr, "service: %s, page: %lld bytes\n", qPrintable(ServiceUrl),
                 static_cast<long long>(Page.size()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    StopService();
    return 0;
}
