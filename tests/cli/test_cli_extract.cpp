#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/htmltotext.h"
#include "core/shingles.h"

using namespace corvane;

namespace {

struct ExtractRun {
    int code;
    QByteArray out;
    QString err;
};

ExtractRun extract(const QStringList &args) {
    QProcess p;
    // The local extraction; test_cli_extract_sources.cpp covers the service.
    p.start(QStringLiteral(CORVANE_CLI),
            QStringList{QStringLiteral("extract"), QStringLiteral("--alg"), QStringLiteral("2")} +
                args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

class CliExtract : public ::testing::Test {
protected:
    QString page(const QByteArray &bytes) {
        const QString path = dir.filePath(QStringLiteral("page.html"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

const QByteArray Page = "<html><head><title>Skipped</title></head><body>\n"
                        "<h1>Title</h1><div>menu one two three four five</div>\n"
                        "<p>The first paragraph has  enough words .</p><p>Too short</p>\n"
                        "<p>An unclosed paragraph";

} // namespace

TEST_F(CliExtract, RawTextKeepsItsLineBreaks) {
    const ExtractRun r = extract({QStringLiteral("--raw"), page(Page)});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(
        r.out,
        QByteArray("Title\r\nThe first paragraph has enough words.\r\nAn unclosed paragraph"));
}

TEST_F(CliExtract, PrintsTheNormalisedText) {
    const ExtractRun r = extract({page(Page)});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    QString expected = ExtractSignificantText(Page).Text;
    NormalizeText(expected);
    EXPECT_EQ(r.out, expected.toUtf8());
    EXPECT_TRUE(r.out.startsWith("Title")) << r.out.constData();
}

TEST_F(CliExtract, DecodesTheDeclaredCharset) {
    const QByteArray w1251 =
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
        "<h2>\xcf\xf0\xe8\xe2\xe5\xf2</h2>";
    const ExtractRun r = extract({QStringLiteral("--raw"), page(w1251)});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(QString::fromUtf8(r.out), QStringLiteral("Привет"));
}

TEST_F(CliExtract, BlankPageGivesEmptyOutput) {
    EXPECT_EQ(extract({page("<div>a</div><div>b</div>")}).out, QByteArray());
    EXPECT_EQ(extract({QStringLiteral("--raw"), page("<div>a</div><div>b</div>")}).out,
              QByteArray(" "));
}

// The page bytes a check takes from a local file: a byte-order mark selects
// UTF-16 as it does for a check.
TEST_F(CliExtract, ReadsLocalFilesAsACheckDoes) {
    const QString html = QStringLiteral("<p>Пять слов на этой странице</p>");
    QByteArray utf16("\xFF\xFE");
    utf16.append(reinterpret_cast<const char *>(html.utf16()), html.size() * 2);
    const ExtractRun r = extract({page(utf16)});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out), QStringLiteral("Пять слов на этой странице"));
    const ExtractRun folder = extract({dir.path()});
    EXPECT_EQ(folder.code, 2);
    EXPECT_TRUE(folder.err.contains(QStringLiteral("no such file"))) << folder.err.toStdString();
}

TEST_F(CliExtract, BadArguments) {
    const ExtractRun missing = extract({dir.filePath(QStringLiteral("none.html"))});
    EXPECT_EQ(missing.code, 2);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("cannot read"))) << missing.err.toStdString();
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(extract({}).code, 2);
    EXPECT_EQ(extract({page("x"), page("y")}).code, 2);
    EXPECT_EQ(extract({QStringLiteral("--bogus"), page("x")}).code, 2);
    const ExtractRun help = extract({QStringLiteral("--help")});
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(help.out.contains("extract [--alg 1|2] [--raw]"));
}
