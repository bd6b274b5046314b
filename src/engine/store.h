// The store of checks: one SQLite file (WAL) that keeps every check as it
// runs, so a check survives a crash and can be continued, and past checks
// can be listed, opened and compared. A page's outcome, text, hashes and
// signals are written when its worker hands it back, many pages to one
// transaction; the uniqueness and the groups when the check ends. The
// similarities are not kept: they are recomputed from the hashes.
//
// Any failure of the file (damaged, locked by another program, read-only, a
// full disk, made by a newer Corvane) closes the store with a message and
// writes nothing more: the check goes on in memory, and what the file held
// stays as it was.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <QHash>
#include <QString>
#include <QStringList>

#include "engine/typeslib.h"

struct sqlite3;
struct sqlite3_stmt;

namespace corvane {

enum TCheckState : std::uint8_t { csRunning = 0, csFinished = 1, csAborted = 2 };

// One check as the history lists it.
struct TStoredCheck {
    std::int64_t Id = 0;
    QString Started; // ISO 8601, UTC
    QString Ended;   // empty while running
    QString Source;
    QString Site;
    QString Settings; // the run settings, JSON
    TCheckState State = csRunning;
    std::int32_t Pages = 0;  // in the list
    std::int32_t Done = 0;   // with a result
    std::int32_t Failed = 0; // with a result other than trOk
    std::int32_t Good = 0, Medium = 0, Bad = 0;
    double MeanUniqueness = -1; // of the pages with a uniqueness; -1: none
};

// A page of another check, for a comparison: its uniqueness (-1: none).
using TUniquenessByURL = QHash<QString, double>; // URLKey -> uniqueness

class TCheckStore {
public:
    // The schema this build writes; the file keeps its own in user_version.
    static constexpr int SchemaVersion = 1;
    // The store beside the settings file.
    static QString DefaultPath();

    TCheckStore();
    ~TCheckStore();
    TCheckStore(const TCheckStore &) = delete;
    TCheckStore &operator=(const TCheckStore &) = delete;

    // Opens the file (created when missing) and brings its schema up to
    // date. False with Error() when it cannot be used. ReadOnly opens an
    // existing file for the history only.
    bool Open(const QString &Path, bool ReadOnly = false);
    bool IsOpen() const { return FDb != nullptr; }
    const QString &Path() const { return FPath; }
    // The last failure, translated, with the store's path and the reason.
    const QString &Error() const { return FError; }
    // The schema of the file as found when opened (0: new file).
    int FoundVersion() const { return FFoundVersion; }

    // A new running check with every task of List (no results).
    std::int64_t BeginCheck(const TURLTaskInfoList &List, const QString &Source,
                            const QString &Site, const QString &Settings);
    // The task's results, written by the store's own thread and committed
    // with the pages handed back near it, so that the thread that runs the
    // check never waits for the file. False when an earlier write failed.
    bool SaveTask(std::int64_t Check, const TURLTaskInfo &Task);
    // The uniqueness, groups and template share of every task with results,
    // and the check's end and state.
    bool FinishCheck(std::int64_t Check, const TURLTaskInfoList &List, TCheckState State);
    bool SetState(std::int64_t Check, TCheckState State);
    // Commits what SaveTask has written so far.
    bool Flush();

    std::vector<TStoredCheck> Checks();
    std::optional<TStoredCheck> Check(std::int64_t Id);
    // The newest check, when it is not finished (running or, with Aborted,
    // also aborted).
    std::optional<TStoredCheck> LastUnfinished(bool Aborted);
    // The check's tasks in list order, with their results where there are
    // some (texts and hashes when asked for).
    bool LoadTasks(std::int64_t Check, TURLTaskInfoList &List, bool WithText, bool WithHashes);
    // The hash tables of the list's tasks with results, read back.
    bool LoadHashes(std::int64_t Check, TURLTaskInfoList &List);
    // The text of one task.
    std::optional<QString> LoadText(std::int64_t Check, std::int32_t Num);
    bool Uniqueness(std::int64_t Check, TUniquenessByURL &Out, QStringList *URLs = nullptr);

private:
    // A page on its way to the file.
    struct TPendingPage {
        std::int64_t Check = 0;
        std::int32_t Num = 0;
        QString URL;
        int Result = 0;
        int ErrorCode = 0;
        QString Canonical;
        bool NoIndex = false;
        int Words = -1;
        QByteArray Text;
        QByteArray Hashes; // empty: no hash table
    };

    bool Exec(const char *Sql);
    sqlite3_stmt *Prepare(const char *Sql);
    bool Fail(int Code, const QString &Detail = {}, int Errno = -1);
    bool Migrate();
    // Waits until every page handed to SaveTask is committed.
    bool CommitBatch();
    void Close();
    void WriterLoop();
    int WritePage(const TPendingPage &Page); // an SQLite code

    sqlite3 *FDb = nullptr;
    QString FPath;
    QString FError;
    int FFoundVersion = 0;
    sqlite3_stmt *FSaveTask = nullptr;
    sqlite3_stmt *FSaveData = nullptr;

    // The writer thread and what it shares with the caller, under FQueueLock.
    std::thread FWriter;
    std::mutex FQueueLock;
    std::condition_variable FQueueChanged;
    std::deque<TPendingPage> FQueue;
    bool FInBatch = false;
    bool FFlushWanted = false;
    bool FStopWriter = false;
    int FWriteCode = 0; // the writer's failure (0: none) and its errno
    int FWriteErrno = 0;
};

// The translated message of a store that cannot be used: its path and reason.
QString StoreFailureMessage(const QString &Path, const QString &Reason);

} // namespace corvane
