// The result list and the commands around it, driven offscreen with a small
// host in place of the window (the window's own wiring is tested in test_urlpage.cpp).
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "common/TestDialogs.h"
#include "core/appdir.h"
#include "core/i18n.h"
#include "engine/urlimport.h"
#include "ui/common/dialogs.h"
#include "ui/main/urlcommands.h"
#include "ui/main/urllist.h"

using namespace corvane;
using namespace corvane::ui;

namespace {

struct THost : TURLPageHost {
    TURLTaskInfoList *Tasks() const override { return const_cast<TOwnedTaskList *>(&List); }
    bool ImportNoClear() const override { return NoClear; }
    bool CheckRunning() const override { return Running; }
    void RefreshAfterListChange() override { ++Refreshes; }
    void AddLogLine(const QString &Text) override { Log << Text; }
    void ShowProgress(int Maximum) override {
        ProgressVisible = true;
        ProgressSteps << qMakePair(-1, Maximum);
    }
    void SetProgress(int Position, int Maximum) override {
        ProgressSteps << qMakePair(Position, Maximum);
    }
    void HideProgress() override { ProgressVisible = false; }
    void RunCheck(TRunVariant Variant, const QList<std::int32_t> &Nums) override {
        Runs << qMakePair(int(Variant), Nums);
    }
    QWidget *DialogParent() override { return &Parent; }

