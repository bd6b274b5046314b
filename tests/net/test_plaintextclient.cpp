#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/TestServer.h"
#include "core/plaintextclient.h"
#include "core/qstring_print.h"
#include "net/CurlEasy.h"

using namespace corvane;
using namespace corvane::test;
using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

TCurlGlobal CurlGlobal;

// A plain-text service stand-in: answers every POST with the next status and
// body of its script (the last one repeats), and keeps what it was sent.
class TFakeService {
public:
    struct TAnswer {
        int Status;
        std::string Body;
    };
    struct TReceived {
        steady_clock::time_point At;
        size_t Parts;
        httplib::MultipartFormData Text;
        std::string UserAgent;
    };
    explicit TFakeService(std::vector<TAnswer> Script) : fScript(std::move(Script)) {
        fServer->Post("/", [this](const httplib::Request &req, httplib::Response &res) {
            std::lock_guard lock(fMutex);
            fReceived.push_back({steady_clock::now(), req.files.size(), req.get_file_value("text"),
                                 req.get_header_value("User-Agent")});
            const TAnswer &a = fScript[std::min(fReceived.size(), fScript.size()) - 1];
            res.status = a.Status;
            res.set_content(a.Body, "text/plain; charset=utf-8");
        });
        fServer.Start();
    }
    QString Url() const { return fServer.Url(); }
    std::vector<TReceived> Received() {
        std::lock_guard lock(fMutex);
        return fReceived;
    }
    size_t Hits() { return Received().size(); }

private:
    std::vector<TAnswer> fScript;
    TTestServer fServer;
    std::mutex fMutex;
    std::vector<TReceived> fReceived;
};

class NetPlainTextClient : public ::testing::Test {
protected:
    void SetUp() override { ResetPlainTextEndpointSelector(); }
};

QString ClosedUrl() {
    TTestServer s; // bound and released: nothing listens there afterwards
    s.Start();
    const QString url = s.Url();
    s.Stop();
    return url;
}

} // namespace

TEST_F(NetPlainTextClient, SendsTheDecodedPageAsOneUtf8FieldAndAlternatesEndpoints) {
    TFakeService first({{200, "first\n"}}), second({{200, "second\n"}});
    const TPlainTextEndpoints endpoints{first.Url(), second.Url()};
    // Windows-1251 bytes of "Привет" behind a meta element naming the code page.
    const QByteArray page =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
        "</head><body><p>\xCF\xF0\xE8\xE2\xE5\xF2</p></body></html>";

    const TExtractResult a = GetPlainTextFromService(page, endpoints);
    const TExtractResult b = GetPlainTextFromService(page, endpoints);
    const TExtractResult c = GetPlainTextFromService(page, endpoints);
    // The first call after start goes to the second endpoint.
    EXPECT_EQ(a.Text, u"second\r\n");
    EXPECT_EQ(b.Text, u"first\r\n");
    EXPECT_EQ(c.Text, u"second\r\n");
    EXPECT_EQ(a.Code, 0);
    ASSERT_EQ(first.Hits(), 1u);
    ASSERT_EQ(second.Hits(), 2u);

    const auto got = first.Received()[0];
    EXPECT_EQ(got.Parts, 1u);
    EXPECT_EQ(got.Text.name, "text");
    EXPECT_EQ(got.Text.filename, "");
    EXPECT_EQ(got.Text.content_type, "");
    EXPECT_EQ(QString::fromUtf8(got.Text.content),
              QString::fromLatin1(page.left(page.indexOf("\xCF"))) +
                  QStringLiteral("Привет</p></body></html>"));
    EXPECT_EQ(got.UserAgent, DefaultUserAgent);
}

TEST_F(NetPlainTextClient, CleansTheAnswer) {
    struct {
        const char *answer;
        const char16_t *text;
    } const cases[] = {
        {"\xEF\xBB\xBF\r\nHello world\r\n\r\n",
         u"Hello world\r\n"}, // byte-order mark on a line of its own
        {"\xEF\xBB\xBF \t\nHello\n", u"Hello\r\n"},
        {"1\r\n\r\n", u""}, // "1": the page has no text
        {"1", u""},
        {"1\r\ntext", u"1\r\ntext\r\n"},
        {" 1 ", u" 1 \r\n"},
        {"", u""},
        {"  kept as is  \n\t\n\nb\rc\r\n", u"  kept as is  \r\nb\r\nc\r\n"},
        {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", u"Привет\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(CleanPlainTextAnswer(QString::fromUtf8(c.answer)), QString::fromUtf16(c.text));
    }
    // And through a real call.
    TFakeService service({{200, "\xEF\xBB\xBF\r\nHello world\r\n\r\n"}});
    const TExtractResult r =
        GetPlainTextFromService("<p>Hello world</p>", {service.Url(), service.Url()});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Text, u"Hello world\r\n");
}

