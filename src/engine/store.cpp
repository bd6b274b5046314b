#include "engine/store.h"

#include <cerrno>
#include <cstring>

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QtEndian>

#include <sqlite3.h>

#include "core/appdir.h"
#include "core/i18n.h"
#include "core/settings.h"

namespace corvane {

namespace {

// A batch is committed once it is this old, or this large; a timer commits
// what a slow check leaves behind.
constexpr std::int64_t BatchMs = 200;
constexpr std::int32_t BatchRows = 500;
// Another program writing the file may hold its lock this long.
constexpr int BusyMs = 2000;

// Each step takes the file one schema version up, in one transaction.
// clang-format off
const char *const Migrations[] = {
    // 0 -> 1
    "CREATE TABLE checks("
    "  id INTEGER PRIMARY KEY,"
    "  started TEXT NOT NULL,"
    "  ended TEXT,"
    "  source TEXT NOT NULL,"
    "  site TEXT NOT NULL,"
    "  settings TEXT NOT NULL,"
    "  state INTEGER NOT NULL,"
    "  pages INTEGER NOT NULL);"
    "CREATE TABLE pages("
    "  check_id INTEGER NOT NULL REFERENCES checks(id) ON DELETE CASCADE,"
    "  num INTEGER NOT NULL,"
    "  url TEXT NOT NULL,"
    "  result INTEGER,"
    "  error_code INTEGER,"
    "  canonical TEXT,"
    "  noindex INTEGER,"
    "  words INTEGER,"
    "  uniqueness REAL,"
    "  grp INTEGER,"
    "  representative INTEGER,"
    "  handled INTEGER,"
    "  template_share REAL);"
    "CREATE UNIQUE INDEX pages_num ON pages(check_id, num);"
    // The large columns apart: SQLite writes a whole row again on every
    // change, and the end of a check changes every page.
    "CREATE TABLE page_data("
    "  check_id INTEGER NOT NULL REFERENCES checks(id) ON DELETE CASCADE,"
    "  num INTEGER NOT NULL,"
    "  text TEXT,"
    "  hashes BLOB,"
    "  PRIMARY KEY(check_id, num));",
};
// clang-format on
static_assert(std::size(Migrations) == TCheckStore::SchemaVersion);

QString NowIso() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QString ColumnText(sqlite3_stmt *S, int Col) {
    const auto *p = reinterpret_cast<const char16_t *>(sqlite3_column_text16(S, Col));
    const int bytes = sqlite3_column_bytes16(S, Col);
    return p ? QString(reinterpret_cast<const QChar *>(p), bytes / 2) : QString();
}

void BindText(sqlite3_stmt *S, int Index, const QString &Text) {
    sqlite3_bind_text16(S, Index, Text.utf16(), int(Text.size() * 2), SQLITE_TRANSIENT);
}

// Finalises on every way out.
class TStatement {
public:
    explicit TStatement(sqlite3_stmt *S) : FS(S) {}
    ~TStatement() { sqlite3_finalize(FS); }
    TStatement(const TStatement &) = delete;
    TStatement &operator=(const TStatement &) = delete;
    sqlite3_stmt *get() const { return FS; }
    explicit operator bool() const { return FS != nullptr; }

private:
    sqlite3_stmt *FS;
};

// The layout of TInt64List::SaveToStream: count (int32), sort mode (first
// byte of four), the items; little-endian.
QByteArray HashBytes(const TInt64List &Hashes) {
    const std::int32_t count = Hashes.Count();
    QByteArray out(8 + qsizetype(count) * 8, '\0');
    qToLittleEndian<std::int32_t>(count, out.data());
    out[4] = char(Hashes.SortType());
    if (count) qToLittleEndian<std::int64_t>(Hashes.List(), count, out.data() + 8);
    return out;
}

bool NoRoom(int Errno) {
    return Errno == ENOSPC || Errno == EFBIG || Errno == EDQUOT;
}

} // namespace

QString StoreFailureMessage(const QString &Path, const QString &Reason) {
    return FormatMsg(N_("Хранилище проверок %s недоступно: %s. Проверка идёт в памяти, её "
                        "результаты не будут сохранены."),
                     {Path, Reason});
}

QString TCheckStore::DefaultPath() {
    return QFileInfo(SettingsFilePath()).absolutePath() + QStringLiteral("/Corvane.db");
}

TCheckStore::TCheckStore() = default;

TCheckStore::~TCheckStore() {
    Close();
}

void TCheckStore::Close() {
    if (FWriter.joinable()) {
        {
            std::lock_guard lock(FQueueLock);
            FStopWriter = true;
        }
        FQueueChanged.notify_all();
        FWriter.join();
    }
    FQueue.clear();
    FStopWriter = false;
    FInBatch = false;
    FFlushWanted = false;
    FWriteCode = FWriteErrno = 0;
    sqlite3_finalize(FSaveTask);
    sqlite3_finalize(FSaveData);
    FSaveTask = FSaveData = nullptr;
    if (FDb) sqlite3_close_v2(FDb);
    FDb = nullptr;
}

bool TCheckStore::Fail(int Code, const QString &Detail, int Errno) {
    // SQLite keeps the system's error only for some codes; a failed write
    // leaves it in errno.
    const int lastErrno = Errno >= 0 ? Errno : errno;
    QString reason;
    const int primary = Code & 0xFF;
    const int sysErrno = FDb ? sqlite3_system_errno(FDb) : 0;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        reason = _("файл повреждён или не является хранилищем проверок");
    else if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        reason = _("файл занят другой программой");
    else if (primary == SQLITE_READONLY || primary == SQLITE_PERM ||
             (primary == SQLITE_CANTOPEN && (sysErrno == EACCES || sysErrno == EROFS)))
        reason = _("файл доступен только для чтения");
    else if (primary == SQLITE_FULL ||
             (primary == SQLITE_IOERR && (NoRoom(sysErrno) || NoRoom(lastErrno))))
        reason = _("на диске нет места");
    else if (!Detail.isEmpty())
        reason = Detail;
    else
        reason = QString::fromUtf8(FDb ? sqlite3_errmsg(FDb) : sqlite3_errstr(Code));
    FError = StoreFailureMessage(FPath, reason);
    Close();
    return false;
}

bool TCheckStore::Exec(const char *Sql) {
    if (!FDb) return false;
    const int rc = sqlite3_exec(FDb, Sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK || Fail(rc);
}

sqlite3_stmt *TCheckStore::Prepare(const char *Sql) {
    if (!FDb) return nullptr;
    sqlite3_stmt *s = nullptr;
    const int rc = sqlite3_prepare_v2(FDb, Sql, -1, &s, nullptr);
    if (rc != SQLITE_OK) {
        Fail(rc);
        return nullptr;
    }
    return s;
}

bool TCheckStore::Open(const QString &Path, bool ReadOnly) {
    Close();
    FPath = Path;
    FError.clear();
    if (ReadOnly && !QFileInfo::exists(Path)) return Fail(SQLITE_CANTOPEN, _("файл не найден"));
    const int flags = ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    // The writer thread shares the connection (never at the same time).
    int rc =
        sqlite3_open_v2(Path.toUtf8().constData(), &FDb, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) return Fail(rc);
    sqlite3_extended_result_codes(FDb, 1);
    sqlite3_busy_timeout(FDb, BusyMs);
    // SQLite opens a file it may not write read-only without a word.
    if (!ReadOnly && sqlite3_db_readonly(FDb, "main") == 1) return Fail(SQLITE_READONLY);

    {
        TStatement version(Prepare("PRAGMA user_version"));
        if (!version) return false;
        rc = sqlite3_step(version.get());
        if (rc != SQLITE_ROW) return Fail(rc);
        FFoundVersion = sqlite3_column_int(version.get(), 0);
    }
    if (FFoundVersion > SchemaVersion)
        return Fail(SQLITE_ERROR, _("файл записан более новой версией Corvane"));
    if (ReadOnly) return FFoundVersion == SchemaVersion || Fail(SQLITE_CORRUPT);

    if (!Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA synchronous=NORMAL") ||
        !Exec("PRAGMA foreign_keys=ON"))
        return false;
    // Taking the write lock now finds another program's lock before a check
    // starts, not in its middle.
    if (!Exec("BEGIN IMMEDIATE")) return false;
    if (!Migrate()) return false;
    if (!Exec("COMMIT")) return false;

    // A crawl's pages join the check as they come back: the row is made then.
    FSaveTask = Prepare("INSERT INTO pages(check_id, num, url, result, error_code, canonical, "
                        "noindex, words) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                        "ON CONFLICT(check_id, num) DO UPDATE SET result=excluded.result, "
                        "error_code=excluded.error_code, canonical=excluded.canonical, "
                        "noindex=excluded.noindex, words=excluded.words, uniqueness=NULL, "
                        "grp=NULL, representative=NULL, handled=NULL, template_share=NULL");
    FSaveData = Prepare("INSERT OR REPLACE INTO page_data(check_id, num, text, hashes) "
                        "VALUES (?, ?, ?, ?)");
    if (!FSaveTask || !FSaveData) return false;
    FWriter = std::thread([this] { WriterLoop(); });
    return true;
}

// Inside the open transaction: every step from the file's version to ours.
bool TCheckStore::Migrate() {
    for (int v = FFoundVersion; v < SchemaVersion; ++v)
        if (!Exec(Migrations[v])) return false;
    if (FFoundVersion == SchemaVersion) return true;
    const QByteArray set = "PRAGMA user_version=" + QByteArray::number(SchemaVersion);
    return Exec(set.constData());
}

// The caller's side: the writer is idle once this returns true, so the
// caller may use the connection until it hands over the next page.
bool TCheckStore::CommitBatch() {
    if (!FDb) return false;
    if (!FWriter.joinable()) return true;
    int code, err;
    {
        std::unique_lock lock(FQueueLock);
        FFlushWanted = true;
        FQueueChanged.notify_all();
        FQueueChanged.wait(lock, [this] { return FWriteCode || (FQueue.empty() && !FInBatch); });
        FFlushWanted = false;
        code = FWriteCode;
        err = FWriteErrno;
    }
    return code == 0 || Fail(code, {}, err);
}

bool TCheckStore::Flush() {
    return CommitBatch();
}

void TCheckStore::WriterLoop() {
    std::int64_t batchStart = 0;
    std::int32_t batchRows = 0;
    std::unique_lock lock(FQueueLock);
    auto fail = [&](int Code) {
        FWriteErrno = errno;
        FWriteCode = Code;
        sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
        FInBatch = false;
        FQueue.clear();
        FQueueChanged.notify_all();
    };
    for (;;) {
        if (FWriteCode) {
            // Failed: nothing more is written; the caller reports it.
            FQueue.clear();
            if (FStopWriter) return;
            FQueueChanged.wait(lock);
            continue;
        }
        if (FQueue.empty()) {
            const bool due = FFlushWanted || FStopWriter || SteadyMs() - batchStart >= BatchMs;
            if (FInBatch && due) {
                const int rc = sqlite3_exec(FDb, "COMMIT", nullptr, nullptr, nullptr);
                if (rc != SQLITE_OK) {
                    fail(rc);
                    continue;
                }
                FInBatch = false;
            }
            FQueueChanged.notify_all();
            if (FStopWriter) return;
            if (FInBatch)
                FQueueChanged.wait_for(lock, std::chrono::milliseconds(BatchMs));
            else
                FQueueChanged.wait(lock);
            continue;
        }
        TPendingPage page = std::move(FQueue.front());
        FQueue.pop_front();
        if (!FInBatch) {
            const int rc = sqlite3_exec(FDb, "BEGIN", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                fail(rc);
                continue;
            }
            FInBatch = true;
            batchStart = SteadyMs();
            batchRows = 0;
        }
        lock.unlock();
        const int rc = WritePage(page);
        lock.lock();
        if (rc != SQLITE_DONE) {
            fail(rc);
            continue;
        }
        if (++batchRows >= BatchRows || SteadyMs() - batchStart >= BatchMs) {
            const int c = sqlite3_exec(FDb, "COMMIT", nullptr, nullptr, nullptr);
            if (c != SQLITE_OK) {
                fail(c);
                continue;
            }
            FInBatch = false;
        }
    }
}

std::int64_t TCheckStore::BeginCheck(const TURLTaskInfoList &List, const QString &Source,
                                     const QString &Site, const QString &Settings) {
    if (!CommitBatch() || !Exec("BEGIN")) return 0;
    {
        TStatement check(Prepare("INSERT INTO checks(started, source, site, settings, state, "
                                 "pages) VALUES (?, ?, ?, ?, 0, ?)"));
        if (!check) return 0;
        BindText(check.get(), 1, NowIso());
        BindText(check.get(), 2, Source);
        BindText(check.get(), 3, Site);
        BindText(check.get(), 4, Settings);
        sqlite3_bind_int(check.get(), 5, int(List.size()));
        const int rc = sqlite3_step(check.get());
        if (rc != SQLITE_DONE) return Fail(rc), 0;
    }
    const std::int64_t id = sqlite3_last_insert_rowid(FDb);
    TStatement page(Prepare("INSERT INTO pages(check_id, num, url) VALUES (?, ?, ?)"));
    if (!page) return 0;
    for (const TURLTaskInfo *t : List) {
        if (!t) continue;
        sqlite3_bind_int64(page.get(), 1, id);
        sqlite3_bind_int(page.get(), 2, t->Num);
        BindText(page.get(), 3, t->URL);
        const int rc = sqlite3_step(page.get());
        if (rc != SQLITE_DONE) return Fail(rc), 0;
        sqlite3_reset(page.get());
    }
    if (!Exec("COMMIT")) return 0;
    return id;
}

bool TCheckStore::SaveTask(std::int64_t Check, const TURLTaskInfo &Task) {
    if (!FDb || !Task.TaskResults || !FWriter.joinable()) return false;
    const TURLTaskResults &r = *Task.TaskResults;
    TPendingPage page;
    page.Check = Check;
    page.Num = Task.Num;
    page.URL = Task.URL;
    page.Result = r.TaskResult;
    page.ErrorCode = r.ErrorCode;
    page.Canonical = r.Signals.Canonical;
    page.NoIndex = r.Signals.NoIndex;
    page.Words = r.Signals.WordCount;
    page.Text = r.ExtractedText.Utf8(); // shared, not copied
    if (r.HashTable) page.Hashes = HashBytes(*r.HashTable);
    int code, err;
    {
        std::lock_guard lock(FQueueLock);
        code = FWriteCode;
        err = FWriteErrno;
        if (!code) FQueue.push_back(std::move(page));
    }
    if (code) return Fail(code, {}, err);
    FQueueChanged.notify_all();
    return true;
}

// On the writer thread.
int TCheckStore::WritePage(const TPendingPage &Page) {
    sqlite3_stmt *s = FSaveTask;
    sqlite3_bind_int64(s, 1, Page.Check);
    sqlite3_bind_int(s, 2, Page.Num);
    BindText(s, 3, Page.URL);
    sqlite3_bind_int(s, 4, Page.Result);
    sqlite3_bind_int(s, 5, Page.ErrorCode);
    BindText(s, 6, Page.Canonical);
    sqlite3_bind_int(s, 7, Page.NoIndex);
    sqlite3_bind_int(s, 8, Page.Words);
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) return rc;

    s = FSaveData;
    sqlite3_bind_int64(s, 1, Page.Check);
    sqlite3_bind_int(s, 2, Page.Num);
    sqlite3_bind_text(s, 3, Page.Text.constData(), int(Page.Text.size()), SQLITE_STATIC);
    if (Page.Hashes.isEmpty())
        sqlite3_bind_null(s, 4);
    else
        sqlite3_bind_blob(s, 4, Page.Hashes.constData(), int(Page.Hashes.size()), SQLITE_STATIC);
    rc = sqlite3_step(s);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return rc;
}

bool TCheckStore::FinishCheck(std::int64_t Check, const TURLTaskInfoList &List, TCheckState State) {
    if (!CommitBatch() || !Exec("BEGIN")) return false;
    {
        TStatement s(Prepare("UPDATE pages SET uniqueness=?, grp=?, representative=?, handled=?, "
                             "template_share=? WHERE check_id=? AND num=?"));
        if (!s) return false;
        for (const TURLTaskInfo *t : List) {
            if (!t || !t->TaskResults) continue;
            const TURLTaskResults &r = *t->TaskResults;
            sqlite3_bind_double(s.get(), 1, r.Uniqueness);
            sqlite3_bind_int(s.get(), 2, r.Group);
            sqlite3_bind_int(s.get(), 3, r.Representative);
            sqlite3_bind_int(s.get(), 4, r.GroupHandled);
            sqlite3_bind_double(s.get(), 5, r.TemplateShare);
            sqlite3_bind_int64(s.get(), 6, Check);
            sqlite3_bind_int(s.get(), 7, t->Num);
            const int rc = sqlite3_step(s.get());
            if (rc != SQLITE_DONE) return Fail(rc);
            sqlite3_reset(s.get());
        }
    }
    {
        // A crawl grew the list as it went.
        TStatement s(Prepare("UPDATE checks SET pages=? WHERE id=?"));
        if (!s) return false;
        std::int64_t pages = 0;
        for (const TURLTaskInfo *t : List) pages += t != nullptr;
        sqlite3_bind_int64(s.get(), 1, pages);
        sqlite3_bind_int64(s.get(), 2, Check);
        const int rc = sqlite3_step(s.get());
        if (rc != SQLITE_DONE) return Fail(rc);
    }
    if (!SetState(Check, State)) return false;
    return Exec("COMMIT");
}

bool TCheckStore::SetState(std::int64_t Check, TCheckState State) {
    if (!CommitBatch()) return false;
    TStatement s(Prepare("UPDATE checks SET state=?, ended=? WHERE id=?"));
    if (!s) return false;
    sqlite3_bind_int(s.get(), 1, State);
    if (State == csRunning)
        sqlite3_bind_null(s.get(), 2);
    else
        BindText(s.get(), 2, NowIso());
    sqlite3_bind_int64(s.get(), 3, Check);
    const int rc = sqlite3_step(s.get());
    return rc == SQLITE_DONE || Fail(rc);
}

namespace {
constexpr const char *CheckColumns =
    "SELECT c.id, c.started, c.ended, c.source, c.site, c.settings, c.state, c.pages, "
    "count(p.result), sum(p.result IS NOT NULL AND p.result<>1), "
    "sum(p.error_code=0 AND p.uniqueness>85 AND p.uniqueness<=100), "
    "sum(p.error_code=0 AND p.uniqueness>=65 AND p.uniqueness<=85), "
    "sum(p.error_code=0 AND p.uniqueness>=0 AND p.uniqueness<65), "
    "avg(CASE WHEN p.uniqueness>=0 THEN p.uniqueness END) "
    "FROM checks c LEFT JOIN pages p ON p.check_id=c.id ";

TStoredCheck ReadCheck(sqlite3_stmt *S) {
    TStoredCheck c;
    c.Id = sqlite3_column_int64(S, 0);
    c.Started = ColumnText(S, 1);
    c.Ended = ColumnText(S, 2);
    c.Source = ColumnText(S, 3);
    c.Site = ColumnText(S, 4);
    c.Settings = ColumnText(S, 5);
    c.State = TCheckState(sqlite3_column_int(S, 6));
    c.Pages = sqlite3_column_int(S, 7);
    c.Done = sqlite3_column_int(S, 8);
    c.Failed = sqlite3_column_int(S, 9);
    c.Good = sqlite3_column_int(S, 10);
    c.Medium = sqlite3_column_int(S, 11);
    c.Bad = sqlite3_column_int(S, 12);
    c.MeanUniqueness =
        sqlite3_column_type(S, 13) == SQLITE_NULL ? -1.0 : sqlite3_column_double(S, 13);
    return c;
}
} // namespace

std::vector<TStoredCheck> TCheckStore::Checks() {
    std::vector<TStoredCheck> out;
    if (!CommitBatch()) return out;
    const QByteArray sql = QByteArray(CheckColumns) + "GROUP BY c.id ORDER BY c.id";
    TStatement s(Prepare(sql.constData()));
    if (!s) return out;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) out.push_back(ReadCheck(s.get()));
    if (rc != SQLITE_DONE) Fail(rc);
    return out;
}

