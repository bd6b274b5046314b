#include <random>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/plaintextclient.h"
#include "core/qstring_print.h"
#include "net/CurlEasy.h"
#include "service/PlainTextService.h"
#include "service/endpoints.h"

using namespace corvane;
using namespace corvane::test;

namespace {

TCurlGlobal CurlGlobal;

struct TAnswer {
    long Status;
    QByteArray Body;
};

// A POST of the form field "text", as the program's client sends it.
TAnswer PostText(const QString &Url, const QByteArray &Html) {
    ICurlForm form = NewCurlForm();
    ICurlField field = NewCurlField();
    field->Name("text").ContentRaw(Html);
    form->Add(field);
    ICurl c = NewCurl();
    c->SetUrl(Url)
        .SetOpt(CURLOPT_POST, 1)
        .SetForm(form)
        .SetOpt(CURLOPT_SSL_VERIFYPEER, 0)
        .SwitchRecvToString();
    c->Perform();
    return {c->ResponseCode(), c->ResponseBody()};
}

TAnswer Get(const QString &Url) {
    ICurl c = NewCurl();
    c->SetUrl(Url)
        .SetOpt(CURLOPT_SSL_VERIFYPEER, 0)
        .SetOpt(CURLOPT_SSL_VERIFYHOST, 0)
        .SwitchRecvToString();
    c->Perform();
    return {c->ResponseCode(), c->ResponseBody()};
}

class ServiceHttp : public ::testing::Test {
protected:
    void SetUp() override {
        TPlainTextServiceOptions options;
        options.MaxBodyBytes = 1 << 20;
        QString error;
        ASSERT_TRUE(service.Start(options, &error)) << error.toStdString();
        ASSERT_GT(service.Port(), 0);
        ASSERT_EQ(service.Url(), QStringLiteral("http://127.0.0.1:%1/").arg(service.Port()));
    }
    httplib::Client Client() { return httplib::Client("127.0.0.1", service.Port()); }
    TPlainTextService service;
};

} // namespace

TEST_F(ServiceHttp, AnswersTheVisibleTextAndHealth) {
    const TAnswer a =
        PostText(service.Url(), "<html><head><title>T</title></head><body><h1>Заголовок</h1>"
                                "<p>Первый абзац &amp; <b>жирный</b></p></body></html>");
    EXPECT_EQ(a.Status, 200);
    EXPECT_EQ(QString::fromUtf8(a.Body), u"Заголовок\nПервый абзац & жирный\n");
    EXPECT_EQ(PostText(service.Url(), "<script>x</script>").Body, "1\n");

    auto res = Client().Post(
        "/",
        "--b\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\n<p>\xC3\x9C</p>\r\n--b--\r\n",
        "multipart/form-data; boundary=b");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, "\xC3\x9C\n");
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=utf-8");

    const TAnswer health = Get(service.Url() + QStringLiteral("health"));
    EXPECT_EQ(health.Status, 200);
    EXPECT_EQ(health.Body, "ok\n");
    EXPECT_EQ(Get(service.Url() + QStringLiteral("nothing")).Status, 404);
}

TEST_F(ServiceHttp, BadRequestsGetAStatusAndAReason) {
    httplib::Client client = Client();
    struct {
        const char *name;
        std::string contentType, body;
        int status;
    } const cases[] = {
        {"not a form", "text/html", "<p>x</p>", 400},
        {"no field text", "multipart/form-data; boundary=b",
         "--b\r\nContent-Disposition: form-data; name=\"page\"\r\n\r\nx\r\n--b--\r\n", 400},
        {"no boundary", "multipart/form-data",
         "--b\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\nx\r\n--b--\r\n", 400},
        {"no closing boundary", "multipart/form-data; boundary=b",
         "--b\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\nx", 400},
        {"other boundary", "multipart/form-data; boundary=a",
         "--b\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\nx\r\n--b--\r\n", 400},
        {"no part headers", "multipart/form-data; boundary=b", "--b\r\n\r\nx\r\n--b--\r\n", 400},
        {"empty", "multipart/form-data; boundary=b", "", 400},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto res = client.Post("/", c.body, c.contentType.c_str());
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, c.status);
        EXPECT_FALSE(res->body.empty());
    }
}

