#include <random>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/CliRunner.h"
#include "core/shingles.h"
#include "ui/compare/textdiff_rows.h"

using namespace corvane;

namespace {

CliRun diffCli(const QStringList &args) {
    return RunCli(QStringList{QStringLiteral("diff")} + args);
}

class CliDiff : public ::testing::Test {
protected:
    QString file(const char *name, const QByteArray &bytes) {
        return WriteFile(dir, QString::fromUtf8(name), bytes);
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(CliDiff, PrintsTheRowsOfTheWindow) {
    const QString a = file("a.txt", "\xEF\xBB\xBF"
                                    "alpha\r\nBeta  line\rthird\tx\\y\nold\n");
    const QString b = file("b.txt", "alpha\nnew\nbeta line\nthird\tx\\y\nchanged\nmore\n\n");
    const CliRun r = diffCli({a, b});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("=\t1\talpha\t1\talpha\n"
                                    "+\t\t\t2\tnew\n"
                                    "=\t2\tBeta  line\t3\tbeta line\n"
                                    "=\t3\tthird\\tx\\\\y\t4\tthird\\tx\\\\y\n"
                                    "<>\t4\told\t5\tchanged\n"
                                    "+\t\t\t6\tmore\n"
                                    "+\t\t\t7\t\n"));
    EXPECT_TRUE(r.err.isEmpty());

    // Two empty files have no rows.
    const QString empty = file("empty.txt", "");
    const CliRun none = diffCli({empty, empty});
    EXPECT_EQ(none.code, 0);
    EXPECT_TRUE(none.out.isEmpty());
}

// Longer texts: the command prints exactly the rows the window builds, with
// and without the page-text normalisation.
TEST_F(CliDiff, AgreesWithTheWindowRows) {
    std::mt19937 rng(7);
    QStringList lines1;
    for (int i = 0; i < 400; ++i)
        lines1 << QStringLiteral("Line %1, word %2 «%3»!").arg(i).arg(rng() % 50).arg(rng() % 9);
    QStringList lines2 = lines1;
    for (int c = 0; c < 40; ++c) {
        const qsizetype at = qsizetype(rng() % std::uint32_t(lines2.size()));
        switch (c % 3) {
        case 0:
            lines2[at] = QStringLiteral("Changed %1").arg(c);
            break;
        case 1:
            lines2.insert(at, QStringLiteral("INSERTED %1").arg(c));
            break;
        default:
            lines2.removeAt(at);
        }
    }
    const QString t1 = lines1.join(QStringLiteral("\r\n")),
                  t2 = lines2.join(QStringLiteral("\r\n"));
    const QString a = file("a.txt", t1.toUtf8()), b = file("b.txt", t2.toUtf8());
    for (bool normalize : {false, true}) {
        QString n1 = t1, n2 = t2;
        if (normalize) {
            NormalizeText(n1);
            NormalizeText(n2);
        }
        QString want;
        int changed = 0;
        for (const TDiffObj &row : BuildDiffRows(n1, n2)) {
            want += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                        .arg(ChangeKindSymbol(row.ChgKind),
                             row.LLineNum ? QString::number(row.LLineNum) : QString(), row.LText,
                             row.RLineNum ? QString::number(row.RLineNum) : QString(), row.RText);
            changed += row.ChgKind != ckNone;
        }
        EXPECT_GT(changed, 20);
        QStringList args{a, b};
        if (normalize) args << QStringLiteral("--normalize");
        const CliRun r = diffCli(args);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out, want) << "normalize " << normalize;
    }
}

TEST_F(CliDiff, Failures) {
    const QString good = file("good.txt", "text\n");
    struct Case {
        QStringList args;
        const char *message;
    };
    const Case cases[] = {
        {{good}, "two files"},
        {{good, good, good}, "two files"},
        {{good, dir.filePath(QStringLiteral("missing.txt"))}, "cannot read"},
        {{good, good, QStringLiteral("--bogus")}, "unknown option"},
    };
    for (const Case &c : cases) {
        const CliRun r = diffCli(c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const CliRun help = diffCli({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("diff FILE1 FILE2")));
}
