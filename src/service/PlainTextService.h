// The plain-text web service, embeddable: POST / with the multipart form
// field "text" (an HTML page, UTF-8) answers the page's visible text;
// GET /health answers "ok".
#pragma once

#include <memory>

#include <QString>

namespace corvane {

struct TPlainTextServiceOptions {
    QString Host = QStringLiteral("127.0.0.1");
    int Port = 0;     // 0: any free port
    QString CertFile; // both set: HTTPS
    QString KeyFile;
    int Threads = 8;                  // requests converted at once
    bool LogRequests = false;         // one line per request on stderr
    qint64 MaxBodyBytes = 64ll << 20; // larger requests get 413
    // A request's header (and, over HTTPS, the handshake) must be complete
    // within this time from the connection's opening or the end of the
    // previous answer, so it also ends an idle kept-alive connection; the
    // body within BodyTimeoutMs from the end of the header. A connection on
    // which nothing moves for a second longer than the header time, at any
    // point, is closed as well.
    int HeaderTimeoutMs = 10000;
    int BodyTimeoutMs = 60000;
    int MaxConnections = 1000; // further clients wait in the listen queue
    int ListenBacklog = 1024;  // bounded by the system's somaxconn
};

class TPlainTextService {
public:
    TPlainTextService();
    ~TPlainTextService(); // stops
    TPlainTextService(const TPlainTextService &) = delete;
    TPlainTextService &operator=(const TPlainTextService &) = delete;

    // Binds and starts serving on threads of its own; false with a reason in
    // Error when the address cannot be bound or the certificate not loaded.
    bool Start(const TPlainTextServiceOptions &Options, QString *Error = nullptr);
    // Stops accepting, closes the connections and joins.
    void Stop();
    bool IsRunning() const;
    int Port() const;    // the bound port
    QString Url() const; // "http://HOST:PORT/" or "https://..."

private:
    struct TImpl;
    std::unique_ptr<TImpl> fImpl;
};

} // namespace corvane
