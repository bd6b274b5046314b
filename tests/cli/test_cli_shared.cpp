#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/CliRunner.h"

namespace {

class CliShared : public ::testing::Test {
protected:
    QString file(const char *name, const QByteArray &bytes) {
        return WriteFile(dir, QString::fromUtf8(name), bytes);
    }
    CliRun shared(const QStringList &args) {
        return RunCli(QStringList{QStringLiteral("shared")} + args);
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(CliShared, PassagesOfReorderedTexts) {
    // The paragraphs stand in the other order. The last word of a text is in
    // no shingle, so "kappa lambda mu" is no shingle of the first file.
    const QString a =
        file("a.txt", "Alpha beta gamma delta.\nEpsilon zeta eta theta!\nIota kappa lambda mu\n");
    const QString b =
        file("b.txt",
             "Iota kappa lambda mu\nOther words right here\nAlpha beta gamma delta, and more\n");
    const CliRun r = shared({a, b, QStringLiteral("--shingle-length"), QStringLiteral("3"),
                             QStringLiteral("--stop-words"), QStringLiteral("off")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("1\t0\t4\tAlpha beta gamma delta\n"
                                    "1\t8\t3\tIota kappa lambda\n"
                                    "2\t0\t3\tIota kappa lambda\n"
                                    "2\t8\t4\tAlpha beta gamma delta\n"));
}

TEST_F(CliShared, OptionsAndLineBreaks) {
    // A passage across a line break is printed on one line.
    const QString a = file("a.txt", "one two three\nfour five six seven");
    const QString b = file("b.txt", "x one two three\r\nfour five six y");
    const CliRun r =
        shared({a, b, QStringLiteral("--shingle-length=3"), QStringLiteral("--stop-words=off")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("1\t0\t6\tone two three four five six\n"
                                    "2\t1\t6\tone two three four five six\n"));

    // With stop words passed over (the default) a passage neither starts
    // nor ends with one; counted as words all the same.
    const QString c = file("c.txt", "we saw the history of the old mill and the river yesterday");
    const QString d = file("d.txt", "look at the history of the old mill and the river told here");
    const CliRun skip = shared({c, d, QStringLiteral("--shingle-length"), QStringLiteral("3")});
    EXPECT_EQ(skip.code, 0) << skip.err.toStdString();
    EXPECT_EQ(skip.out, QStringLiteral("1\t3\t8\thistory of the old mill and the river\n"
                                       "2\t3\t8\thistory of the old mill and the river\n"));
    const CliRun all = shared({c, d, QStringLiteral("--shingle-length"), QStringLiteral("3"),
                               QStringLiteral("--stop-words"), QStringLiteral("off")});
    EXPECT_EQ(all.out, QStringLiteral("1\t2\t9\tthe history of the old mill and the river\n"
                                      "2\t2\t9\tthe history of the old mill and the river\n"));
    // Default length 6: these texts share nothing that long.
    const CliRun six = shared({c, d});
    EXPECT_EQ(six.code, 0);
    EXPECT_EQ(six.out, QString());
}

TEST_F(CliShared, Refusals) {
    const QString a = file("a.txt", "some words to compare with each other here");
    const QString blank = file("blank.txt", " -- ... \n");
    struct Case {
        QStringList args;
        const char *err; // part of the message
    };
    const Case cases[] = {
        {{a}, "two files"},
        {{a, blank}, ""},
        {{blank, a}, ""},
        {{a, dir.filePath(QStringLiteral("missing.txt"))}, "missing.txt"},
        {{a, a, QStringLiteral("--shingle-length"), QStringLiteral("2")}, "--shingle-length"},
        {{a, a, QStringLiteral("--stop-words"), QStringLiteral("maybe")}, "--stop-words"},
    };
    for (const Case &c : cases) {
        const CliRun r = shared(c.args);
        EXPECT_EQ(r.code, 2) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.err))) << r.err.toStdString();
    }
}
