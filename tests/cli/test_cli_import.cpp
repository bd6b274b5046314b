// corvane-cli check --sitemap: a hostile sitemap under a memory bound.
#include <gtest/gtest.h>

#include <mutex>

#include <QProcess>
#include <QTemporaryDir>

#include "common/CliRunner.h"
#include "common/TestServer.h"

using namespace corvane::test;

namespace {

class CliImport : public ::testing::Test {
protected:
    CliImport() {
        site->Get(R"(/.*)", [this](const httplib::Request &req, httplib::Response &res) {
            {
                std::lock_guard lock(mutex);
                fetched << QString::fromStdString(req.path);
            }
            res.set_content("<p>A page of the site with a paragraph of several words.</p>",
                            "text/html");
        });
        site.Start();
    }

    QStringList fetchedPaths() {
        std::lock_guard lock(mutex);
        QStringList out = std::exchange(fetched, {});
        out.sort();
        return out;
    }

    TTestServer site;
    std::mutex mutex;
    QStringList fetched;
    QTemporaryDir dir;
};

// 200 000 uses of a 4 000-character entity in a 600 KB file took 1.6 GB.
// Under 1 GiB of address space and 20 s, the program refuses the file.
TEST_F(CliImport, EntityBombIsRefusedWithinBounds) {
    const QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE urlset [<!ENTITY e \"" +
                           QByteArray(4000, 'a') +
                           "\">]>\n<urlset><url><loc>https://x.example/</loc><lastmod>" +
                           QByteArray("&e;").repeated(200000) + "</lastmod></url></urlset>\n";
    const QString path = WriteFile(dir, QStringLiteral("sitemap.xml"), xml);
    QProcess p;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const char *limit = ""; // a sanitizer's shadow memory does not fit under it
#else
    const char *limit = "ulimit -v 1048576 && ";
#endif
    p.start(QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QString::fromLatin1(limit) + QStringLiteral("exec \"$0\" \"$@\""),
             QStringLiteral(CORVANE_CLI), QStringLiteral("check"), QStringLiteral("--sitemap"),
             path, QStringLiteral("--lang"), QStringLiteral("ru")});
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        FAIL() << "still running after 20 s";
    }
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 2) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Ошибка при разборе файла: Файл объявляет сущности XML "
                                            "(<!ENTITY>), недопустимые в sitemap")))
        << err.toStdString();
    EXPECT_TRUE(fetchedPaths().isEmpty());
}

} // namespace
