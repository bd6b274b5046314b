#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "engine/report.h"

using namespace corvane;

namespace {

TEST(EngineReport, LayoutQuotingAndRowOrder) {
    TURLTaskInfo ok(QStringLiteral("https://a.example/"), 1),
        failed(QStringLiteral("https://a.example/404"), 2),
        unchecked(QStringLiteral("https://a.example/x;y\"z"), 3);
    ok.InitResults();
    ok.TaskResults->TaskResult = trOk;
    ok.TaskResults->Uniqueness = 87.25;
    failed.InitResults();
    failed.TaskResults->TaskResult = trHTTPError;
    failed.TaskResults->ErrorCode = 404;
    failed.TaskResults->Uniqueness = 0;
    const QString text = ReportText({&failed, &unchecked, &ok});
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(),
              7); // header, three rows, empty line, footer, nothing after the last CR LF
    EXPECT_EQ(lines[0], QStringLiteral("№;URL;Код ответа;Уникальность, %;i"));
    EXPECT_EQ(lines[1], QStringLiteral("2;https://a.example/404;404;;i"));
    EXPECT_EQ(lines[2], QStringLiteral("3;\"https://a.example/x;y\"\"z\";;;i"));
    EXPECT_EQ(lines[3], QStringLiteral("1;https://a.example/;200;") + PercentText(87.25) +
                            QStringLiteral(";i"));
    EXPECT_EQ(lines[4], QString());
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral("Отчет сгенерирован при помощи Corvane ( ")));
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral(" )")));
    EXPECT_EQ(lines[6], QString());
    EXPECT_FALSE(text.contains(QStringLiteral("\n\n")));
}

TEST(EngineReport, WritesAndReplacesTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(DefaultReportName));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(10000, 'x'));
    }
    TURLTaskInfo t(QStringLiteral("https://a.example/Путь"), 1);
    QString error;
    ASSERT_TRUE(WriteReport(path, {&t}, error));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(bytes, ReportBytes({&t}));
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_FALSE(WriteReport(dir.filePath(QStringLiteral("no/such/folder/r.csv")), {&t}, error));
    EXPECT_EQ(error, QStringLiteral("Невозможно создать файл экспорта!"));
}

} // namespace
