// The settings page and Corvane.ini.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "common/TestDialogs.h"
#include "ui/common/dialogs.h"
#include "ui/uitest.h"

using namespace corvane;
using namespace corvane::ui;
using namespace corvane::test;

namespace {

QString Base(QLineEdit *E) {
    return E->palette().color(QPalette::Base).name();
}

} // namespace

TEST(SettingsFile, NoFileGivesTheInitialValuesAndWritesOnlyTheUserAgent) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    EXPECT_EQ(Find<QSpinBox>(W.get(), "edMaxTreads")->value(), 5);
    EXPECT_EQ(Find<QSpinBox>(W.get(), "edPreDelay")->value(), 1500);
    EXPECT_EQ(Find<QSpinBox>(W.get(), "edShingleLen")->value(), 6);
    EXPECT_TRUE(Find<QCheckBox>(W.get(), "cbIgnoreStopWords")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(W.get(), "cbImpNoClearURLs")->isChecked());
    EXPECT_EQ(W->AlgorithmValue(), 1);
    auto *Agent = Find<QComboBox>(W.get(), "edUserAgent");
    EXPECT_EQ(Agent->count(), 17);
    EXPECT_EQ(Agent->currentText(), QStringLiteral("Corvane"));
    auto *Text = Find<QLineEdit>(W.get(), "edUserAgentText");
    EXPECT_TRUE(Text->text().startsWith(QStringLiteral("Corvane/2.1; +http")));
    EXPECT_FALSE(Text->isEnabled());
    EXPECT_EQ(Base(Text), QStringLiteral("#c0c0c0"));
    EXPECT_EQ(Text->width(), 364);
    W->close();
    EXPECT_EQ(Folder.ReadIni(), QByteArray("[PARAMS]\r\nuser-agent=0\r\n"));
}

TEST(SettingsFile, StoredValuesAreBroughtIntoRangeAndWrittenBack) {
    struct Case {
        const char *Ini;
        int Threads, Delay, Shingle, Alg;
        const char *Written; // the file after close
    };
    const Case Cases[] = {
        {"[PARAMS]\nreq-predelay=250000\n", 5, 100000, 6, 1,
         "[PARAMS]\r\nreq-predelay=100000\r\nuser-agent=0\r\n"},
        // 100 is brought to the initial 1500: nothing changed, nothing written back.
        {"[PARAMS]\nreq-predelay=100\n", 5, 1500, 6, 1,
         "[PARAMS]\r\nreq-predelay=100\r\nuser-agent=0\r\n"},
        {"[PARAMS]\nmax-threads=0\nshingle-length=12\n", 1, 1500, 10, 1,
         "[PARAMS]\r\nmax-threads=1\r\nshingle-length=10\r\nuser-agent=0\r\n"},
        {"[PARAMS]\nmax-threads=abc\n", 5, 1500, 6, 1,
         "[PARAMS]\r\nmax-threads=abc\r\nuser-agent=0\r\n"},
        {"[PARAMS]\nalg-version=2\n", 5, 1500, 6, 2,
         "[PARAMS]\r\nalg-version=2\r\nuser-agent=0\r\n"},
        {"[PARAMS]\nalg-version=7\n", 5, 1500, 6, 2,
         "[PARAMS]\r\nalg-version=2\r\nuser-agent=0\r\n"},
        {"[PARAMS]\nalg-version=0\n", 5, 1500, 6, 0,
         "[PARAMS]\r\nalg-version=0\r\nuser-agent=0\r\n"},
    };
    for (const Case &C : Cases) {
        TAppFolder Folder;
        Folder.WriteIni(C.Ini);
        auto W = OpenWindow(1049);
        EXPECT_EQ(W->MaxThreads(), C.Threads) << C.Ini;
        EXPECT_EQ(W->RequestDelay(), C.Delay) << C.Ini;
        EXPECT_EQ(W->ShingleLengthSetting(), C.Shingle) << C.Ini;
        EXPECT_EQ(W->AlgorithmValue(), C.Alg) << C.Ini;
        W->close();
        EXPECT_EQ(Folder.ReadIni(), QByteArray(C.Written)) << C.Ini;
    }
}

