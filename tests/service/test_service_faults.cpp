// The plain-text service program on the network: raw loopback sockets, so
// that every byte and every close is seen.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <QRegularExpression>

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

} // namespace

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