TEST_F(ServiceHttp, OversizedBodiesGet413) {
    httplib::Client client = Client();
    const std::string big = "--b\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\n" +
                            std::string((1 << 20) + 1, 'x') + "\r\n--b--\r\n";
    // With a length announced ...
    auto res = client.Post("/", big, "multipart/form-data; boundary=b");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    // ... and without one (chunked).
    res = client.Post(
        "/",
        [&](size_t offset, httplib::DataSink &sink) {
            if (offset >= big.size()) {
                sink.done();
                return true;
            }
            return sink.write(big.data() + offset, std::min<size_t>(65536, big.size() - offset));
        },
        "multipart/form-data; boundary=b");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    // A page just under the limit is served.
    std::string page = "<p>" + std::string((1 << 20) - 400, 'y') + "</p>";
    EXPECT_EQ(PostText(service.Url(), QByteArray::fromStdString(page)).Status, 200);
}

TEST_F(ServiceHttp, RandomBodiesNeverBringItDown) {
    httplib::Client client = Client();
    std::mt19937 rng(7);
    const std::string parts[] = {"--b",
                                 "\r\n",
                                 "Content-Disposition: form-data; name=\"text\"",
                                 "; filename=\"f\"",
                                 "Content-Type: text/html",
                                 "<p>",
                                 "x",
                                 "--b--",
                                 "--",
                                 "\r\n\r\n",
                                 ":",
                                 "\"",
                                 "\0"};
    for (int round = 0; round < 300; ++round) {
        std::string body;
        const int n = int(rng() % 40);
        for (int i = 0; i < n; ++i) body += parts[rng() % std::size(parts)];
        auto res = client.Post("/", body, "multipart/form-data; boundary=b");
        ASSERT_TRUE(res) << body;
        ASSERT_TRUE(res->status == 200 || res->status == 400) << res->status << " " << body;
    }
    EXPECT_EQ(Get(service.Url() + QStringLiteral("health")).Body, "ok\n");
}

TEST(ServiceLifecycle, StartsStopsAndReportsBindFailures) {
    TPlainTextService a, b;
    ASSERT_TRUE(a.Start({}));
    TPlainTextServiceOptions same;
    same.Port = a.Port();
    QString error;
    EXPECT_FALSE(b.Start(same, &error));
    EXPECT_EQ(error, QStringLiteral("cannot listen on 127.0.0.1:%1").arg(a.Port()));
    a.Stop();
    EXPECT_FALSE(a.IsRunning());
    ASSERT_TRUE(b.Start(same, &error)) << error.toStdString(); // the port is free again
    EXPECT_EQ(Get(b.Url() + QStringLiteral("health")).Body, "ok\n");

    TPlainTextServiceOptions noKey;
    noKey.CertFile = QStringLiteral("/nonexistent/cert.pem");
    TPlainTextService c;
    EXPECT_FALSE(c.Start(noKey, &error));
    EXPECT_EQ(error, u"HTTPS needs both a certificate and a key");
    noKey.KeyFile = QStringLiteral("/nonexistent/key.pem");
    EXPECT_FALSE(c.Start(noKey, &error));
    EXPECT_TRUE(error.startsWith(u"cannot load the certificate")) << error.toStdString();
}

TEST(ServiceLifecycle, ServesHttpsWithAGivenCertificate) {
    QTemporaryDir dir;
    TSelfSigned cert;
    TPlainTextServiceOptions options;
    options.CertFile = dir.filePath(QStringLiteral("cert.pem"));
    options.KeyFile = dir.filePath(QStringLiteral("key.pem"));
    cert.WritePem(options.CertFile.toStdString(), options.KeyFile.toStdString());
    TPlainTextService service;
    ASSERT_TRUE(service.Start(options));
    ASSERT_TRUE(service.Url().startsWith(u"https://127.0.0.1:"));
    // The program's client switches only the certificate check off.
    const TExtractResult r =
        GetPlainTextFromService("<p>over TLS</p>", {service.Url(), service.Url()});
    EXPECT_EQ(r.Code, -1) << "the host name check stays on, and the certificate names localhost";
    const QString byName = QStringLiteral("https://localhost:%1/").arg(service.Port());
    const TExtractResult ok = GetPlainTextFromService("<p>over TLS</p>", {byName, byName});
    EXPECT_EQ(ok.Code, 0) << ok.Text.toStdString();
    EXPECT_EQ(ok.Text, u"over TLS\r\n");
}