TEST_F(NetPlainTextClient, FailedAttemptIsRetriedOnTheOtherEndpointOneSecondLater) {
    TFakeService first({{200, "text"}});
    const auto start = steady_clock::now();
    // The first attempt goes to the second endpoint, where nothing listens.
    const TExtractResult r = GetPlainTextFromService("<p>x</p>", {first.Url(), ClosedUrl()});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Text, u"text\r\n");
    ASSERT_EQ(first.Hits(), 1u);
    EXPECT_GE(first.Received()[0].At - start, 1000ms);
}

TEST_F(NetPlainTextClient, ErrorStatusIsAFailedAttempt) {
    TFakeService first({{200, "page text"}}), second({{500, "Internal Server Error"}});
    const TExtractResult r = GetPlainTextFromService("<p>x</p>", {first.Url(), second.Url()});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Text, u"page text\r\n");
    EXPECT_EQ(second.Hits(), 1u);
    EXPECT_EQ(first.Hits(), 1u);
}

TEST_F(NetPlainTextClient, ThreeFailuresGiveMinusOneAndTheLastError) {
    TFakeService failing({{503, "busy"}});
    const QString closed = ClosedUrl();
    // Attempts go second, first, second: the last one meets the closed port.
    const auto start = steady_clock::now();
    TExtractResult r = GetPlainTextFromService("<p>x</p>", {failing.Url(), closed});
    EXPECT_EQ(r.Code, -1);
    EXPECT_EQ(r.Text, u"ERROR: COULD NOT CALL PLAIN-TEXT WEB SERVICE: Couldn't connect to server");
    EXPECT_EQ(failing.Hits(), 1u);
    // Every attempt's endpoint and reason, for the log.
    EXPECT_EQ(r.Failure, closed + QStringLiteral(": Couldn't connect to server; ") + failing.Url() +
                             QStringLiteral(": the service answered with HTTP status 503; ") +
                             closed + QStringLiteral(": Couldn't connect to server"));
    EXPECT_GE(steady_clock::now() - start, 2000ms);

    // Now the last attempt meets the error status.
    ResetPlainTextEndpointSelector();
    r = GetPlainTextFromService("<p>x</p>", {closed, failing.Url()});
    EXPECT_EQ(r.Code, -1);
    EXPECT_EQ(
        r.Text,
        u"ERROR: COULD NOT CALL PLAIN-TEXT WEB SERVICE: the service answered with HTTP status 503");
    EXPECT_EQ(failing.Hits(), 3u);
}

// Other calls in between do not steer a page's retries: its attempts
// alternate from its own first endpoint, so a dead endpoint gets one of them.
TEST_F(NetPlainTextClient, RetriesAlternateFromTheCallsOwnFirstEndpoint) {
    TFakeService alive({{200, "text"}});
    const TPlainTextEndpoints endpoints{alive.Url(), ClosedUrl()};
    TExtractResult r;
    std::thread page([&] { r = GetPlainTextFromService("<p>x</p>", endpoints); });
    // Two other pages while the first waits between its attempts.
    for (int i = 0; i < 2; ++i) {
        std::this_thread::sleep_for(500ms);
        EXPECT_EQ(GetPlainTextFromService("<p>y</p>", endpoints).Code, 0);
        std::this_thread::sleep_for(500ms);
    }
    page.join();
    EXPECT_EQ(r.Code, 0) << r.Failure.toStdString();
}

TEST_F(NetPlainTextClient, AbortStopsTheRetries) {
    TFakeService failing({{500, "error"}});
    std::atomic<bool> abort = false;
    std::thread aborter([&] {
        while (failing.Hits() == 0) std::this_thread::yield();
        abort = true;
    });
    const TExtractResult r = GetPlainTextFromService("<p>x</p>", {failing.Url(), failing.Url()},
                                                     [&] { return abort.load(); });
    aborter.join();
    EXPECT_EQ(r.Code, -1);
    EXPECT_EQ(failing.Hits(), 1u);
}

TEST_F(NetPlainTextClient, ThreadsShareOneSelector) {
    TFakeService first({{200, "a"}}), second({{200, "b"}});
    constexpr int Threads = 4, Calls = 10;
    std::vector<std::thread> threads;
    std::atomic<int> failures = 0;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < Calls; ++i)
                if (GetPlainTextFromService("<p>x</p>", {first.Url(), second.Url()}).Code != 0)
                    ++failures;
        });
    for (auto &t : threads) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(first.Hits(), size_t(Threads * Calls / 2));
    EXPECT_EQ(second.Hits(), size_t(Threads * Calls / 2));
}
