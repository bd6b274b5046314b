#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/CliRunner.h"
#include "core/shingles.h"

using namespace corvane;

namespace {

CliRun cli(const QStringList &args) {
    return RunCli(args);
}

class CliCompare : public ::testing::Test {
protected:
    QString file(const char *name, const QByteArray &bytes) {
        return WriteFile(dir, QString::fromUtf8(name), bytes);
    }
    QTemporaryDir dir;
};

const QByteArray Prose1 = "The quick brown fox jumps over the lazy dog near the river bank.\n"
                          "Every morning the fox runs along the river to find something to eat.\n"
                          "Лиса бежит вдоль реки каждое утро, чтобы найти что-нибудь поесть.\n";
const QByteArray Prose2 = "The quick brown fox jumps over the lazy dog near the old mill.\n"
                          "Every morning the fox runs along the river to find something to eat.\n"
                          "Лиса бежит вдоль реки каждое утро, чтобы найти что-нибудь поесть.\n";

double expected(QString a, QString b, int n, bool skip) {
    NormalizeText(a);
    NormalizeText(b);
    return ShingleSimilarity(*BuildShingles(a, {}, n, skip), *BuildShingles(b, {}, n, skip));
}

} // namespace

TEST_F(CliCompare, PrintsTheSimilarityOfTheDefinitions) {
    const QString a = file("a.txt", Prose1), b = file("b.txt", Prose2);
    // The panes hand over CR LF line breaks.
    QString ta = QString::fromUtf8(Prose1).replace(u'\n', QStringLiteral("\r\n"));
    QString tb = QString::fromUtf8(Prose2).replace(u'\n', QStringLiteral("\r\n"));
    struct Case {
        QStringList options;
        int n;
        bool skip;
    };
    const Case cases[] = {
        {{}, 6, true},
        {{QStringLiteral("--shingle-length"), QStringLiteral("3")}, 3, true},
        {{QStringLiteral("--shingle-length=10"), QStringLiteral("--stop-words"),
          QStringLiteral("off")},
         10,
         false},
    };
    for (const Case &c : cases) {
        const double want = expected(ta, tb, c.n, c.skip);
        ASSERT_GT(want, 0);
        ASSERT_LT(want, 100);
        CliRun plain = cli(QStringList{QStringLiteral("compare"), a, b} + c.options);
        EXPECT_EQ(plain.code, 0) << plain.err.toStdString();
        EXPECT_EQ(plain.out, QString::asprintf("%.2f\n", want));
        CliRun json =
            cli(QStringList{QStringLiteral("compare"), a, b, QStringLiteral("--json")} + c.options);
        EXPECT_EQ(json.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
        EXPECT_EQ(o.value(QStringLiteral("similarity")).toDouble(), want);
        EXPECT_EQ(o.value(QStringLiteral("shingles1")).toInt(), [&] {
            QString t = ta;
            NormalizeText(t);
            return BuildShingles(t, {}, c.n, c.skip)->Count();
        }());
    }
}

TEST_F(CliCompare, LineBreaksAndByteOrderMark) {
    // Words across a line break join only as CR LF does; LF, CR and CR LF
    // files are read alike, and a byte-order mark is not part of the text.
    const QByteArray words = "alpha beta gamma delta epsilon zeta eta theta iota kappa";
    QByteArray lf = words, cr = words, crlf = words;
    lf.replace(' ', '\n');
    cr.replace(' ', '\r');
    crlf.replace(" ", "\r\n");
    const QString ref = file("ref.txt", words);
    for (const QByteArray &variant : {lf, cr, crlf, "\xEF\xBB\xBF" + words}) {
        CliRun r = cli({QStringLiteral("compare"), ref, file("v.txt", variant)});
        EXPECT_EQ(r.out, QStringLiteral("100.00\n")) << variant.toStdString();
    }
}

TEST_F(CliCompare, Failures) {
    const QString good = file("good.txt", Prose1);
    const QString empty = file("empty.txt", " \r\n«—»!? ...\t");
    struct Case {
        QStringList args;
        const char *message;
    };
    const Case cases[] = {
        {{QStringLiteral("compare"), empty, good}, "Текст #1 не имеет содержимого для сравнения"},
        {{QStringLiteral("compare"), good, empty}, "Текст #2 не имеет содержимого для сравнения"},
        {{QStringLiteral("compare"), good, dir.filePath(QStringLiteral("missing.txt"))},
         "cannot read"},
        {{QStringLiteral("compare"), good}, "two files"},
        {{QStringLiteral("compare"), good, good, QStringLiteral("--shingle-length"),
          QStringLiteral("11")},
         "from 3 to 10"},
        {{QStringLiteral("compare"), good, good, QStringLiteral("--shingle-length"),
          QStringLiteral("2")},
         "from 3 to 10"},
        {{QStringLiteral("compare"), good, good, QStringLiteral("--stop-words"),
          QStringLiteral("yes")},
         "\"on\" or \"off\""},
        {{QStringLiteral("compare"), good, good, QStringLiteral("--bogus")}, "unknown option"},
        {{QStringLiteral("frobnicate")}, "unknown command"},
    };
    for (const Case &c : cases) {
        CliRun r = cli(c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST(Cli, HelpDocumentsCompare) {
    CliRun r = cli({QStringLiteral("--help")});
    EXPECT_EQ(r.code, 0);
    for (const char *s : {"compare FILE1 FILE2", "--shingle-length", "--stop-words", "--json"})
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(s))) << s;
    EXPECT_EQ(cli({QStringLiteral("compare"), QStringLiteral("--help")}).code, 0);
}
