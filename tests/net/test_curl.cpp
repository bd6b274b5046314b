#include <atomic>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/TestServer.h"
#include "net/CurlEasy.h"

using namespace corvane;
using namespace corvane::test;
using namespace std::chrono_literals;

namespace {

TCurlGlobal CurlGlobal;

// The options a worker sets for a page download.
ICurl PageTransfer(const QString &Url) {
    ICurl c = NewCurl();
    c->SetUserAgent(QString::fromLatin1(DefaultUserAgent))
        .SetUrl(Url)
        .SetOpt(CURLOPT_SSL_VERIFYPEER, 0)
        .SetOpt(CURLOPT_SSL_VERIFYHOST, 0)
        .SetOpt(CURLOPT_FOLLOWLOCATION, 1)
        .SetOpt(CURLOPT_AUTOREFERER, 1)
        .SwitchRecvToString();
    return c;
}

CURLcode FailureOf(TEasyCurlImpl &Curl) {
    try {
        Curl.Perform();
    } catch (const ECurlError &e) {
        return e.Code;
    }
    return CURLE_OK;
}

// A port on which nothing listens: bound once by us, then released.
int ClosedPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

} // namespace

TEST(CurlTransfer, FollowsRedirectAndSendsReferer) {
    TTestServer server;
    std::string referer, agent;
    server->Get("/old", [](const httplib::Request &, httplib::Response &res) {
        res.status = 301;
        res.set_header("Location", "/new");
        res.set_content("moved", "text/plain");
    });
    server->Get("/new", [&](const httplib::Request &req, httplib::Response &res) {
        referer = req.get_header_value("Referer");
        agent = req.get_header_value("User-Agent");
        res.set_content("final page", "text/html");
    });
    server.Start();
    ICurl c = PageTransfer(server.Url("/old"));
    c->Perform();
    EXPECT_EQ(c->ResponseCode(), 200);
    EXPECT_EQ(c->ResponseBody(), "final page");
    EXPECT_EQ(QString::fromStdString(referer), server.Url("/old"));
    EXPECT_EQ(agent, DefaultUserAgent);
}

TEST(CurlTransfer, HttpErrorStatusIsNotAnException) {
    TTestServer server;
    server->Get("/gone", [](const httplib::Request &, httplib::Response &res) {
        res.status = 404;
        res.set_content("no such page", "text/plain");
    });
    server.Start();
    ICurl c = PageTransfer(server.Url("/gone"));
    c->Perform();
    EXPECT_EQ(c->ResponseCode(), 404);
    EXPECT_EQ(c->ResponseBody(), "no such page");
}

TEST(CurlTransfer, SelfSignedHttpsIsDownloadedWithChecksOff) {
    TSelfSigned cert;
    TTestServer server(cert.MakeServer());
    server->Get("/", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("secure", "text/html");
    });
    server.Start();
    const QString url = server.Url("/", "https");

    ICurl c = PageTransfer(url);
    c->Perform();
    EXPECT_EQ(c->ResponseCode(), 200);
    EXPECT_EQ(c->ResponseBody(), "secure");

    // The same server with libcurl's default checks fails: the options matter.
    ICurl strict = NewCurl();
    strict->SetUrl(url).SwitchRecvToString();
    EXPECT_EQ(FailureOf(*strict), CURLE_PEER_FAILED_VERIFICATION);
}

TEST(CurlTransfer, ClosedPortRaisesLibcurlsMessage) {
    ICurl c = PageTransfer(QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort()));
    try {
        c->Perform();
        FAIL() << "no error";
    } catch (const ECurlError &e) {
        EXPECT_EQ(e.Code, CURLE_COULDNT_CONNECT);
        EXPECT_STREQ(e.what(), curl_easy_strerror(CURLE_COULDNT_CONNECT));
        EXPECT_STREQ(e.what(), "Couldn't connect to server");
    }
}

TEST(CurlTransfer, EachPerformKeepsOnlyItsOwnBody) {
    TTestServer server;
    std::atomic<int> calls = 0;
    server->Get("/", [&](const httplib::Request &, httplib::Response &res) {
        res.set_content(++calls == 1 ? "a much longer first body" : "second", "text/plain");
    });
    server.Start();
    ICurl c = PageTransfer(server.Url());
    c->Perform();
    c->Perform();
    EXPECT_EQ(c->ResponseBody(), "second");

    ICurl noString = NewCurl();
    noString->SetUrl(server.Url());
    noString->Perform(); // the body is dropped, not printed
    try {
        noString->ResponseBody();
        FAIL() << "no error";
    } catch (const ECurl &e) {
        EXPECT_STREQ(e.what(), "Cannot get response body, use SwitchRecvToString beforehand");
    }
}

