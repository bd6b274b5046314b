// The plain-text service facing clients that are slow, idle, many, or
// hostile: raw loopback sockets, so that every byte and every close is seen.
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "service/PlainTextService.h"

using namespace corvane;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

qint64 MsSince(Clock::time_point Start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count();
}

// One TCP connection to 127.0.0.1, driven byte by byte.
class TRawClient {
public:
    explicit TRawClient(int Port) {
        fFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(Port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fFd >= 0 && connect(fFd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
            close(fFd);
            fFd = -1;
        }
    }
    ~TRawClient() {
        if (fFd >= 0) close(fFd);
    }
    TRawClient(const TRawClient &) = delete;
    TRawClient &operator=(const TRawClient &) = delete;

    bool Connected() const { return fFd >= 0; }

    // False once the peer has gone.
    bool Send(std::string_view Bytes) {
        while (!Bytes.empty()) {
            const ssize_t n = send(fFd, Bytes.data(), Bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) return false;
            Bytes.remove_prefix(size_t(n));
        }
        return true;
    }

    // Reads what comes within TimeoutMs; stops early at the end of the stream
    // (Closed set) or once Until has been read.
    std::string Read(int TimeoutMs, bool *Closed = nullptr, std::string_view Until = {}) {
        std::string got;
        if (Closed) *Closed = false;
        const auto start = Clock::now();
        for (;;) {
            const qint64 left = TimeoutMs - MsSince(start);
            if (left <= 0) break;
            pollfd p{fFd, POLLIN, 0};
            if (poll(&p, 1, int(left)) <= 0) continue;
            char buf[65536];
            const ssize_t n = recv(fFd, buf, sizeof buf, 0);
            if (n <= 0) { // the end, or a reset
                if (Closed) *Closed = true;
                break;
            }
            got.append(buf, size_t(n));
            if (!Until.empty() && got.find(Until) != std::string::npos) break;
        }
        return got;
    }

    // Whether the server has closed the connection (an end of stream or a
    // reset is waiting), without waiting.
    bool ClosedByPeer() {
        pollfd p{fFd, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0) return false;
        char c;
        return recv(fFd, &c, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
    }

private:
    int fFd = -1;
};

std::string FormBody(std::string_view Html) {
    return "--b\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\n" + std::string(Html) +
           "\r\n--b--\r\n";
}

std::string FormPost(std::string_view Html, std::string_view Connection = "close") {
    const std::string body = FormBody(Html);
    return "POST / HTTP/1.1\r\nHost: t\r\nContent-Type: multipart/form-data; boundary=b\r\n"
           "Connection: " +
           std::string(Connection) + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

constexpr std::string_view HealthGet = "GET /health HTTP/1.1\r\nHost: t\r\n\r\n";

// Every open connection holds a descriptor on both ends in this process.
void RaiseDescriptorLimit(rlim_t Wanted) {
    rlimit r{};
    getrlimit(RLIMIT_NOFILE, &r);
    if (r.rlim_cur >= Wanted) return;
    r.rlim_cur = std::min(Wanted, r.rlim_max);
    setrlimit(RLIMIT_NOFILE, &r);
    getrlimit(RLIMIT_NOFILE, &r);
    ASSERT_GE(r.rlim_cur, Wanted) << "too few file descriptors allowed for this test";
}

class ServiceUnderLoad : public ::testing::Test {
protected:
    static constexpr int HeaderMs = 1000, BodyMs = 1500;
    void SetUp() override {
        TPlainTextServiceOptions options;
        options.Threads = 2;
        options.MaxBodyBytes = 1 << 20;
        options.HeaderTimeoutMs = HeaderMs;
        options.BodyTimeoutMs = BodyMs;
        QString error;
        ASSERT_TRUE(service.Start(options, &error)) << error.toStdString();
    }
    // A request on a fresh connection, answered and closed within TimeoutMs.
    std::string Ask(std::string_view Request, int TimeoutMs = 1000) {
        TRawClient c(service.Port());
        EXPECT_TRUE(c.Connected());
        c.Send(Request);
        bool closed = false;
        std::string answer = c.Read(TimeoutMs, &closed);
        EXPECT_TRUE(closed) << "no complete answer within " << TimeoutMs << " ms: " << answer;
        return answer;
    }
    TPlainTextService service;
};

} // namespace

TEST_F(ServiceUnderLoad, SlowAndIdleConnectionsNeitherShutOthersOutNorStay) {
    RaiseDescriptorLimit(2048);
    // 250 connections that say nothing and 250 that stop inside a header.
    std::vector<std::unique_ptr<TRawClient>> crowd;
    for (int i = 0; i < 500; ++i) {
        crowd.push_back(std::make_unique<TRawClient>(service.Port()));
        ASSERT_TRUE(crowd.back()->Connected()) << i;
        if (i % 2) crowd.back()->Send("GET /health HTTP/1.1\r\nHost: t\r\nX-Slow: ");
    }
    const auto opened = Clock::now();
    auto start = Clock::now();
    EXPECT_NE(
        Ask("GET /health HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n").find("\r\n\r\nok\n"),
        std::string::npos);
    EXPECT_LT(MsSince(start), 1000);
    start = Clock::now();
    EXPECT_NE(Ask(FormPost("<p>still served</p>")).find("\r\n\r\nstill served\n"),
              std::string::npos);
    EXPECT_LT(MsSince(start), 1000);

    // A header or a body that keeps coming, a byte every 100 ms, never ends
    // and is cut at its deadline all the same.
    struct {
        const char *name;
        std::string opening;
        int deadlineMs;
    } const trickles[] = {
        {"header", "GET /health HTTP/1.1\r\n", HeaderMs},
        {"body",
         "POST / HTTP/1.1\r\nHost: t\r\nContent-Type: multipart/form-data; boundary=b\r\n"
         "Content-Length: 100000\r\n\r\n",
         BodyMs},
    };
    for (const auto &t : trickles) {
        SCOPED_TRACE(t.name);
        TRawClient slow(service.Port());
        const auto begun = Clock::now();
        ASSERT_TRUE(slow.Send(t.opening));
        bool closed = false;
        while (!closed && MsSince(begun) < t.deadlineMs + 3000) {
            slow.Read(100, &closed);
            if (!closed && !slow.Send("X")) closed = true;
        }
        EXPECT_TRUE(closed) << "still open after " << MsSince(begun) << " ms";
        EXPECT_GE(MsSince(begun), t.deadlineMs * 8 / 10);
        EXPECT_LT(MsSince(begun), t.deadlineMs + 1500);
    }

    // By now the crowd is past its header time as well.
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::max<qint64>(0, HeaderMs + 1000 - MsSince(opened))));
    int stillOpen = 0;
    for (auto &c : crowd) stillOpen += !c->ClosedByPeer();
    EXPECT_EQ(stillOpen, 0);
}