std::optional<TStoredCheck> TCheckStore::Check(std::int64_t Id) {
    if (!CommitBatch()) return std::nullopt;
    const QByteArray sql = QByteArray(CheckColumns) + "WHERE c.id=? GROUP BY c.id";
    TStatement s(Prepare(sql.constData()));
    if (!s) return std::nullopt;
    sqlite3_bind_int64(s.get(), 1, Id);
    const int rc = sqlite3_step(s.get());
    if (rc == SQLITE_ROW) return ReadCheck(s.get());
    if (rc != SQLITE_DONE) Fail(rc);
    return std::nullopt;
}

std::optional<TStoredCheck> TCheckStore::LastUnfinished(bool Aborted) {
    if (!CommitBatch()) return std::nullopt;
    TStatement s(Prepare("SELECT id, state FROM checks ORDER BY id DESC LIMIT 1"));
    if (!s) return std::nullopt;
    if (sqlite3_step(s.get()) != SQLITE_ROW) return std::nullopt;
    const auto state = TCheckState(sqlite3_column_int(s.get(), 1));
    if (state == csFinished || (state == csAborted && !Aborted)) return std::nullopt;
    return Check(sqlite3_column_int64(s.get(), 0));
}

bool TCheckStore::LoadTasks(std::int64_t Check, TURLTaskInfoList &List, bool WithText,
                            bool WithHashes) {
    if (!CommitBatch()) return false;
    TStatement s(
        Prepare("SELECT p.num, p.url, p.result, p.error_code, p.canonical, p.noindex, p.words, "
                "p.uniqueness, p.grp, p.representative, p.handled, p.template_share, "
                "CASE WHEN ? THEN d.text END, CASE WHEN ? THEN d.hashes END, length(d.text) "
                "FROM pages p LEFT JOIN page_data d ON d.check_id=p.check_id AND d.num=p.num "
                "WHERE p.check_id=? ORDER BY p.num"));
    if (!s) return false;
    sqlite3_bind_int(s.get(), 1, WithText);
    sqlite3_bind_int(s.get(), 2, WithHashes);
    sqlite3_bind_int64(s.get(), 3, Check);
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        auto *t = new TURLTaskInfo(ColumnText(s.get(), 1), sqlite3_column_int(s.get(), 0));
        List.append(t);
        if (sqlite3_column_type(s.get(), 2) == SQLITE_NULL) continue;
        t->InitResults();
        TURLTaskResults &r = *t->TaskResults;
        r.TaskResult = TURLTaskResult(sqlite3_column_int(s.get(), 2));
        r.ErrorCode = sqlite3_column_int(s.get(), 3);
        r.Signals.Canonical = ColumnText(s.get(), 4);
        r.Signals.NoIndex = sqlite3_column_int(s.get(), 5) != 0;
        r.Signals.WordCount = sqlite3_column_int(s.get(), 6);
        if (sqlite3_column_type(s.get(), 7) != SQLITE_NULL) {
            r.Uniqueness = sqlite3_column_double(s.get(), 7);
            r.Group = sqlite3_column_int(s.get(), 8);
            r.Representative = sqlite3_column_int(s.get(), 9);
            r.GroupHandled = sqlite3_column_int(s.get(), 10) != 0;
            r.TemplateShare = sqlite3_column_double(s.get(), 11);
        }
        if (WithText) {
            const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(s.get(), 12));
            r.ExtractedText = QString::fromUtf8(p, sqlite3_column_bytes(s.get(), 12));
        } else {
            // Whether a page had text decides its uniqueness: the length stays.
            r.ExtractedText = TCompactText::ReleasedOfLength(sqlite3_column_int(s.get(), 14));
        }
        if (WithHashes && sqlite3_column_type(s.get(), 13) != SQLITE_NULL) {
            QByteArray bytes =
                QByteArray::fromRawData(static_cast<const char *>(sqlite3_column_blob(s.get(), 13)),
                                        sqlite3_column_bytes(s.get(), 13));
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            r.HashTable = std::make_unique<TShingleHashTable>();
            try {
                r.HashTable->LoadFromStream(buffer, false);
            } catch (const std::exception &) {
                return Fail(SQLITE_CORRUPT);
            }
        }
    }
    return rc == SQLITE_DONE || Fail(rc);
}