TEST(ServiceEndpoints, SettingsOrEmbeddedServices) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Corvane.ini"));
    auto write = [&](const QByteArray &text) {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    };
    write("[PARAMS]\nlang=en\nplaintext-endpoint-1=https://a.example:8443/"
          "\nplaintext-endpoint-2=https://b.example/x\n");
    TPlainTextEndpoints ep = ResolvePlainTextEndpoints(ini);
    EXPECT_EQ(ep.First, u"https://a.example:8443/");
    EXPECT_EQ(ep.Second, u"https://b.example/x");
    write("[PARAMS]\nplaintext-endpoint-2=http://only.example/\n");
    ep = ResolvePlainTextEndpoints(ini);
    EXPECT_EQ(ep.First, u"http://only.example/");
    EXPECT_EQ(ep.Second, u"http://only.example/");
    // Read as the window reads the file: names in any letter case.
    write("[params]\r\nPlaintext-Endpoint-1 = http://one.example/\r\n"
          "PLAINTEXT-ENDPOINT-2=http://two.example/,x\r\n");
    ep = ResolvePlainTextEndpoints(ini);
    EXPECT_EQ(ep.First, u"http://one.example/");
    EXPECT_EQ(ep.Second, u"http://two.example/,x");

    // Neither key: two services in this process, on loopback.
    write("[PARAMS]\nlang=en\n");
    QString error;
    ep = ResolvePlainTextEndpoints(ini, &error);
    ASSERT_FALSE(ep.First.isEmpty()) << error.toStdString();
    const QRegularExpression loopback(QStringLiteral("^http://127\\.0\\.0\\.1:\\d+/$"));
    EXPECT_TRUE(loopback.match(ep.First).hasMatch()) << ep.First.toStdString();
    EXPECT_TRUE(loopback.match(ep.Second).hasMatch()) << ep.Second.toStdString();
    EXPECT_NE(ep.First, ep.Second);
    const TPlainTextEndpoints again =
        ResolvePlainTextEndpoints(dir.filePath(QStringLiteral("missing.ini")));
    EXPECT_EQ(again.First, ep.First);
    EXPECT_EQ(again.Second, ep.Second);
    for (const QString &url : {ep.First, ep.Second}) {
        const TExtractResult r = GetPlainTextFromService("<p>Hello</p><p>world</p>", {url, url});
        EXPECT_EQ(r.Code, 0);
        EXPECT_EQ(r.Text, u"Hello\r\nworld\r\n");
    }
    StopEmbeddedPlainTextServices();
    EXPECT_EQ(GetPlainTextFromService("<p>x</p>", ep).Code, -1);
}

TEST(ServiceProgram, ListensLogsAndStops) {
    QProcess p;
    p.start(QStringLiteral(CORVANE_PLAINTEXT),
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--threads"),
             QStringLiteral("2")});
    ASSERT_TRUE(p.waitForStarted());
    p.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains('\n') && p.waitForReadyRead(10000)) err += p.readAllStandardError();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("listening on (http://127\\.0\\.0\\.1:\\d+/)"))
            .match(QString::fromUtf8(err));
    ASSERT_TRUE(m.hasMatch()) << err.toStdString();
    const QString url = m.captured(1);
    EXPECT_EQ(PostText(url, "<p>one</p>two").Body, "one\ntwo\n");
    EXPECT_EQ(Get(url + QStringLiteral("health")).Body, "ok\n");
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    err += p.readAllStandardError();
    const QString log = QString::fromUtf8(err);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("\n127\\.0\\.0\\.1 POST / 200 in=\\d+ out=8 \\d+ ms\n"))
            .match(log)
            .hasMatch())
        << err.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("GET /health 200 in=0 out=3 "))) << err.toStdString();
}

TEST(ServiceProgram, RejectsBadArguments) {
    const QStringList bad[] = {
        {},
        {QStringLiteral("--listen"), QStringLiteral("nowhere")},
        {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:99999")},
        {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--cert"),
         QStringLiteral("c.pem")},
        {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--threads"),
         QStringLiteral("0")},
        {QStringLiteral("--bogus")},
    };
    for (const QStringList &args : bad) {
        QProcess p;
        p.start(QStringLiteral(CORVANE_PLAINTEXT), args);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(p.readAllStandardError().startsWith("corvane-plaintext: "));
    }
}