TEST_F(ServiceUnderLoad, IdleKeptAliveConnectionsDoNotHoldTheWorkers) {
    // Four times as many kept-alive clients as threads, each after one answer.
    std::vector<std::unique_ptr<TRawClient>> idle;
    for (int i = 0; i < 8; ++i) {
        idle.push_back(std::make_unique<TRawClient>(service.Port()));
        ASSERT_TRUE(idle.back()->Send(HealthGet));
        ASSERT_NE(idle.back()->Read(1000, nullptr, "ok\n").find("200 OK"), std::string::npos);
    }
    const auto start = Clock::now();
    EXPECT_NE(Ask(FormPost("<p>at once</p>")).find("\r\n\r\nat once\n"), std::string::npos);
    EXPECT_LT(MsSince(start), 1000);
    // The idle ones are still kept for their next request.
    ASSERT_TRUE(idle.front()->Send(HealthGet));
    EXPECT_NE(idle.front()->Read(1000, nullptr, "ok\n").find("200 OK"), std::string::npos);
}

TEST_F(ServiceUnderLoad, ManyConcurrentClientsAreAllServed) {
    RaiseDescriptorLimit(1024);
    // All connect before any is served, then all ask at once and stay open.
    constexpr int Clients = 200;
    std::vector<std::unique_ptr<TRawClient>> clients;
    for (int i = 0; i < Clients; ++i) {
        clients.push_back(std::make_unique<TRawClient>(service.Port()));
        ASSERT_TRUE(clients.back()->Connected()) << i;
    }
    for (auto &c : clients) ASSERT_TRUE(c->Send(FormPost("<p>one of many</p>", "keep-alive")));
    const auto start = Clock::now();
    int answered = 0;
    for (auto &c : clients) {
        const qint64 left = std::max<qint64>(1, 5000 - MsSince(start));
        bool closed = false;
        const std::string got = c->Read(int(left), &closed, "one of many\n");
        answered += got.starts_with("HTTP/1.1 200") && !closed;
    }
    EXPECT_EQ(answered, Clients);
}