TEST(SettingsFile, OtherKeysSectionsAndEndpointsAreKept) {
    TAppFolder Folder;
    Folder.WriteIni("; written by hand\r\n[OTHER]\r\nx=1\r\n\r\n[PARAMS]\r\nlang=en\r\n"
                    "plaintext-endpoint-1=http://127.0.0.1:8001/\r\n"
                    "plaintext-endpoint-2=http://127.0.0.1:8002/\r\nignore-stop-words=0\r\n"
                    "import-no-clear=5\r\n");
    auto W = OpenWindow(1049);
    EXPECT_EQ(W->PlainTextEndpoint(1), QStringLiteral("http://127.0.0.1:8001/"));
    EXPECT_EQ(W->PlainTextEndpoint(2), QStringLiteral("http://127.0.0.1:8002/"));
    EXPECT_FALSE(W->IgnoreStopWords());
    EXPECT_TRUE(W->ImportNoClear()); // any non-zero integer is true
    Find<QSpinBox>(W.get(), "edMaxTreads")->setValue(8);
    W->close();
    EXPECT_EQ(Folder.ReadIni(),
              QByteArray("; written by hand\r\n[OTHER]\r\nx=1\r\n\r\n[PARAMS]\r\nlang=en\r\n"
                         "plaintext-endpoint-1=http://127.0.0.1:8001/\r\n"
                         "plaintext-endpoint-2=http://127.0.0.1:8002/\r\nignore-stop-words=0\r\n"
                         "import-no-clear=1\r\nmax-threads=8\r\nuser-agent=0\r\n"));
}

TEST(SettingsUserAgent, PersonalEntryRules) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    auto *Agent = Find<QComboBox>(W.get(), "edUserAgent");
    auto *Text = Find<QLineEdit>(W.get(), "edUserAgentText");

    Agent->setCurrentIndex(16);
    EXPECT_TRUE(Text->isEnabled());
    EXPECT_EQ(Text->text(), QStringLiteral("CustomBot/1.0"));
    EXPECT_EQ(Base(Text), QStringLiteral("#ffffff"));
    Text->clear(); // the empty text is never kept
    EXPECT_EQ(Text->text(), QStringLiteral("CustomBot/1.0"));
    Text->selectAll();
    QTest::keyClicks(Text, QStringLiteral("MyBot/1.0"));
    EXPECT_EQ(W->UserAgentText(), QStringLiteral("MyBot/1.0"));

    // Another entry and back: the typed text comes back while the program runs.
    Agent->setCurrentIndex(3);
    EXPECT_FALSE(Text->isEnabled());
    EXPECT_TRUE(Text->text().contains(QStringLiteral("Googlebot/2.1")));
    Agent->setCurrentIndex(16);
    EXPECT_EQ(Text->text(), QStringLiteral("MyBot/1.0"));
    W->close();
    EXPECT_EQ(Folder.ReadIni(),
              QByteArray("[PARAMS]\r\nuser-agent=16\r\ncustom-user-agent=MyBot/1.0\r\n"));

    // Next start: the stored text; choosing another entry before closing drops it.
    auto W2 = OpenWindow(1049);
    auto *Text2 = Find<QLineEdit>(W2.get(), "edUserAgentText");
    EXPECT_EQ(Text2->text(), QStringLiteral("MyBot/1.0"));
    Find<QComboBox>(W2.get(), "edUserAgent")->setCurrentIndex(6);
    W2->close();
    EXPECT_EQ(Folder.ReadIni(),
              QByteArray("[PARAMS]\r\nuser-agent=6\r\ncustom-user-agent=MyBot/1.0\r\n"));
    auto W3 = OpenWindow(1049);
    Find<QComboBox>(W3.get(), "edUserAgent")->setCurrentIndex(16);
    EXPECT_EQ(Find<QLineEdit>(W3.get(), "edUserAgentText")->text(), QStringLiteral("MyBot/1.0"));
    W3->close();
}