    TOwnedTaskList List;
    bool NoClear = false, Running = false, ProgressVisible = false;
    int Refreshes = 0;
    QStringList Log;
    QList<QPair<int, int>> ProgressSteps;
    QList<QPair<int, QList<std::int32_t>>> Runs;
    QWidget Parent;
};

// A list view with its commands over a host's task list.
struct TPage {
    TPage() : View(new TURLListView(&Host.Parent)), Commands(Host, View) {
        SetCatalogLanguage(QStringLiteral("ru")); // an earlier window may have left another

        View->ListModel()->SetTasks(&Host.List);
        View->resize(800, 400);
    }
    void Add(const QString &URL, TURLTaskResult Result = trUndefined, int Code = 0,
             double Uniqueness = -1, const QString &Text = QString()) {
        auto *T = new TURLTaskInfo(URL, std::int32_t(Host.List.size() + 1));
        if (Result != trUndefined) {
            T->InitResults();
            T->TaskResults->TaskResult = Result;
            T->TaskResults->ErrorCode = Code;
            T->TaskResults->Uniqueness = Uniqueness;
            T->TaskResults->ExtractedText = Text;
        }
        Host.List.append(T);
    }
    void Reload() { View->ListModel()->Reload(); }
    QStringList Column(int C) const {
        QStringList L;
        for (int r = 0; r < View->model()->rowCount(); ++r)
            L << View->model()->index(r, C).data().toString();
        return L;
    }
    QStringList URLs() const {
        QStringList L;
        for (const TURLTaskInfo *T : Host.List) L << T->URL;
        return L;
    }
    void Select(const QList<int> &Rows) {
        View->clearSelection();
        for (int R : Rows)
            View->selectionModel()->select(View->model()->index(R, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (!Rows.isEmpty())
            View->selectionModel()->setCurrentIndex(View->model()->index(Rows.last(), 0),
                                                    QItemSelectionModel::NoUpdate);
    }
    QAction *Item(const char *Name) const {
        return Commands.Menu()->findChild<QAction *>(QLatin1String(Name));
    }

    THost Host;
    TURLListView *View;
    TURLPageCommands Commands;
};

QString WriteFile(const QTemporaryDir &Dir, const char *Name, const QByteArray &Bytes) {
    const QString Path = Dir.filePath(QLatin1String(Name));
    QFile F(Path);
    EXPECT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(Bytes);
    return Path;
}

// Takes the addresses the desktop would open.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void Open(const QUrl &U) { Opened << U; }
    QList<QUrl> Opened;
};

const char *FiveLines =
    "  https://site.example/page  \r\nftp://site.example/file\r\nhttps://site.example/logo.PNG\r\n"
    "https://site.example/app.js?v=2\r\nHTTPS://SITE.EXAMPLE/PAGE\r\n";

} // namespace

// ---- imports ------------------------------------------------------------------

TEST(URLImportCommands, ClipboardAndTextFileTakeDifferentLinesOfTheSameFive) {
    QTemporaryDir Dir;
    SetAppDir(Dir.path());
    {
        TPage P;
        ui::TestDialogs Dialogs;
        QGuiApplication::clipboard()->setText(QString::fromUtf8(FiveLines));
        P.Commands.btInsertURLs4ClipClick();
        EXPECT_EQ(P.URLs(),
                  (QStringList{"https://site.example/page", "https://site.example/app.js?v=2"}));
        EXPECT_EQ(P.Column(0), (QStringList{"1", "2"}));
        EXPECT_EQ(P.Host.Log, QStringList{"Данные вставлены из буфера обмена"});
        EXPECT_TRUE(Dialogs.calls.isEmpty());
    }
    {
        // Not trimmed: the blank in front of the first line makes it fail, so the fifth is new.
        TPage P;
        ui::TestDialogs Dialogs;
        Dialogs.nextOpenFiles << WriteFile(Dir, "urls.txt", FiveLines);
        P.Commands.btImportURLs4TXTClick();
        EXPECT_EQ(P.URLs(),
                  (QStringList{"https://site.example/app.js?v=2", "HTTPS://SITE.EXAMPLE/PAGE"}));
        EXPECT_EQ(P.Host.Log, QStringList{"Данные загружены"});
        ASSERT_EQ(Dialogs.calls.size(), 1);
        EXPECT_EQ(Dialogs.calls[0].text, QStringLiteral("Укажите текстовый файл для импорта URL"));
        EXPECT_EQ(Dialogs.calls[0].filter, QStringLiteral("Текстовые файлы (*.txt)"));
        EXPECT_EQ(Dialogs.calls[0].dir, AppDir());
    }
    {
        // A byte-order mark does not cost the first address.
        TPage P;
        ui::TestDialogs Dialogs;
        Dialogs.nextOpenFiles << WriteFile(Dir, "bom.txt",
                                           "\xEF\xBB\xBFhttp://a.example/\nhttp://b.example/\n");
        P.Commands.btImportURLs4TXTClick();
        EXPECT_EQ(P.URLs(), (QStringList{"http://a.example/", "http://b.example/"}));
    }
}

TEST(URLImportCommands, EndingRulesThroughTheClipboard) {
    struct Case {
        const char *Line;
        bool Taken;
    } const Cases[] = {
        {"http://www.site.example", true},         // ending from the host's last dot: ".example"
        {"http://site.example:8080", true},        // a port after the last dot: no ending
        {"http://site.example:8080/a.css", false}, // a style sheet
        {"https://site.example/a.Jpeg", false},    // letter case does not matter
        {"https://site.example/a.jpeg/",
         true},                           // "/" does not stop the search, but ".jpeg/" is no ending
        {"HtTp://site.example/x", true},  // the scheme in any case
        {"mailto:x@site.example", false}, // not "http"
    };
    TPage P;
    ui::TestDialogs Dialogs;
    for (const Case &C : Cases) {
        QGuiApplication::clipboard()->setText(QString::fromUtf8(C.Line));
        P.Commands.btInsertURLs4ClipClick();
        EXPECT_EQ(P.Host.List.size(), C.Taken ? 1 : 0) << C.Line;
    }
}

TEST(URLImportCommands, LimitMessageOnceAndNumberingAfterKeptTasks) {
    QTemporaryDir Dir;
    SetAppDir(Dir.path());
    TPage P;
    ui::TestDialogs Dialogs;
    P.Host.NoClear = true;
    for (int i = 0; i < 3; ++i) P.Add(QStringLiteral("http://kept.example/%1").arg(i), trOk, 0, 50);
    P.Reload();
    QGuiApplication::clipboard()->setText(
        QStringLiteral("http://new.example/1\nhttp://new.example/2\nhttp://kept.example/0"));
    P.Commands.btInsertURLs4ClipClick();
    EXPECT_EQ(P.Column(0), (QStringList{"1", "2", "3", "4", "5"}));
    for (const TURLTaskInfo *T : P.Host.List)
        EXPECT_EQ(T->TaskResults, nullptr); // every result dropped

    // 9 998 tasks, five new addresses: two are taken, the message comes once.
    P.Host.NoClear = false;
    QByteArray Many;
    for (int i = 0; i < 9998; ++i) Many += "http://site.example/p" + QByteArray::number(i) + "\n";
    Dialogs.nextOpenFiles << WriteFile(Dir, "many.txt", Many);
    P.Commands.btImportURLs4TXTClick();
    ASSERT_EQ(P.Host.List.size(), 9998);
    P.Host.NoClear = true;
    P.Host.Log.clear();
    Dialogs.nextOpenFiles << WriteFile(
        Dir, "five.txt",
        "http://n.example/1\nhttp://n.example/2\nhttp://n.example/3\n"
        "http://n.example/4\nhttp://n.example/5\n");
    P.Commands.btImportURLs4TXTClick();
    EXPECT_EQ(P.Host.List.size(), MaxURLCount);
    EXPECT_EQ(P.View->model()->rowCount(), MaxURLCount);
    EXPECT_EQ(P.Host.List.last()->URL, QStringLiteral("http://n.example/2"));
    EXPECT_EQ(Dialogs.messages(), QStringList{"Ограничение: не более 10 000 URL"});
    EXPECT_EQ(Dialogs.calls.last().icon, ui::MessageIcon::Information);
    EXPECT_EQ(P.Host.Log, QStringList{"Данные загружены"});
}

TEST(URLImportCommands, FailuresAndEmptySources) {
    QTemporaryDir Dir;
    SetAppDir(Dir.path());
    TPage P;
    ui::TestDialogs Dialogs;
    P.Add(QStringLiteral("http://kept.example/"));
    P.Reload();

    struct Case {
        const char *Name;
        void (TURLPageCommands::*Command)();
        QByteArray File; // empty name: the dialog is cancelled
        const char *FileName;
        const char *Message; // empty: none
        int TasksAfter;
        const char *Log; // empty: none
        ui::MessageIcon Icon = ui::MessageIcon::Warning;
    } const Cases[] = {
        {"cancelled txt", &TURLPageCommands::btImportURLs4TXTClick, "", nullptr, "", 1, ""},
        {"missing txt", &TURLPageCommands::btImportURLs4TXTClick, "", "missing.txt",
         "Файл с данными для импорта не найден!", 1, ""},
        {"broken xml", &TURLPageCommands::btImportURLs4XMLClick, "<urlset><url>", "sitemap.xml",
         "Ошибка при разборе файла: ", 1, ""},
        {"sitemap index", &TURLPageCommands::btImportURLs4XMLClick,
         "<?xml version=\"1.0\"?><sitemapindex "
         "xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">"
         "<sitemap><loc>http://a.example/s1.xml</loc></sitemap></sitemapindex>",
         "index.xml", "Файл данных имеет неприемлимый формат (нет тега \"urlset\")", 0, ""},
        // A file without an address says so and still logs.
        {"empty txt", &TURLPageCommands::btImportURLs4TXTClick, "", "empty.txt",
         "Файл не содержит ни одного URL", 0, "Данные загружены", ui::MessageIcon::Information},
        {"urlset without url", &TURLPageCommands::btImportURLs4XMLClick,
         "<urlset><url><loc>ftp://a.example/</loc></url></urlset>", "sitemap.xml",
         "Файл не содержит ни одного URL", 0, "Данные загружены", ui::MessageIcon::Information},
    };
    for (const Case &C : Cases) {
        // The list holds one task before each case.
        if (P.Host.List.isEmpty()) {
            P.Add(QStringLiteral("http://kept.example/"));
            P.Reload();
        }
        Dialogs.calls.clear();
        P.Host.Log.clear();
        if (C.FileName) {
            QString Path = Dir.filePath(QLatin1String(C.FileName));
            if (QByteArrayView(C.FileName) != "missing.txt")
                Path = WriteFile(Dir, C.FileName, C.File);
            Dialogs.nextOpenFiles << Path;
        }
        (P.Commands.*C.Command)();
        const QStringList M = Dialogs.messages();
        if (*C.Message) {
            ASSERT_EQ(M.size(), 1) << C.Name;
            EXPECT_TRUE(M[0].startsWith(QString::fromUtf8(C.Message)))
                << C.Name << ": " << M[0].toStdString();
            EXPECT_EQ(Dialogs.calls.last().icon, C.Icon) << C.Name;
        } else {
            EXPECT_TRUE(M.isEmpty()) << C.Name;
        }
        EXPECT_EQ(P.Host.List.size(), C.TasksAfter) << C.Name;
        EXPECT_EQ(P.View->model()->rowCount(), C.TasksAfter) << C.Name;
        EXPECT_EQ(P.Host.Log, *C.Log ? QStringList{QString::fromUtf8(C.Log)} : QStringList())
            << C.Name;
        EXPECT_FALSE(P.Host.ProgressVisible) << C.Name;
    }
}

TEST(URLImportCommands, SitemapProgressAndHostileDocuments) {
    QTemporaryDir Dir;
    SetAppDir(Dir.path());
    TPage P;
    ui::TestDialogs Dialogs;
    Dialogs.nextOpenFiles << WriteFile(
        Dir, "sitemap.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
        "<url><loc>http://a.example/1</loc><priority>1</priority></url>\n"
        "<url><loc>http://a.example/style.css</loc></url>\n"
        "<url><lastmod>2020-01-01</lastmod></url>\n"
        "<url><loc>http://a.example/2</loc></url>\n</urlset>\n");
    P.Commands.btImportURLs4XMLClick();
    EXPECT_EQ(P.URLs(), (QStringList{"http://a.example/1", "http://a.example/2"}));
    EXPECT_EQ(Dialogs.calls[0].text, QStringLiteral("Укажите файл sitemap.xml для импорта URL"));
    EXPECT_EQ(Dialogs.calls[0].filter, QStringLiteral("Файл sitemap.xml (sitemap.xml)"));
    EXPECT_EQ(Dialogs.calls[0].dir, AppDir());
    // Shown with the number of "urlset" children, a step for every url with a loc, hidden at the
    // end.
    ASSERT_FALSE(P.Host.ProgressSteps.isEmpty());
    EXPECT_EQ(P.Host.ProgressSteps.first(), qMakePair(-1, 4));
    EXPECT_EQ(P.Host.ProgressSteps.last(), qMakePair(3, 4));
    EXPECT_FALSE(P.Host.ProgressVisible);
    EXPECT_EQ(P.Host.Log, QStringList{"Данные загружены"});

    // An entity bomb and an external entity: rejected or unexpanded, quickly.
    const QByteArray Secret = WriteFile(Dir, "secret.txt", "http://secret.example/leak").toUtf8();
    QByteArray Bomb =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE urlset [\n<!ENTITY a0 \"http://x.example/\">\n";
    for (int i = 1; i < 30; ++i)
        Bomb += "<!ENTITY a" + QByteArray::number(i) + " \"&a" + QByteArray::number(i - 1) + ";&a" +
                QByteArray::number(i - 1) + ";\">\n";
    Bomb += "]>\n<urlset><url><loc>&a29;</loc></url></urlset>\n";
    const QByteArray External =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE urlset [\n<!ENTITY ext SYSTEM \"file://" + Secret +
        "\">\n]>\n<urlset><url><loc>&ext;</loc></url><url><loc>http://ok.example/</loc></url>"
        "</urlset>\n";
    for (const QByteArray &Doc : {Bomb, External}) {
        Dialogs.calls.clear();
        Dialogs.nextOpenFiles << WriteFile(Dir, "hostile.xml", Doc);
        QElapsedTimer Clock;
        Clock.start();
        P.Commands.btImportURLs4XMLClick();
        EXPECT_LT(Clock.elapsed(), 5000);
        for (const TURLTaskInfo *T : P.Host.List) {
            EXPECT_FALSE(T->URL.contains(QStringLiteral("secret"))) << T->URL.toStdString();
            EXPECT_LT(T->URL.size(), 1000);
        }
        for (const QString &M : Dialogs.messages())
            EXPECT_TRUE(M.startsWith(QStringLiteral("Ошибка при разборе файла: ")))
                << M.toStdString();
    }
}

TEST(URLImportCommands, LocalFilesTwiceAddNothingButDropResults) {
    QTemporaryDir Dir;
    SetAppDir(Dir.path());
    TPage P;
    ui::TestDialogs Dialogs;
    P.Host.NoClear = true;
    const QStringList Files = {WriteFile(Dir, "a.html", "<p>a</p>"), WriteFile(Dir, "b.txt", "b")};
    Dialogs.nextOpenFileLists << Files << Files;
    P.Commands.btImportFiles();
    EXPECT_EQ(P.URLs(), (QStringList{"file://" + Files[0], "file://" + Files[1]}));
    EXPECT_EQ(P.Host.Log, QStringList{"Файлы загруженны"});
    EXPECT_EQ(Dialogs.calls[0].text, QString());
    EXPECT_EQ(Dialogs.calls[0].dir, QString());
    // "*" and not "*.*": files without an extension are files too.
    EXPECT_EQ(Dialogs.calls[0].filter, QStringLiteral("HTML,TXT (*.htm *.html *.txt);;All (*)"));
    P.Host.List[0]->InitResults();
    P.Commands.btImportFiles();
    EXPECT_EQ(P.Host.List.size(), 2);
    EXPECT_EQ(P.Host.List[0]->TaskResults, nullptr);
    EXPECT_EQ(P.Host.Log.size(), 2);
}

TEST(URLImportCommands, NothingWhileACheckRunsOrWithoutClipboardText) {
    TPage P;
    ui::TestDialogs Dialogs;
    P.Add(QStringLiteral("http://kept.example/"));
    P.Reload();
    QGuiApplication::clipboard()->clear();
    P.Commands.btInsertURLs4ClipClick();
    EXPECT_EQ(P.Host.List.size(), 1);
    EXPECT_TRUE(P.Host.Log.isEmpty());
    P.Host.Running = true;
    QGuiApplication::clipboard()->setText(QStringLiteral("http://new.example/"));
    for (auto Command :
         {&TURLPageCommands::btInsertURLs4ClipClick, &TURLPageCommands::btImportURLs4TXTClick,
          &TURLPageCommands::btImportURLs4XMLClick, &TURLPageCommands::btImportFiles})
        (P.Commands.*Command)();
    EXPECT_EQ(P.Host.List.size(), 1);
    EXPECT_TRUE(Dialogs.calls.isEmpty());
}

// ---- the list -----------------------------------------------------------------

TEST(URLList, ColumnsCaptionsAlignmentAndTooltip) {
    TPage P;
    P.Add(QStringLiteral("http://a.example/long/path"), trOk, 0, 87.25);
    P.Reload();
    QAbstractItemModel *M = P.View->model();
    QStringList Captions;
    for (int C = 0; C < 5; ++C) Captions << M->headerData(C, Qt::Horizontal).toString();
    EXPECT_EQ(Captions, (QStringList{"№", "URL", "Код ответа", "Уникальность, %", "i"}));
    const int Widths[] = {45, 460, 85, 140, 24};
    for (int C = 0; C < 5; ++C) EXPECT_EQ(P.View->columnWidth(C), Widths[C]) << C;
    EXPECT_EQ(M->index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(M->index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignLeft);
    EXPECT_EQ(M->index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(M->index(0, 3).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(M->index(0, 1).data(Qt::ToolTipRole).toString(),
              QStringLiteral("http://a.example/long/path"));
    EXPECT_FALSE(M->index(0, 0).data(Qt::ToolTipRole).isValid());
    EXPECT_EQ(M->index(0, 2).data().toString(), QStringLiteral("200"));
    EXPECT_EQ(M->index(0, 4).data().toString(), QStringLiteral("i"));
    EXPECT_EQ(P.View->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(P.View->selectionBehavior(), QAbstractItemView::SelectRows);
    // Limits of the resizable columns; the info column keeps its width.
    P.View->horizontalHeader()->resizeSection(1, 10);
    P.View->horizontalHeader()->resizeSection(2, 2000);
    P.View->horizontalHeader()->resizeSection(4, 80);
    EXPECT_EQ(P.View->columnWidth(1), 50);
    EXPECT_EQ(P.View->columnWidth(2), 1000);
    EXPECT_EQ(P.View->columnWidth(4), 24);
}

TEST(URLList, CellColours) {
    struct Case {
        TURLTaskResult Result;
        int Code;
        double Uniqueness;
        QColor Row, Cell; // columns 0..2 and column 3
    } const Cases[] = {
        {trUndefined, 0, -1, {}, {}}, // no results
        {trOk, 0, -1, {}, {}},        // finished, not computed yet
        {trOk, 0, 0, {}, LowUniquenessColor},
        {trOk, 0, 64.99, {}, LowUniquenessColor},
        {trOk, 0, 65, {}, MediumUniquenessColor},
        {trOk, 0, 85, {}, MediumUniquenessColor},
        {trOk, 0, 85.01, {}, HighUniquenessColor},
        {trOk, 0, 100, {}, HighUniquenessColor},
        {trHTTPError, 404, 0, FailedRowColor, FailedRowColor}, // every cell
        {trSendError, 0, 0, FailedRowColor, FailedRowColor},
    };
    TPage P;
    for (const Case &C : Cases)
        P.Add(QStringLiteral("http://c.example/%1").arg(P.Host.List.size()), C.Result, C.Code,
              C.Uniqueness);
    P.Reload();
    for (int r = 0; r < int(std::size(Cases)); ++r) {
        const Case &C = Cases[r];
        for (int c = 0; c < 5; ++c) {
            const QVariant V = P.View->model()->index(r, c).data(Qt::BackgroundRole);
            const QColor Want = c == 3 ? C.Cell : (c == 4 ? C.Row : C.Row);
            EXPECT_EQ(V.isValid() ? V.value<QColor>() : QColor(), Want)
                << "row " << r << " column " << c;
        }
    }
    EXPECT_EQ(P.Column(3).at(8), QString()); // the 404 row has no uniqueness text
    EXPECT_EQ(P.Column(2).at(8), QStringLiteral("404"));
}

TEST(URLList, SortOrdersAndHeaderClicks) {
    TPage P;
    P.Add(QStringLiteral("http://b.example/"), trOk, 0, 87.90);      // 1
    P.Add(QStringLiteral("http://A.example/"), trOk, 0, 12.50);      // 2
    P.Add(QStringLiteral("http://c.example/"));                      // 3: no results
    P.Add(QStringLiteral("http://a.example/"), trOk, 0, 87.10);      // 4
    P.Add(QStringLiteral("http://e.example/"), trHTTPError, 404, 0); // 5
    P.Add(QStringLiteral("http://f.example/"), trSendError, 0, 0);   // 6
    P.Add(QStringLiteral("http://g.example/"), trOk, 0, 100);        // 7
    P.Add(QStringLiteral("http://h.example/"), trParseError, -1, 0); // 8
    P.Reload();
    EXPECT_EQ(P.Column(0),
              (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"})); // task order before any sort

    struct Case {
        int Column;
        Qt::SortOrder Order;
        const char *Nums;
    } const Cases[] = {
        // 87.10 and 87.90 are equal; failed rows (0) first; no results (100) with 100.00, in their
        // order.
        {3, Qt::AscendingOrder, "5 6 8 2 1 4 3 7"},
        {3, Qt::DescendingOrder, "3 7 1 4 2 5 6 8"},
        // Empty code first, then the texts: "0" < "200" < "404" < "SEND ERROR".
        {2, Qt::AscendingOrder, "3 8 7 1 4 2 5 6"},
        // Latin letters without case, equal URLs keep their order.
        {1, Qt::AscendingOrder, "4 2 1 3 5 6 7 8"},
        {0, Qt::DescendingOrder, "8 7 6 5 4 3 2 1"},
        {4, Qt::AscendingOrder, "8 7 6 5 4 3 2 1"}, // the info column changes nothing
    };
    for (const Case &C : Cases) {
        P.View->ListModel()->SortBy(C.Column, C.Order);
        EXPECT_EQ(P.Column(0).join(u' '), QString::fromLatin1(C.Nums))
            << C.Column << " " << C.Order;
    }

    // A new column sorts ascending (also "№" right after the check's sort by
    // uniqueness), a second click on it flips; the arrow follows.
    P.View->ListModel()->SortBy(ucUniqueness, Qt::AscendingOrder);
    P.View->vtURLsMHeaderClick(0);
    EXPECT_EQ(P.View->ListModel()->SortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(P.Column(0).first(), QStringLiteral("1"));
    P.View->vtURLsMHeaderClick(0);
    EXPECT_EQ(P.View->ListModel()->SortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(P.Column(0).first(), QStringLiteral("8"));
    P.Host.Parent.show();
    QHeaderView *H = P.View->horizontalHeader();
    auto ClickHeader = [&](int Column) {
        QTest::mouseClick(H->viewport(), Qt::LeftButton, {},
                          QPoint(H->sectionViewportPosition(Column) + 5, H->height() / 2));
        QCoreApplication::processEvents();
    };
    ClickHeader(3);
    EXPECT_EQ(P.View->ListModel()->SortColumn(), 3);
    EXPECT_EQ(P.View->ListModel()->SortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(H->sortIndicatorSection(), 3);
    EXPECT_EQ(H->sortIndicatorOrder(), Qt::AscendingOrder);
    // The narrow info header sorts nothing and gets no arrow.
    const QStringList Before = P.Column(0);
    ClickHeader(4);
    EXPECT_EQ(P.Column(0), Before);
    EXPECT_EQ(H->sortIndicatorSection(), -1);

    // The sort holds across changes: an import is shown in the same order.
    P.Host.NoClear = true;
    ui::TestDialogs Dialogs;
    P.View->ListModel()->SortBy(1, Qt::DescendingOrder);
    QGuiApplication::clipboard()->setText(QStringLiteral("http://d.example/"));
    P.Commands.btInsertURLs4ClipClick();
    EXPECT_EQ(P.Column(1).mid(4, 2), (QStringList{"http://d.example/", "http://c.example/"}));
}

TEST(URLList, ResultChangesAreBatchedPerRunOfRows) {
    TPage P;
    for (int i = 0; i < 10; ++i) P.Add(QStringLiteral("http://b.example/%1").arg(i));
    P.Reload();
    QSignalSpy Spy(P.View->model(), &QAbstractItemModel::dataChanged);
    for (int i : {1, 2, 3, 7, 2}) P.View->ListModel()->TaskChanged(P.Host.List[i]);
    EXPECT_EQ(Spy.count(), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(Spy.count(), 2);
    EXPECT_EQ(Spy[0][0].toModelIndex().row(), 1);
    EXPECT_EQ(Spy[0][1].toModelIndex().row(), 3);
    EXPECT_EQ(Spy[1][0].toModelIndex().row(), 7);
    EXPECT_EQ(Spy[1][1].toModelIndex().row(), 7);
}

TEST(URLList, InfoColumnIconCursorAndClick) {
    EXPECT_EQ(TURLListView::InfoIconPos(QRect(100, 40, 24, 21)), QPoint(100 + 4 - 3, 40 + 2));
    TPage P;
    P.Add(QStringLiteral("http://a.example/"));
    P.Add(QStringLiteral("http://b.example/"));
    P.Add(QStringLiteral("http://c.example/"));
    P.Reload();
    P.Host.Parent.resize(900, 400);
    P.Host.Parent.show();
    {
        int W = 0; // the URL column fills the list, so its width is not fixed
        for (int C = 0; C < 4; ++C) W += P.View->columnWidth(C);
        EXPECT_TRUE(P.View->OverInfoColumn(QPoint(W, 5)));
        EXPECT_TRUE(P.View->OverInfoColumn(QPoint(W + 24, 500)));
        EXPECT_FALSE(P.View->OverInfoColumn(QPoint(W - 1, 5)));
        EXPECT_FALSE(P.View->OverInfoColumn(QPoint(W + 25, 5)));
        QTest::mouseMove(P.View->viewport(), QPoint(W + 10, 5));
        EXPECT_EQ(P.View->viewport()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(P.View->viewport(), QPoint(100, 5));
        EXPECT_EQ(P.View->viewport()->cursor().shape(), Qt::ArrowCursor);
        const QRect Cell = P.View->visualRect(P.View->model()->index(0, 4));
        QTest::mouseClick(P.View->viewport(), Qt::LeftButton, {}, Cell.center());
        EXPECT_TRUE(P.Commands.Menu()->isVisible());
        P.Commands.Menu()->hide();
        EXPECT_EQ(P.View->GetSelectedNums(), QList<std::int32_t>{1}); // an unselected row: alone
    }
    {
        // The icon of a selected row keeps the selection for the menu (two
        // URLs to compare) and focuses that row.
        P.Select({0, 2});
        const QRect Cell = P.View->visualRect(P.View->model()->index(2, 4));
        QTest::mouseClick(P.View->viewport(), Qt::LeftButton, {}, Cell.center());
        EXPECT_TRUE(P.Commands.Menu()->isVisible());
        P.Commands.Menu()->hide();
        EXPECT_EQ(P.View->GetSelectedNums(), (QList<std::int32_t>{1, 3}));
        EXPECT_EQ(P.View->FocusedTask(), P.Host.List[2]);
    }
    P.Host.Parent.hide();
}

// ---- the menu -----------------------------------------------------------------

TEST(URLMenu, ItemsShortcutsAndAvailability) {
    TPage P;
    QStringList Names, Keys;
    for (QAction *A : P.Commands.Menu()->actions()) {
        Names << (A->isSeparator() ? QStringLiteral("-") : A->objectName());
        if (A->isSeparator()) continue;
        Keys << A->shortcut().toString();
        EXPECT_FALSE(A->icon().isNull()) << A->objectName().toStdString();
    }
    EXPECT_EQ(Names, (QStringList{"miPaste4Clipboard", "miCheckSelected", "miCheckWErrors",
                                  "miDeleteURL", "-", "miCompareText", "miSimil2Other", "-",
                                  "miOpenInBrowser", "miExtracted2Clipboard"}));
    EXPECT_EQ(Keys,
              (QStringList{"Ctrl+V", "Ctrl+R", "", "Del", "Ctrl+D", "Enter", "Ctrl+B", "Ctrl+C"}));
    EXPECT_EQ(P.Item("miCompareText")->text(), QStringLiteral("Сравнить cодержимое двух URL..."));

    auto Enabled = [&] {
        P.Commands.pmURLsPopup(QPoint(10, 10));
        QString S;
        for (QAction *A : P.Commands.Menu()->actions())
            if (!A->isSeparator()) S += A->isEnabled() ? u'1' : u'0';
        P.Commands.Menu()->hide();
        return S;
    };
    // Empty list: a paste at most.
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    EXPECT_EQ(Enabled(), QStringLiteral("10000000"));
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(Enabled(), QStringLiteral("00000000"));
    P.Add(QStringLiteral("http://a.example/"));
    P.Add(QStringLiteral("http://b.example/"), trOk, 0, 50, QStringLiteral("text"));
    P.Reload();
    EXPECT_EQ(Enabled(), QStringLiteral("01111011")); // no focused row: no similarity
    P.Select({0});
    EXPECT_EQ(Enabled(), QStringLiteral("01111011")); // focused row without results
    P.Select({1});
    EXPECT_EQ(Enabled(), QStringLiteral("01111111"));
    P.Host.Running = true;
    QGuiApplication::clipboard()->setText(QStringLiteral("x"));
    EXPECT_EQ(Enabled(), QStringLiteral("00001011")); // a check runs
    // Outside the open menu every item is enabled, and the rule decides at the shortcut.
    for (QAction *A : P.Commands.Menu()->actions()) EXPECT_TRUE(A->isEnabled());
    P.Item("miDeleteURL")->trigger();
    EXPECT_EQ(P.Host.List.size(), 2);
    P.Host.Running = false;
    P.Item("miCheckSelected")->trigger();
    P.Item("miCheckWErrors")->trigger();
    ASSERT_EQ(P.Host.Runs.size(), 2);
    EXPECT_EQ(P.Host.Runs[0], qMakePair(int(rvSelected), QList<std::int32_t>{2}));
    EXPECT_EQ(P.Host.Runs[1].first, int(rvErrors));
}

TEST(URLMenu, DeleteSelectsTheFollowingRowAndDropsAllResults) {
    struct Case {
        const char *Name;
        QList<int> Selected; // rows as shown
        const char *URLsAfter;
        int SelectedAfter; // row
    } const Cases[] = {
        {"last", {2}, "a b", 1},  {"first", {0}, "b c", 0},   {"middle two", {0, 1}, "c", 0},
        {"none", {}, "a b c", 2}, {"all", {0, 1, 2}, "", -1},
    };
    for (const Case &C : Cases) {
        TPage P;
        ui::TestDialogs Dialogs;
        for (const char *U : {"a", "b", "c"})
            P.Add(QString::fromLatin1(U), trOk, 0, 70, QStringLiteral("t"));
        P.Reload();
        P.Select(C.Selected);
        P.Commands.miDeleteURLClick();
        EXPECT_EQ(P.URLs().join(u' '), QString::fromLatin1(C.URLsAfter)) << C.Name;
        QStringList Nums;
        for (const TURLTaskInfo *T : P.Host.List) {
            Nums << QString::number(T->Num);
            EXPECT_EQ(T->TaskResults, nullptr) << C.Name;
        }
        EXPECT_EQ(P.Column(0), Nums) << C.Name;
        const QModelIndexList Sel = P.View->selectionModel()->selectedRows();
        if (C.SelectedAfter < 0) {
            EXPECT_TRUE(Sel.isEmpty()) << C.Name;
        } else {
            ASSERT_EQ(Sel.size(), 1) << C.Name;
            EXPECT_EQ(Sel[0].row(), C.SelectedAfter) << C.Name;
        }
        EXPECT_EQ(P.Host.Refreshes, 1) << C.Name;
        EXPECT_TRUE(Dialogs.calls.isEmpty());
    }
    // The key works in the list; during a check it does nothing.
    TPage P;
    P.Host.Parent.show();
    P.Host.Parent.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&P.Host.Parent));
    P.Add(QStringLiteral("a"));
    P.Add(QStringLiteral("b"));
    P.Reload();
    P.Select({0});
    P.View->setFocus();
    P.Host.Running = true;
    QTest::keyClick(P.View, Qt::Key_Delete);
    EXPECT_EQ(P.Host.List.size(), 2);
    P.Host.Running = false;
    QTest::keyClick(P.View, Qt::Key_Delete);
    EXPECT_EQ(P.URLs(), QStringList{"b"});
}

TEST(URLMenu, DeleteAndImportsKeepTheOrderAndTheSelectionShown) {
    // Shown by uniqueness: values that a delete or an import clears.
    TPage P;
    ui::TestDialogs Dialogs;
    const double U[] = {60, 10, 90, 30, 75};
    for (int i = 0; i < 5; ++i)
        P.Add(QStringLiteral("http://s.example/%1").arg(QLatin1Char(char('a' + i))), trOk, 0, U[i],
              QStringLiteral("t"));
    P.Reload();
    P.View->vtURLsSortBy(ucUniqueness, Qt::AscendingOrder);
    auto Shown = [&] {
        QString S;
        for (const QString &URL : P.Column(1)) S += URL.back();
        return S;
    };
    ASSERT_EQ(Shown(), QStringLiteral("bdaec"));

    P.Select({1}); // "d"
    P.Commands.miDeleteURLClick();
    EXPECT_EQ(Shown(), QStringLiteral("baec")); // not number order: "abce"
    EXPECT_EQ(P.Column(0), (QStringList{"2", "1", "4", "3"}));
    EXPECT_EQ(P.View->horizontalHeader()->sortIndicatorSection(), int(ucUniqueness));

    // An import that keeps the tasks: new rows after them, selection and focus kept.
    P.Host.NoClear = true;
    P.Select({1, 3}); // "a" and "c", "c" focused
    QGuiApplication::clipboard()->setText(QStringLiteral("http://s.example/f\nhttp://s.example/g"));
    P.Commands.btInsertURLs4ClipClick();
    EXPECT_EQ(Shown(), QStringLiteral("baecfg"));
    QStringList Selected;
    for (std::int32_t Num : P.View->GetSelectedNums()) Selected << P.Host.List[Num - 1]->URL;
    EXPECT_EQ(Selected, (QStringList{"http://s.example/a", "http://s.example/c"}));
    ASSERT_NE(P.View->FocusedTask(), nullptr);
    EXPECT_EQ(P.View->FocusedTask()->URL, QStringLiteral("http://s.example/c"));

    // An import that replaces the list starts afresh.
    P.Host.NoClear = false;
    QGuiApplication::clipboard()->setText(QStringLiteral("http://s.example/z\nhttp://s.example/y"));
    P.Commands.btInsertURLs4ClipClick();
    EXPECT_EQ(Shown(), QStringLiteral("zy"));
    EXPECT_TRUE(P.View->GetSelectedNums().isEmpty());
}

TEST(URLMenu, NoBrowserIsReportedOnce) {
    // No xdg-open, no BROWSER: the desktop cannot open anything.
    QTemporaryDir EmptyBin;
    const QByteArray Path = qgetenv("PATH"), Browser = qgetenv("BROWSER");
    qputenv("PATH", QFile::encodeName(EmptyBin.path()));
    qunsetenv("BROWSER");
    TPage P;
    ui::TestDialogs Dialogs;
    P.Add(QStringLiteral("http://a.example/"));
    P.Add(QStringLiteral("http://b.example/"));
    P.Reload();
    P.Select({0, 1});
    P.Commands.miOpenInBrowserClick();
    qputenv("PATH", Path);
    if (!Browser.isNull()) qputenv("BROWSER", Browser);
    ASSERT_EQ(Dialogs.calls.size(), 1);
    EXPECT_EQ(Dialogs.calls[0].icon, ui::MessageIcon::Warning);
    EXPECT_EQ(Dialogs.calls[0].text,
              QStringLiteral("Не удалось открыть http://a.example/.\n"
                             "Проверьте, что в системе есть браузер по умолчанию."));
}

TEST(URLMenu, CopyContentOpenInBrowserAndTheComparisonChecks) {
    TPage P;
    ui::TestDialogs Dialogs;
    P.Add(QStringLiteral("http://a.example/"));
    P.Add(QStringLiteral("http://b.example/x#frag"), trOk, 0, 50, QStringLiteral("page text"));
    P.Add(QStringLiteral("file:///tmp/some dir/page #1.html"), trHTTPError, 404, 0);
    P.Add(QStringLiteral("http://d.example/empty"), trOk, 0, 50); // a page without text
    P.Reload();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    struct Case {
        QList<int> Rows;
        const char *Message;
        const char *Clipboard;
    } const Cases[] = {
        {{}, "", "before"},
        {{0}, "", "before"}, // no results
        {{0, 1}, "Должен быть выбран один URL", "before"},
        // Checked, and the page was not there: no advice to run a check.
        {{2}, "У выбранного URL нет содержимого: его проверка закончилась ошибкой (404)", "before"},
        {{3}, "Страница выбранного URL не содержит текста", "before"},
        {{1}, "", "page text"},
    };
    for (const Case &C : Cases) {
        Dialogs.calls.clear();
        P.Select(C.Rows);
        P.Commands.miExtracted2ClipboardClick();
        EXPECT_EQ(Dialogs.messages(),
                  *C.Message ? QStringList{QString::fromUtf8(C.Message)} : QStringList());
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(C.Clipboard));
        if (*C.Message) {
            const ui::MessageIcon Icon = C.Rows.size() > 1         ? ui::MessageIcon::Warning
                                         : C.Rows == QList<int>{3} ? ui::MessageIcon::Information
                                                                   : ui::MessageIcon::Error;
            EXPECT_EQ(Dialogs.calls[0].icon, Icon);
        }
    }

    TUrlCatcher Catcher;
    for (const char *Scheme : {"http", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(Scheme), &Catcher, "Open");
    P.Select({0, 1, 2});
    P.Commands.miOpenInBrowserClick();
    for (const char *Scheme : {"http", "file"})
        QDesktopServices::unsetUrlHandler(QLatin1String(Scheme));
    ASSERT_EQ(Catcher.Opened.size(), 3);
    EXPECT_EQ(Catcher.Opened[0], QUrl(QStringLiteral("http://a.example/")));
    EXPECT_EQ(Catcher.Opened[1].fragment(), QStringLiteral("frag"));
    EXPECT_EQ(Catcher.Opened[2].toLocalFile(), QStringLiteral("/tmp/some dir/page #1.html"));

    // The compare command's checks, with the messages of the comparison window.
    Dialogs.calls.clear();
    P.Select({1});
    P.Commands.miCompareTextClick();
    P.Select({0, 1});
    P.Commands.miCompareTextClick();
    P.Select({1, 2});
    P.Commands.miCompareTextClick();
    EXPECT_EQ(Dialogs.messages(),
              (QStringList{
                  "Должно быть выбрано два URL",
                  "Один из выбранных URL не имеет содержимого для сравнения - выполните проверку",
                  "Один из выбранных URL вследствие ошибки не имеет текста для сравнения"}));
}

#include "test_urllist.moc"

TEST(URLMenu, EnterInTheOpenMenuActivatesTheHighlightedItem) {
    TPage P;
    P.Add(QStringLiteral("http://a.example/"), trOk, 0, 50, QStringLiteral("a"));
    P.Add(QStringLiteral("http://b.example/"), trOk, 0, 50, QStringLiteral("b"));
    P.Reload();
    P.Select({0});
    P.Host.Parent.show();
    // Should the similarity window open instead, it is closed and noted.
    bool ModalSeen = false;
    QTimer Guard;
    QObject::connect(&Guard, &QTimer::timeout, [&] {
        if (QWidget *M = QApplication::activeModalWidget()) {
            ModalSeen = true;
            M->close();
        }
    });
    Guard.start(20);
    P.Commands.pmURLsPopup(P.View->mapToGlobal(QPoint(10, 10)));
    QMenu *Menu = P.Commands.Menu();
    Menu->setActiveAction(P.Item("miDeleteURL"));
    QTest::keyClick(Menu, Qt::Key_Enter);
    QCoreApplication::processEvents();
    EXPECT_EQ(P.URLs(), QStringList{"http://b.example/"});
    EXPECT_FALSE(ModalSeen);
}