TEST_F(ServiceUnderLoad, RefusedRequestsEndTheirConnection) {
    const std::string big((1 << 20) + 1, 'x');
    // The rest of a refused body must not be read as a request of its own.
    std::string smuggled;
    while (smuggled.size() < big.size()) smuggled += HealthGet;
    auto chunked = [](const std::string &Data) {
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", Data.size());
        return size + Data + "\r\n0\r\n\r\n";
    };
    const std::string head = "POST / HTTP/1.1\r\nHost: t\r\n"
                             "Content-Type: multipart/form-data; boundary=b\r\n";
    struct {
        const char *name;
        std::string request;
        const char *status;
    } const cases[] = {
        {"announced length over the limit",
         head + "Content-Length: " + std::to_string(big.size()) + "\r\n\r\n" + big, "413"},
        {"chunked body over the limit",
         head + "Transfer-Encoding: chunked\r\n\r\n" + chunked(FormBody(smuggled)), "413"},
        {"over the limit, waiting for a go-ahead",
         head + "Expect: 100-continue\r\nContent-Length: " + std::to_string(big.size()) +
             "\r\n\r\n",
         "413"},
        {"not a form",
         "POST / HTTP/1.1\r\nHost: t\r\nContent-Type: text/html\r\nContent-Length: " +
             std::to_string(HealthGet.size()) + "\r\n\r\n" + std::string(HealthGet),
         "400"},
        {"malformed form",
         head + "Content-Length: " + std::to_string(HealthGet.size()) + "\r\n\r\n" +
             std::string(HealthGet),
         "400"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TRawClient client(service.Port());
        client.Send(c.request);
        bool closed = false;
        const std::string answer = client.Read(3000, &closed);
        EXPECT_TRUE(answer.starts_with(std::string("HTTP/1.1 ") + c.status))
            << answer.substr(0, 200);
        EXPECT_TRUE(closed) << "the connection stayed open";
        EXPECT_EQ(answer.find("HTTP/1.1", 1), std::string::npos) << "a second answer came";
    }
}

namespace {

// corvane-plaintext started with the given --listen; its URL read from the
// line it writes once listening.
struct TServiceProgram {
    QProcess Process;
    QByteArray Err;
    QString Url;
    explicit TServiceProgram(const QString &Listen) {
        Process.start(QStringLiteral(CORVANE_PLAINTEXT), {QStringLiteral("--listen"), Listen});
        if (!Process.waitForStarted()) return;
        Process.setReadChannel(QProcess::StandardError);
        while (!Err.contains('\n') && Process.waitForReadyRead(10000))
            Err += Process.readAllStandardError();
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^corvane-plaintext: listening on (\\S+)\n"))
                .match(QString::fromUtf8(Err));
        if (m.hasMatch()) Url = m.captured(1);
    }
    // Stops it and returns all it wrote to standard error.
    QByteArray Stop() {
        Process.terminate();
        Process.waitForFinished(10000);
        return Err + Process.readAllStandardError();
    }
    int Port() const { return Url.section(u':', -1).chopped(1).toInt(); }
};

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size);
    close(fd);
    return ntohs(a.sin_port);
}

} // namespace

TEST(ServiceProgramListen, ListensOnThePortGiven) {
    for (const int port : {FreePort(), 0}) {
        SCOPED_TRACE(port);
        TServiceProgram program(QStringLiteral("127.0.0.1:%1").arg(port));
        ASSERT_FALSE(program.Url.isEmpty()) << program.Err.toStdString();
        if (port != 0) {
            EXPECT_EQ(program.Url, QStringLiteral("http://127.0.0.1:%1/").arg(port));
        }
        ASSERT_GT(program.Port(), 0);
        TRawClient client(program.Port());
        ASSERT_TRUE(client.Connected()) << "nothing listens on the port named";
        client.Send("GET /health HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n");
        EXPECT_TRUE(client.Read(5000).ends_with("\r\n\r\nok\n"));
        program.Stop();
    }
}

TEST(ServiceProgramListen, LogLinesShowControlBytesEscaped) {
    TServiceProgram program(QStringLiteral("127.0.0.1:0"));
    ASSERT_GT(program.Port(), 0) << program.Err.toStdString();
    {
        // Decoded and raw: a line break, a carriage return, terminal escapes,
        // and a backslash that would otherwise read as an escape.
        TRawClient client(program.Port());
        client.Send(
            "GET /a%0a127.0.0.1%20GET%20/forged%20200%0d%1b[2J\x1b[31m%5cx41%7f HTTP/1.1\r\n"
            "Host: t\r\nConnection: close\r\n\r\n");
        EXPECT_TRUE(client.Read(5000).starts_with("HTTP/1.1 404"));
    }
    const QByteArray err = program.Stop();
    const QList<QByteArray> lines = err.split('\n');
    qsizetype forged = 0, logged = 0;
    for (const QByteArray &line : lines) {
        forged += line.contains("/forged") && !line.contains("/a");
        logged += line.startsWith("127.0.0.1 GET /a");
    }
    EXPECT_EQ(forged, 0) << err.toStdString();
    ASSERT_EQ(logged, 1) << err.toStdString();
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("\n127\\.0\\.0\\.1 GET /a\\\\x0A127\\.0\\.0\\.1 GET /forged "
                                   "200\\\\x0D\\\\x1B\\[2J\\\\x1B\\[31m\\\\x5Cx41\\\\x7F 404 "
                                   "in=0 out=\\d+ \\d+ ms\n"))
                    .match(QString::fromLatin1(err))
                    .hasMatch())
        << err.toStdString();
    EXPECT_FALSE(err.contains('\r') || err.contains('\x1b') || err.contains('\x7f'));
}