TEST(SettingsUserAgent, IndexOutOfTheTableSelectsNothing) {
    for (const char *Ini : {"[PARAMS]\nuser-agent=17\n", "[PARAMS]\nuser-agent=-1\n"}) {
        TAppFolder Folder;
        Folder.WriteIni(Ini);
        auto W = OpenWindow(1049);
        EXPECT_EQ(Find<QComboBox>(W.get(), "edUserAgent")->currentIndex(), -1) << Ini;
        auto *Text = Find<QLineEdit>(W.get(), "edUserAgentText");
        EXPECT_TRUE(Text->text().isEmpty());
        EXPECT_FALSE(Text->isEnabled());
        W->close();
        EXPECT_EQ(Folder.ReadIni(), QByteArray("[PARAMS]\r\nuser-agent=-1\r\n")) << Ini;
    }
}

TEST(SettingsFile, UnwritableFolderIsReportedAndTheWindowStillCloses) {
    TAppFolder Folder;
    // A program folder that cannot take the file.
    SetAppDir(Folder.Dir.filePath(QStringLiteral("no-such-folder")));
    ui::TestDialogs Dialogs;
    auto W = OpenWindow(1049);
    W->close();
    EXPECT_FALSE(W->isVisible());
    // The store of checks beside the settings cannot be made either: said
    // at the start.
    ASSERT_EQ(Dialogs.calls.size(), 2);
    EXPECT_EQ(Dialogs.calls[0].icon, ui::MessageIcon::Warning);
    EXPECT_TRUE(Dialogs.calls[0].text.contains(QStringLiteral("no-such-folder/Corvane.db")));
    EXPECT_EQ(Dialogs.calls[1].icon, ui::MessageIcon::Error);
    EXPECT_EQ(Dialogs.calls[1].text,
              QStringLiteral("Unable to write to ") +
                  Folder.Dir.filePath(QStringLiteral("no-such-folder/Corvane.ini")));
}

TEST(SettingsFields, TextThatIsNoNumberStandsForTheMinimum) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    struct Case {
        const char *Field;
        const char *Typed;
        int Value;
    };
    const Case Cases[] = {
        {"edMaxTreads", "", 1},   {"edMaxTreads", "0", 1},    {"edShingleLen", "", 3},
        {"edPreDelay", "", 1500}, {"edPreDelay", "20", 1500}, {"edShingleLen", "9", 9},
    };
    for (const Case &C : Cases) {
        auto *S = Find<QSpinBox>(W.get(), C.Field);
        S->setValue(S->maximum());
        S->selectAll();
        QTest::keyClick(S, Qt::Key_Backspace);
        QTest::keyClicks(S, QString::fromLatin1(C.Typed));
        QTest::keyClick(S, Qt::Key_Return);
        EXPECT_EQ(S->value(), C.Value) << C.Field << " '" << C.Typed << "'";
    }
    W->close();
}

TEST(SettingsFile, HandWrittenFormsAreRead) {
    TAppFolder Folder;
    // Byte-order mark, other letter case, blanks around "=", LF line ends, junk lines.
    Folder.WriteIni(
        "\xEF\xBB\xBF[params]\n max-threads = 7\nnot a key line\n=9\nSHINGLE-LENGTH=4\n");
    auto W = OpenWindow(1049);
    EXPECT_EQ(W->MaxThreads(), 7);
    EXPECT_EQ(W->ShingleLengthSetting(), 4);
    W->close();
    // The lines that were not rewritten stay as they were.
    EXPECT_EQ(Folder.ReadIni(), QByteArray("[params]\r\nmax-threads=7\r\nnot a key line\r\n=9\r\n"
                                           "shingle-length=4\r\nuser-agent=0\r\n"));
}

TEST(SettingsPage, TextComparisonButtonOpensTheFreeTextWindow) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    QString Title;
    QWidget *Parent = nullptr;
    // The window is modal: note what opened and close it from inside its loop.
    QTimer::singleShot(0, [&] {
        if (QWidget *M = QApplication::activeModalWidget()) {
            Title = M->windowTitle();
            Parent = M->parentWidget();
            M->close();
        }
    });
    QTest::mouseClick(Find<QPushButton>(W.get(), "PngBitBtn1"), Qt::LeftButton);
    EXPECT_EQ(Title, QStringLiteral("Сравнение текстов на схожесть"));
    EXPECT_EQ(Parent, W.get());
    W->close();
}
