// A real HTTP(S) server on 127.0.0.1 for tests: cpp-httplib bound to a free
// port, listening on its own thread, stopped and joined on destruction.
#pragma once

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <QString>

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::test {

class TTestServer {
public:
    explicit TTestServer(
        std::unique_ptr<httplib::Server> Server = std::make_unique<httplib::Server>())
        : fServer(std::move(Server)) {}
    ~TTestServer() { Stop(); }

    httplib::Server &operator*() { return *fServer; }
    httplib::Server *operator->() { return fServer.get(); }

    // Binds (the socket accepts connections from here on) and starts serving.
    void Start() {
        fPort = fServer->bind_to_any_port("127.0.0.1");
        if (fPort <= 0) throw std::runtime_error("test server: cannot bind");
        fThread = std::thread([this] {
            fServer->listen_after_bind();
            fFinished = true;
        });
    }
    void Stop() {
        if (!fThread.joinable()) return;
        // stop() only acts on a running server; the accept loop marks itself
        // running as its first step.
        while (!fServer->is_running() && !fFinished) std::this_thread::yield();
        fServer->stop();
        fThread.join();
    }
    int Port() const { return fPort; }
    QString Url(const char *Path = "/", const char *Scheme = "http") const {
        return QStringLiteral("%1://127.0.0.1:%2%3")
            .arg(QLatin1StringView(Scheme))
            .arg(fPort)
            .arg(QLatin1StringView(Path));
    }

private:
    std::unique_ptr<httplib::Server> fServer;
    std::thread fThread;
    std::atomic<bool> fFinished = false;
    int fPort = 0;
};

// A bare HTTP/1.1 server that keeps the exact bytes of each request it gets
// (cpp-httplib parses multipart bodies before a handler sees them) and
// answers each with a fixed body. Serves connections one at a time.
class TRawHttpServer {
public:
    explicit TRawHttpServer(std::string Answer = "ok") : fAnswer(std::move(Answer)) {
        fSocket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(fSocket, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
            ::listen(fSocket, 8) != 0)
            throw std::runtime_error("raw server: cannot bind");
        ::getsockname(fSocket, reinterpret_cast<sockaddr *>(&a), &len);
        fPort = ntohs(a.sin_port);
        fThread = std::thread([this] { Serve(); });
    }
    ~TRawHttpServer() {
        ::shutdown(fSocket, SHUT_RDWR);
        ::close(fSocket);
        fThread.join();
    }
    int Port() const { return fPort; }
    QString Url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(fPort); }
    // The requests received so far, each as its header block and its body.
    std::vector<std::pair<std::string, std::string>> Requests() {
        std::lock_guard lock(fMutex);
        return fRequests;
    }

private:
    void Serve() {
        for (;;) {
            const int c = ::accept(fSocket, nullptr, nullptr);
            if (c < 0) return;
            std::string data;
            char buf[65536];
            size_t headerEnd = std::string::npos, need = 0;
            for (;;) {
                if (headerEnd == std::string::npos &&
                    (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
                    headerEnd += 4;
                    std::string lower = data.substr(0, headerEnd);
                    for (char &ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
                    const size_t at = lower.find("content-length:");
                    need = headerEnd +
                           (at == std::string::npos ? 0 : std::stoul(lower.substr(at + 15)));
                    if (lower.find("expect: 100-continue") != std::string::npos)
                        ::send(c, "HTTP/1.1 100 Continue\r\n\r\n", 25, MSG_NOSIGNAL);
                }
                if (headerEnd != std::string::npos && data.size() >= need) break;
                const ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                data.append(buf, size_t(n));
            }
            if (headerEnd != std::string::npos) {
                std::lock_guard lock(fMutex);
                fRequests.emplace_back(data.substr(0, headerEnd), data.substr(headerEnd));
            }
            const std::string answer =
                "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                std::to_string(fAnswer.size()) + "\r\nConnection: close\r\n\r\n" + fAnswer;
            ::send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    }

    std::string fAnswer;
    int fSocket = -1;
    int fPort = 0;
    std::thread fThread;
    std::mutex fMutex;
    std::vector<std::pair<std::string, std::string>> fRequests;
};

// A one-way gate: handlers wait on it, the test opens it.
class TGate {
public:
    void Open() {
        std::lock_guard lock(fMutex);
        fOpen = true;
        fCond.notify_all();
    }
    // True when opened, false on time-out.
    bool Wait(std::chrono::milliseconds Timeout) {
        std::unique_lock lock(fMutex);
        return fCond.wait_for(lock, Timeout, [this] { return fOpen; });
    }

private:
    std::mutex fMutex;
    std::condition_variable fCond;
    bool fOpen = false;
};

// A counter that tests can wait on.
class TCounter {
public:
    void Add(int N = 1) {
        std::lock_guard lock(fMutex);
        fValue += N;
        fCond.notify_all();
    }
    int Value() {
        std::lock_guard lock(fMutex);
        return fValue;
    }
    bool WaitFor(int AtLeast, std::chrono::milliseconds Timeout) {
        std::unique_lock lock(fMutex);
        return fCond.wait_for(lock, Timeout, [&] { return fValue >= AtLeast; });
    }

private:
    std::mutex fMutex;
    std::condition_variable fCond;
    int fValue = 0;
};

// A self-signed certificate for "localhost" with an EC P-256 key, made fresh.
struct TSelfSigned {
    TSelfSigned() {
        Key = EVP_EC_gen("P-256");
        Cert = X509_new();
        ASN1_INTEGER_set(X509_get_serialNumber(Cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(Cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(Cert), 3600L * 24);
        X509_set_pubkey(Cert, Key);
        X509_NAME *name = X509_get_subject_name(Cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char *>("localhost"), -1, -1, 0);
        X509_set_issuer_name(Cert, name);
        if (!Key || X509_sign(Cert, Key, EVP_sha256()) == 0)
            throw std::runtime_error("cannot make a certificate");
    }
    ~TSelfSigned() {
        X509_free(Cert);
        EVP_PKEY_free(Key);
    }
    TSelfSigned(const TSelfSigned &) = delete;
    TSelfSigned &operator=(const TSelfSigned &) = delete;

    // PEM files, for programs that take --cert and --key.
    void WritePem(const std::string &CertPath, const std::string &KeyPath) const {
        FILE *f = std::fopen(CertPath.c_str(), "w");
        PEM_write_X509(f, Cert);
        std::fclose(f);
        f = std::fopen(KeyPath.c_str(), "w");
        PEM_write_PrivateKey(f, Key, nullptr, nullptr, 0, nullptr, nullptr);
        std::fclose(f);
    }
    std::unique_ptr<httplib::Server> MakeServer() const {
        return std::make_unique<httplib::SSLServer>(Cert, Key);
    }

    X509 *Cert = nullptr;
    EVP_PKEY *Key = nullptr;
};

} // namespace corvane::test