TEST(CurlLimits, StalledServerIsEndedByTheStallLimit) {
    TGate release;
    TTestServer server;
    server->Get("/", [&](const httplib::Request &, httplib::Response &res) {
        // The headers go out, then nothing.
        res.set_chunked_content_provider("text/html", [&](size_t, httplib::DataSink &) {
            release.Wait(30s);
            return false;
        });
    });
    server.Start();
    TCurlLimits limits;
    limits.LowSpeedTimeSec = 1;
    ICurl c = PageTransfer(server.Url());
    c->SetLimits(limits);
    EXPECT_EQ(FailureOf(*c), CURLE_OPERATION_TIMEDOUT);
    release.Open();
}

TEST(CurlLimits, AbortFlagEndsADownloadInProgress) {
    TCounter chunks;
    TGate stop;
    TTestServer server;
    server->Get("/", [&](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider("text/html", [&](size_t, httplib::DataSink &sink) {
            // A slow page that would take a minute to finish.
            if (chunks.Value() >= 1200 || stop.Wait(50ms)) {
                sink.done();
                return true;
            }
            const std::string piece(100, 'x');
            if (!sink.write(piece.data(), piece.size())) return false;
            chunks.Add();
            return true;
        });
    });
    server.Start();
    std::atomic<bool> abort = false;
    ICurl c = PageTransfer(server.Url());
    c->SetAbortFlag(abort);
    CURLcode result = CURLE_OK;
    std::thread worker([&] { result = FailureOf(*c); });
    ASSERT_TRUE(chunks.WaitFor(3, 30s));
    abort = true;
    worker.join();
    EXPECT_EQ(result, CURLE_ABORTED_BY_CALLBACK);
    EXPECT_LT(chunks.Value(), 1200);
    stop.Open();
}

TEST(CurlLimits, BodyOverTheCapEndsTheTransfer) {
    constexpr qint64 Cap = 100000;
    TTestServer server;
    // /fixed/N answers N bytes with Content-Length; /chunked/N streams them.
    server->Get(R"(/fixed/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "text/plain");
    });
    server->Get(R"(/chunked/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
        const size_t total = std::stoul(req.matches[1]);
        res.set_chunked_content_provider(
            "text/plain", [total](size_t offset, httplib::DataSink &sink) {
                const std::string piece(std::min<size_t>(16384, total - offset), 'x');
                if (!piece.empty() && !sink.write(piece.data(), piece.size())) return false;
                if (offset + piece.size() >= total) sink.done();
                return true;
            });
    });
    server.Start();
    TCurlLimits limits;
    limits.MaxBodyBytes = Cap;
    for (const char *kind : {"fixed", "chunked"}) {
        for (const qint64 size : {Cap, Cap + 1, 10 * Cap}) {
            SCOPED_TRACE(std::string(kind) + " " + std::to_string(size));
            ICurl c = PageTransfer(
                server.Url((std::string("/") + kind + "/" + std::to_string(size)).c_str()));
            c->SetLimits(limits);
            if (size <= Cap) {
                c->Perform();
                EXPECT_EQ(c->ResponseBody().size(), size);
                continue;
            }
            try {
                c->Perform();
                ADD_FAILURE() << "no error";
            } catch (const ECurlError &e) {
                EXPECT_EQ(e.Code, CURLE_FILESIZE_EXCEEDED);
                EXPECT_NE(std::string(e.what()).find("larger than 100000 bytes"), std::string::npos)
                    << e.what();
            }
        }
    }
}

TEST(CurlLimits, RedirectLoopEnds) {
    TTestServer server;
    server->Get("/loop", [](const httplib::Request &, httplib::Response &res) {
        res.set_redirect("/loop", 302);
    });
    server.Start();
    TCurlLimits limits;
    limits.MaxRedirects = 5;
    ICurl c = PageTransfer(server.Url("/loop"));
    c->SetLimits(limits);
    EXPECT_EQ(FailureOf(*c), CURLE_TOO_MANY_REDIRECTS);
}

// A server that keeps sending a byte every 300 ms never trips the stall
// limit; the total time limit ends it.
TEST(CurlLimits, TricklingServerIsEndedByTheTotalTime) {
    TGate release;
    TTestServer server;
    server->Get("/", [&](const httplib::Request &, httplib::Response &res) {
        res.set_chunked_content_provider("text/html", [&](size_t, httplib::DataSink &sink) {
            if (release.Wait(300ms)) return false;
            return sink.write("x", 1);
        });
    });
    server.Start();
    TCurlLimits limits;
    limits.LowSpeedTimeSec = 1;
    limits.TotalTimeoutSec = 2;
    ICurl c = PageTransfer(server.Url());
    c->SetLimits(limits);
    EXPECT_EQ(FailureOf(*c), CURLE_OPERATION_TIMEDOUT);
    release.Open();
}