bool TCheckStore::LoadHashes(std::int64_t Check, TURLTaskInfoList &List) {
    if (!CommitBatch()) return false;
    TStatement s(Prepare("SELECT hashes FROM page_data WHERE check_id=? AND num=?"));
    if (!s) return false;
    for (TURLTaskInfo *t : List) {
        if (!t || !t->TaskResults || t->TaskResults->HashTable) continue;
        sqlite3_bind_int64(s.get(), 1, Check);
        sqlite3_bind_int(s.get(), 2, t->Num);
        const int rc = sqlite3_step(s.get());
        if (rc == SQLITE_ROW && sqlite3_column_type(s.get(), 0) != SQLITE_NULL) {
            QByteArray bytes =
                QByteArray::fromRawData(static_cast<const char *>(sqlite3_column_blob(s.get(), 0)),
                                        sqlite3_column_bytes(s.get(), 0));
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            t->TaskResults->HashTable = std::make_unique<TShingleHashTable>();
            try {
                t->TaskResults->HashTable->LoadFromStream(buffer, false);
            } catch (const std::exception &) {
                return Fail(SQLITE_CORRUPT);
            }
        } else if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return Fail(rc);
        sqlite3_reset(s.get());
    }
    return true;
}

std::optional<QString> TCheckStore::LoadText(std::int64_t Check, std::int32_t Num) {
    if (!CommitBatch()) return std::nullopt;
    TStatement s(Prepare("SELECT text FROM page_data WHERE check_id=? AND num=?"));
    if (!s) return std::nullopt;
    sqlite3_bind_int64(s.get(), 1, Check);
    sqlite3_bind_int(s.get(), 2, Num);
    const int rc = sqlite3_step(s.get());
    if (rc != SQLITE_ROW) {
        if (rc != SQLITE_DONE) Fail(rc);
        return std::nullopt;
    }
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(s.get(), 0));
    return QString::fromUtf8(p, sqlite3_column_bytes(s.get(), 0));
}

bool TCheckStore::Uniqueness(std::int64_t Check, TUniquenessByURL &Out, QStringList *URLs) {
    if (!CommitBatch()) return false;
    TStatement s(Prepare("SELECT url, uniqueness FROM pages WHERE check_id=? ORDER BY num"));
    if (!s) return false;
    sqlite3_bind_int64(s.get(), 1, Check);
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        const QString url = ColumnText(s.get(), 0);
        Out.insert(URLKey(url), sqlite3_column_type(s.get(), 1) == SQLITE_NULL
                                    ? -1.0
                                    : sqlite3_column_double(s.get(), 1));
        if (URLs) URLs->append(url);
    }
    return rc == SQLITE_DONE || Fail(rc);
}

} // namespace corvane
