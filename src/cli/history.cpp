// corvane-cli history: the checks of a store, oldest first.
#include <QFileInfo>

#include "cli/cli.h"
#include "core/format.h"
#include "engine/store.h"

namespace corvane::cli {

namespace {

const char *StateName(TCheckState State) {
    switch (State) {
    case csRunning:
        return "unfinished";
    case csFinished:
        return "finished";
    case csAborted:
        return "aborted";
    }
    return "?";
}

int runHistory(const QStringList &argv) {
    Args args(argv);
    const QString path = args.value(QStringLiteral("--store"), TCheckStore::DefaultPath());
    const QStringList rest = args.positionals();
    if (!rest.isEmpty())
        throw UsageError{QStringLiteral("unexpected argument \"%1\"").arg(rest.front())};
    // Read only: listing never changes the file, whatever state it is in.
    TCheckStore store;
    if (!store.Open(path, true)) {
        printErr(store.Error());
        return ExitFailure;
    }
    QString out = QStringLiteral(
        "id\tstarted\tstate\tpages\tdone\tfailed\tgood\tmedium\tbad\tmean\tsource\n");
    for (const TStoredCheck &c : store.Checks()) {
        out += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\t%9\t")
                   .arg(c.Id)
                   .arg(c.Started, QLatin1StringView(StateName(c.State)))
                   .arg(c.Pages)
                   .arg(c.Done)
                   .arg(c.Failed)
                   .arg(c.Good)
                   .arg(c.Medium)
                   .arg(c.Bad);
        out += (c.MeanUniqueness < 0 ? QStringLiteral("-")
                                     : QString::number(c.MeanUniqueness, 'f', 2)) +
               u'\t' + c.Source + u'\n';
    }
    if (!store.IsOpen()) {
        printErr(store.Error());
        return ExitFailure;
    }
    printOut(out);
    return ExitOk;
}

} // namespace

const Command HistoryCommand = {
    "history",
    R"(history [--store FILE]
    Lists the checks kept in the store (default: Corvane.db beside
    Corvane.ini), oldest first, one a line, fields separated by tabs: number
    (for check --compare-with), start time (UTC), state (finished, aborted,
    unfinished), pages listed, pages done, pages failed, pages with good,
    medium and bad uniqueness, mean uniqueness, and the list's source. The
    file is opened read-only.)",
    runHistory,
};

} // namespace corvane::cli