// Only http and https, also behind a redirect: an ftp:// Location is not
// followed (the trap port sees no connection).
TEST(CurlLimits, RedirectsOnlyToWebAddresses) {
    const int trap = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(trap, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(trap, 4), 0);
    ::getsockname(trap, reinterpret_cast<sockaddr *>(&a), &len);
    const std::string ftp = "ftp://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/x";
    TTestServer server;
    server->Get("/to-ftp", [&](const httplib::Request &, httplib::Response &res) {
        res.set_redirect(ftp, 302);
    });
    server.Start();
    EXPECT_EQ(FailureOf(*PageTransfer(server.Url("/to-ftp"))), CURLE_UNSUPPORTED_PROTOCOL);
    EXPECT_EQ(FailureOf(*PageTransfer(QString::fromStdString(ftp))), CURLE_UNSUPPORTED_PROTOCOL);
    EXPECT_EQ(FailureOf(*PageTransfer(QStringLiteral("httpx://127.0.0.1/"))),
              CURLE_UNSUPPORTED_PROTOCOL);
    pollfd p{trap, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 0) << "something connected to the ftp port";
    ::close(trap);
}

TEST(CurlForm, PostsOneFormDataPartPerField) {
    TRawHttpServer server;
    const QString text = QStringLiteral("<p>Привет, мир & \"quotes\"</p>\r\nline two");
    ICurlForm form = NewCurlForm();
    ICurlField field = NewCurlField();
    field->Name("text").Content(text);
    form->Add(field);
    ICurl c = NewCurl();
    c->SetUrl(server.Url()).SetOpt(CURLOPT_POST, 1).SetForm(form).SwitchRecvToString();
    c->Perform();
    EXPECT_EQ(c->ResponseBody(), "ok");
    // A POST option set after the form must not turn the request into an
    // empty plain POST.
    ICurl late = NewCurl();
    late->SetUrl(server.Url()).SetForm(form).SetOpt(CURLOPT_POST, 1).SwitchRecvToString();
    late->Perform();

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto &[head, body] : requests) {
        EXPECT_EQ(head.rfind("POST / HTTP/1.1\r\n", 0), 0u) << head;
        const std::string marker = "Content-Type: multipart/form-data; boundary=";
        const size_t at = head.find(marker);
        ASSERT_NE(at, std::string::npos) << head;
        const std::string boundary =
            head.substr(at + marker.size(), head.find("\r\n", at) - at - marker.size());
        EXPECT_EQ(body, "--" + boundary +
                            "\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\n" +
                            text.toUtf8().toStdString() + "\r\n--" + boundary + "--\r\n");
    }
}

TEST(CurlForm, FieldRules) {
    auto field = std::make_shared<TCurlField>();
    field->Name("text").Content(QStringLiteral("x"));
    ICurlForm form = NewCurlForm();
    form->Add(field);
    try {
        field->Content(QStringLiteral("y"));
        FAIL() << "no error";
    } catch (const ECurlInternal &e) {
        EXPECT_STREQ(e.what(), "[TCurlField.Add] Cannot add to locked field, create another!");
    }
    struct Case {
        ICurlField field;
        const char *message;
    } cases[] = {
        {NewCurlField(), "Incomplete option set"},
        {NewCurlField(), "An option is mentioned twice"},
    };
    cases[1].field->Name("a").Name("b");
    for (const Case &c : cases) {
        try {
            form->Add(c.field);
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const ECurlInternal &e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    EXPECT_EQ(form->Fields().size(), 1u);
}

TEST(CurlStream, RawByteStream) {
    TRawByteStream s;
    EXPECT_EQ(s.Write("hello", 5), 5);
    EXPECT_EQ(s.Seek(-3), 0);
    EXPECT_EQ(s.Seek(99), 5);
    s.Seek(3);
    EXPECT_EQ(s.Write("p!", 2), 2);
    EXPECT_EQ(s.Data(), "help!");
    char buf[8] = {};
    s.Seek(2);
    EXPECT_EQ(s.Read(buf, 8), 3);
    EXPECT_STREQ(buf, "lp!");
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_EQ(s.Data(), "he");
    try {
        s.SetSize(-1);
        FAIL() << "no error";
    } catch (const std::range_error &e) {
        EXPECT_STREQ(e.what(), "[TRawByteStream.SetSize] Wrong size");
    }
}
