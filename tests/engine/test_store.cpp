// The store of checks on a real SQLite file: what a check writes comes back
// exactly, from another connection, and the file carries its schema.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "core/shingles.h"
#include "engine/store.h"

using namespace corvane;

namespace {

QString Pragma(const QString &Path, const char *Sql) {
    sqlite3 *db = nullptr;
    QString out;
    sqlite3_open_v2(Path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, Sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

TEST(EngineStore, CheckComesBackAsWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.db"));
    const QString text = QStringLiteral("Über die Flüsse und Seen, ein Text mit Umlauten 😀");
    TOwnedTaskList list;
    for (int n = 1; n <= 3; ++n)
        list.append(new TURLTaskInfo(QStringLiteral("https://a.example/%1").arg(n), n));
    std::int64_t id = 0;
    {
        TCheckStore store;
        ASSERT_TRUE(store.Open(path)) << store.Error().toStdString();
        EXPECT_EQ(store.FoundVersion(), 0);
        id = store.BeginCheck(list, QStringLiteral("--urls x"), QStringLiteral("a.example"),
                              QStringLiteral("{}"));
        ASSERT_GT(id, 0);
        list[0]->InitResults();
        TURLTaskResults &ok = *list[0]->TaskResults;
        ok.TaskResult = trOk;
        ok.ExtractedText = text;
        ok.HashTable = BuildShingles(text, u"", 3, false);
        ok.Signals = {QStringLiteral("https://a.example/c"), true, 12};
        list[1]->InitResults();
        list[1]->TaskResults->TaskResult = trHTTPError;
        list[1]->TaskResults->ErrorCode = 404;
        ASSERT_TRUE(store.SaveTask(id, *list[0]));
        ASSERT_TRUE(store.SaveTask(id, *list[1]));
        // Closed without a flush: the batch is committed on the way out.
    }
    EXPECT_EQ(Pragma(path, "PRAGMA user_version"), QString::number(TCheckStore::SchemaVersion));
    EXPECT_EQ(Pragma(path, "PRAGMA journal_mode"), QStringLiteral("wal"));

    TCheckStore store;
    ASSERT_TRUE(store.Open(path));
    EXPECT_EQ(store.FoundVersion(), TCheckStore::SchemaVersion);
    const std::optional<TStoredCheck> last = store.LastUnfinished(false);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Id, id);
    EXPECT_EQ(last->Pages, 3);
    EXPECT_EQ(last->Done, 2);
    EXPECT_EQ(last->Failed, 1);
    EXPECT_EQ(last->Source, QStringLiteral("--urls x"));

    TOwnedTaskList loaded;
    ASSERT_TRUE(store.LoadTasks(id, loaded, true, true));
    ASSERT_EQ(loaded.size(), 3);
    const TURLTaskResults &ok = *loaded[0]->TaskResults;
    EXPECT_EQ(loaded[0]->URL, list[0]->URL);
    EXPECT_EQ(ok.TaskResult, trOk);
    EXPECT_EQ(ok.ExtractedText.Text(), text);
    ASSERT_TRUE(ok.HashTable);
    const TShingleHashTable &want = *list[0]->TaskResults->HashTable;
    ASSERT_EQ(ok.HashTable->Count(), want.Count());
    EXPECT_EQ(ok.HashTable->SortType(), want.SortType());
    for (std::int32_t i = 0; i < want.Count(); ++i) EXPECT_EQ(ok.HashTable->Get(i), want.Get(i));
    EXPECT_EQ(ok.Signals.Canonical, QStringLiteral("https://a.example/c"));
    EXPECT_TRUE(ok.Signals.NoIndex);
    EXPECT_EQ(ok.Signals.WordCount, 12);
    EXPECT_EQ(ok.Uniqueness, -1.0); // not computed yet
    EXPECT_EQ(loaded[1]->TaskResults->ErrorCode, 404);
    EXPECT_FALSE(loaded[1]->TaskResults->HashTable);
    EXPECT_FALSE(loaded[2]->TaskResults);

    // Without texts the length survives: whether a page had text decides
    // its uniqueness.
    TOwnedTaskList bare;
    ASSERT_TRUE(store.LoadTasks(id, bare, false, false));
    EXPECT_FALSE(bare[0]->TaskResults->ExtractedText.isEmpty());
    EXPECT_TRUE(bare[1]->TaskResults->ExtractedText.isEmpty());

    list[0]->TaskResults->Uniqueness = 70;
    list[0]->TaskResults->Group = 1;
    list[1]->TaskResults->Uniqueness = 0;
    ASSERT_TRUE(store.FinishCheck(id, list, csFinished));
    EXPECT_FALSE(store.LastUnfinished(true));
    const std::vector<TStoredCheck> all = store.Checks();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].State, csFinished);
    EXPECT_FALSE(all[0].Ended.isEmpty());
    EXPECT_EQ(all[0].Medium, 1); // the 404 counts in no grade
    EXPECT_EQ(all[0].Bad, 0);
    EXPECT_DOUBLE_EQ(all[0].MeanUniqueness, 35);
    TUniquenessByURL before;
    ASSERT_TRUE(store.Uniqueness(id, before));
    EXPECT_EQ(before.value(URLKey(list[0]->URL)), 70);
    EXPECT_EQ(before.value(URLKey(list[2]->URL)), -1);
}

TEST(EngineStore, ReadOnlyOpenOfAMissingFileCreatesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("none.db"));
    TCheckStore store;
    EXPECT_FALSE(store.Open(path, true));
    EXPECT_TRUE(store.Error().contains(path));
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
