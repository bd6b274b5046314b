// The result list of the main window at its limit: pasting 10 000 URLs into
// the window (filter, duplicate test, rows, repaint) and sorting 10 000
// checked rows by a header click, on the offscreen platform.
#include <QApplication>
#include <QClipboard>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "core/appdir.h"
#include "engine/urlimport.h"
#include "ui/main/mainwnd.h"
#include "ui/main/urlcommands.h"
#include "ui/main/urllist.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

QString Urls(int Count) {
    QString Text;
    for (int i = 0; i < Count; ++i)
        Text += QStringLiteral("https://www.example.com/catalog/section-%1/item-%2.html\r\n")
                    .arg(i % 37)
                    .arg(i);
    return Text;
}

struct TWindow {
    TWindow() {
        SetAppDir(Dir.path());
        W.SetNewsEnabled(false);
        W.resize(985, 750);
        W.show();
        QCoreApplication::processEvents();
    }
    QTemporaryDir Dir;
    TfmMain W;
};

void BM_PasteTenThousandURLs(benchmark::State &State) {
    TWindow T;
    QGuiApplication::clipboard()->setText(Urls(MaxURLCount));
    for (auto _ : State) {
        T.W.URLCommands()->btInsertURLs4ClipClick();
        QCoreApplication::processEvents(); // the list is painted
        if (T.W.Tasks()->size() != MaxURLCount) State.SkipWithError("wrong count");
    }
}
BENCHMARK(BM_PasteTenThousandURLs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SortTenThousandRows(benchmark::State &State) {
    TWindow T;
    QGuiApplication::clipboard()->setText(Urls(MaxURLCount));
    T.W.URLCommands()->btInsertURLs4ClipClick();
    QRandomGenerator Random(7);
    for (TURLTaskInfo *Task : *T.W.Tasks()) {
        Task->InitResults();
        const bool Failed = Random.bounded(10) == 0;
        Task->TaskResults->TaskResult = Failed ? trHTTPError : trOk;
        Task->TaskResults->ErrorCode = Failed ? 404 : 0;
        Task->TaskResults->Uniqueness = Random.bounded(10000) / 100.0;
    }
    TURLListView *View = T.W.URLCommands()->View();
    const int Column = int(State.range(0));
    for (auto _ : State) {
        View->vtURLsMHeaderClick(Column); // the direction flips at every click
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_SortTenThousandRows)
    ->Arg(ucUniqueness)
    ->Arg(ucURL)
    ->Arg(ucCode)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
