#include "service/PlainTextService.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include <QFile>

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "service/formdata.h"
#include "service/plaintext.h"

// libmicrohttpd serves the connections: each of its epoll threads (Threads of
// them) holds any number of open connections, so a slow or idle client costs
// a socket and a little memory, never a thread. A request is converted on the
// thread that read it.

namespace corvane {

namespace {

qint64 NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What a connection waits for, which decides its deadline.
enum TPhase : quint64 {
    phHeader = 0, // the next request's header (an idle kept-alive connection too)
    phBody = 1,   // the body of a request whose header has come
    phAnswer = 2, // our answer: no deadline but the inactivity time-out
};

enum class TRoute { Health, Convert, NotFound, WrongMethod };

// The request in progress on a connection; touched by its thread only.
struct TRequest {
    bool LineRead = false; // the request line has come
    bool Begun = false;    // ... and the whole header
    std::string RawUri;    // as sent, for requests refused before their header ends
    std::string Method, Path;
    qint64 StartMs = 0;
    TRoute Route = TRoute::NotFound;
    std::string Boundary;
    qint64 Announced = -1; // Content-Length; -1 when none
    qint64 Received = 0;
    int Refusal = 0; // 400 or 413, decided before the body has ended
    const char *Reason = nullptr;
    std::string Body;
    int Status = 0; // of the answer queued
    size_t OutBytes = 0;
};

struct TConnection {
    int Fd = -1;
    std::string Address;
    // (since << 2) | phase, read by the reaper.
    std::atomic<quint64> State = 0;
    std::atomic<bool> TimedOut = false;
    qint64 IdleSinceMs = 0;
    TRequest Request;

    void Enter(TPhase Phase, qint64 Ms) {
        State.store((quint64(Ms) << 2) | Phase, std::memory_order_relaxed);
    }
};

// Control bytes (and the C1 controls of UTF-8) written as \xNN, so that a
// request cannot end a log line or steer the terminal; the backslash too, so
// that an escape in the log always means one.
void AppendEscaped(std::string &Out, std::string_view Text) {
    static const char Hex[] = "0123456789ABCDEF";
    auto escape = [&](unsigned char B) {
        Out += "\\x";
        Out += Hex[B >> 4];
        Out += Hex[B & 15];
    };
    for (size_t i = 0; i < Text.size(); ++i) {
        const auto b = static_cast<unsigned char>(Text[i]);
        if (b == 0xC2 && i + 1 < Text.size() && static_cast<unsigned char>(Text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(Text[i + 1]) <= 0x9F) {
            escape(b);
            escape(static_cast<unsigned char>(Text[++i]));
        } else if (b < 0x20 || b == 0x7F || b == '\\') {
            escape(b);
        } else {
            Out += char(b);
        }
    }
}

std::string AddressText(const sockaddr *Address) {
    char text[INET6_ADDRSTRLEN] = "-";
    if (Address && Address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(Address)->sin_addr, text,
                  sizeof text);
    else if (Address && Address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(Address)->sin6_addr, text,
                  sizeof text);
    return text;
}

// %XX decoded in place, except %00, which would cut the path short.
size_t Unescape(void *, MHD_Connection *, char *Text) {
    auto hex = [](char C) {
        if (C >= '0' && C <= '9') return C - '0';
        if (C >= 'a' && C <= 'f') return C - 'a' + 10;
        if (C >= 'A' && C <= 'F') return C - 'A' + 10;
        return -1;
    };
    char *out = Text;
    for (const char *in = Text; *in;) {
        const int hi = in[0] == '%' ? hex(in[1]) : -1;
        const int lo = hi >= 0 ? hex(in[2]) : -1;
        if (lo >= 0 && (hi | lo) != 0) {
            *out++ = char(hi * 16 + lo);
            in += 3;
        } else {
            *out++ = *in++;
        }
    }
    *out = 0;
    return size_t(out - Text);
}

// A listening socket of our own rather than the library's: its errors are
// ours to word, and it never sets SO_REUSEPORT, which would let a second
// service bind a port in use and share its connections.
int ListenOn(const std::string &Host, int Port, int Backlog) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    if (getaddrinfo(Host.empty() ? nullptr : Host.c_str(), std::to_string(Port).c_str(), &hints,
                    &found) != 0)
        return -1;
    int fd = -1;
    for (const addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, Backlog) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

int BoundPort(int Fd) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getsockname(Fd, reinterpret_cast<sockaddr *>(&address), &size) != 0) return 0;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in *>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 *>(&address)->sin6_port);
    return 0;
}

constexpr const char *PlainText = "text/plain; charset=utf-8";

} // namespace

struct TPlainTextService::TImpl {
    TPlainTextServiceOptions Options;
    MHD_Daemon *Daemon = nullptr;
    int Port = 0;
    QString Url;

    // The open connections, for the reaper that ends those past their deadline.
    std::mutex Mutex;
    std::unordered_set<TConnection *> Connections;
    std::thread Reaper;
    int StopReaper = -1; // an eventfd, written once to stop it

    qint64 MaxBody() const { return Options.MaxBodyBytes; }
    // A refused body is still read, up to its limit once more, so that a client
    // that sends it whole before reading gets the answer; beyond that the
    // connection is cut.
    qint64 ReadLimit() const { return 2 * Options.MaxBodyBytes; }

    // Ends the connections past their deadline. shutdown() wakes the
    // connection's thread, which sees the end of the stream and closes it;
    // the socket cannot have been closed meanwhile, since a connection leaves
    // the set (under the lock) before the library closes its socket.
    void Reap() {
        const qint64 header = std::max(1, Options.HeaderTimeoutMs);
        const qint64 body = std::max(1, Options.BodyTimeoutMs);
        const int tick = int(std::clamp<qint64>(header / 10, 10, 250));
        for (;;) {
            pollfd stop{StopReaper, POLLIN, 0};
            const int woken = poll(&stop, 1, tick);
            if (woken > 0 || (woken < 0 && errno != EINTR)) return;
            std::lock_guard lock(Mutex);
            const qint64 now = NowMs();
            for (TConnection *c : Connections) {
                const quint64 state = c->State.load(std::memory_order_relaxed);
                const auto phase = TPhase(state & 3);
                const qint64 since = qint64(state >> 2);
                if (phase == phAnswer) continue;
                if (now - since > (phase == phBody ? body : header) && !c->TimedOut.exchange(true))
                    shutdown(c->Fd, SHUT_RDWR);
            }
        }
    }

    void Log(const TConnection &C, std::string_view Method, std::string_view Path, int Status,
             qint64 In, size_t Out, qint64 Ms) const {
        if (!Options.LogRequests) return;
        std::string line = C.Address;
        line += ' ';
        AppendEscaped(line, Method);
        line += ' ';
        AppendEscaped(line, Path);
        char tail[96];
        const int n = std::snprintf(tail, sizeof tail, " %d in=%lld out=%zu %lld ms\n", Status,
                                    static_cast<long long>(In), Out, static_cast<long long>(Ms));
        line.append(tail, size_t(std::clamp(n, 0, int(sizeof tail) - 1)));
        // One write per line, so that the lines of different threads never mix.
        std::fwrite(line.data(), 1, line.size(), stderr);
    }

    // Logs the request that has ended on C (answered, refused, cut or timed
    // out) and readies C for the next one.
    void EndRequest(MHD_Connection *Connection, TConnection *C) {
        TRequest &r = C->Request;
        const qint64 now = NowMs();
        if (r.Begun) {
            const int status = r.Status      ? r.Status
                               : r.Refusal   ? r.Refusal
                               : C->TimedOut ? 408
                                             : 499; // the client went away
            Log(*C, r.Method, r.Path, status, r.Announced >= 0 ? r.Announced : r.Received,
                r.OutBytes, now - r.StartMs);
        } else if (r.LineRead) {
            // Refused by the library before its header ended, or too slow.
            int status = 400;
            if (C->TimedOut)
                status = 408;
            else if (const MHD_ConnectionInfo *info =
                         MHD_get_connection_info(Connection, MHD_CONNECTION_INFO_HTTP_STATUS))
                status = int(info->http_status);
            Log(*C, "-", std::string_view(r.RawUri).substr(0, r.RawUri.find('?')), status, 0, 0,
                now - C->IdleSinceMs);
        }
        r = TRequest();
        C->IdleSinceMs = now;
        C->Enter(phHeader, now);
    }

    static void OnConnection(void *Cls, MHD_Connection *Connection, void **Context,
                             MHD_ConnectionNotificationCode Code) {
        auto *self = static_cast<TImpl *>(Cls);
        if (Code == MHD_CONNECTION_NOTIFY_STARTED) {
            const MHD_ConnectionInfo *fd =
                MHD_get_connection_info(Connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            const MHD_ConnectionInfo *peer =
                MHD_get_connection_info(Connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            auto *c = new TConnection;
            c->Fd = fd ? fd->connect_fd : -1;
            c->Address = AddressText(peer ? peer->client_addr : nullptr);
            c->IdleSinceMs = NowMs();
            c->Enter(phHeader, c->IdleSinceMs);
            *Context = c;
            if (c->Fd < 0) return; // left to the inactivity time-out alone
            std::lock_guard lock(self->Mutex);
            self->Connections.insert(c);
            return;
        }
        auto *c = static_cast<TConnection *>(*Context);
        if (!c) return;
        {
            std::lock_guard lock(self->Mutex);
            self->Connections.erase(c);
        }
        self->EndRequest(Connection, c); // a request line with no end yet
        delete c;
        *Context = nullptr;
    }

    static TConnection *ConnectionOf(MHD_Connection *Connection) {
        const MHD_ConnectionInfo *info =
            MHD_get_connection_info(Connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<TConnection *>(info->socket_context) : nullptr;
    }

    static void *OnRequestLine(void *, const char *Uri, MHD_Connection *Connection) {
        TConnection *c = ConnectionOf(Connection);
        if (c) {
            c->Request.LineRead = true;
            c->Request.RawUri.assign(Uri, std::min<size_t>(std::strlen(Uri), 4096));
        }
        return c;
    }

    static void OnCompleted(void *Cls, MHD_Connection *Connection, void **Context,
                            MHD_RequestTerminationCode Code) {
        auto *c = static_cast<TConnection *>(*Context);
        if (!c) return;
        if (Code == MHD_REQUEST_TERMINATED_TIMEOUT_REACHED) c->TimedOut = true;
        static_cast<TImpl *>(Cls)->EndRequest(Connection, c);
    }

    static MHD_Result OnRequest(void *Cls, MHD_Connection *Connection, const char *Url,
                                const char *Method, const char *, const char *Data, size_t *Size,
                                void **Context) {
        auto *self = static_cast<TImpl *>(Cls);
        auto *c = static_cast<TConnection *>(*Context);
        if (!c) *Context = c = ConnectionOf(Connection);
        if (!c) return MHD_NO;
        // Nothing may be thrown into the library: a request that cannot be
        // held (out of memory) ends its connection.
        try {
            return self->Serve(Connection, c, Url, Method, Data, Size);
        } catch (const std::exception &) {
            return MHD_NO;
        }
    }

    MHD_Result Serve(MHD_Connection *Connection, TConnection *C, const char *Url,
                     const char *Method, const char *Data, size_t *Size) {
        TRequest &r = C->Request;
        if (!r.Begun) return Begin(Connection, C, Url, Method);
        if (*Size > 0) {
            const size_t n = *Size;
            *Size = 0;
            r.Received += qint64(n);
            if (r.Route == TRoute::Convert && !r.Refusal) {
                if (r.Received > MaxBody()) {
                    r.Refusal = 413;
                    r.Reason = "the request is larger than the service accepts";
                    std::string().swap(r.Body);
                } else {
                    r.Body.append(Data, n);
                }
            }
            return r.Received > ReadLimit() ? MHD_NO : MHD_YES;
        }
        return Answer(Connection, C);
    }

    // The header has come: route the request and refuse it early where the
    // header already tells.
    MHD_Result Begin(MHD_Connection *Connection, TConnection *C, const char *Url,
                     const char *Method) {
        TRequest &r = C->Request;
        r.Begun = true;
        r.Method = Method;
        r.Path = Url;
        r.StartMs = NowMs();
        C->Enter(phBody, r.StartMs);
        auto header = [&](const char *Name) {
            const char *v = MHD_lookup_connection_value(Connection, MHD_HEADER_KIND, Name);
            return std::string_view(v ? v : "");
        };
        if (const std::string_view length = header(MHD_HTTP_HEADER_CONTENT_LENGTH);
            !length.empty()) {
            long long n = -1;
            const char *end = length.data() + length.size();
            const auto [stop, error] = std::from_chars(length.data(), end, n);
            r.Announced = error == std::errc() && stop == end && n >= 0 ? n : -1;
        }
        const bool get = r.Method == "GET" || r.Method == "HEAD";
        if (r.Path == "/health")
            r.Route = get ? TRoute::Health : TRoute::WrongMethod;
        else if (r.Path == "/")
            r.Route = r.Method == "POST" ? TRoute::Convert : TRoute::WrongMethod;
        else
            r.Route = TRoute::NotFound;
        if (r.Route == TRoute::Convert) {
            std::string_view boundary;
            if (!IsFormData(header(MHD_HTTP_HEADER_CONTENT_TYPE), &boundary)) {
                r.Refusal = 400;
                r.Reason = "expected a multipart/form-data body with the field \"text\"";
            } else if (boundary.empty()) {
                r.Refusal = 400;
                r.Reason = "malformed multipart/form-data body: no boundary";
            } else if (r.Announced > MaxBody()) {
                r.Refusal = 413;
                r.Reason = "the request is larger than the service accepts";
            } else {
                r.Boundary = boundary;
                // Room for a typical page at once; an announced length is
                // only a claim until the bytes come.
                r.Body.reserve(size_t(std::clamp<qint64>(r.Announced, 0, 1 << 20)));
            }
        }
        // An answer that needs no body goes out before it when the client
        // waits for a go-ahead, or announces more than would be read.
        const bool expectsGoAhead = !header(MHD_HTTP_HEADER_EXPECT).empty();
        if ((r.Refusal || r.Route != TRoute::Convert) &&
            (expectsGoAhead || r.Announced > ReadLimit()))
            return Answer(Connection, C);
        return MHD_YES;
    }

    struct TAnswer {
        int Status = 200;
        QByteArray Body;
        const char *Allow = nullptr; // the Allow header of a 405
    };
    static TAnswer Refuse(int Status, const char *Reason) {
        return {Status, QByteArray(Reason) + '\n'};
    }

    // GET /health.
    static TAnswer Health() { return {200, "ok\n"}; }

    // POST /: the field "text" of the form, as its visible text.
    static TAnswer Convert(const TRequest &R) {
        std::string_view html;
        switch (FindFormField(R.Body, R.Boundary, "text", &html)) {
        case TFormField::Malformed:
            return Refuse(400, "malformed multipart/form-data body");
        case TFormField::Missing:
            return Refuse(400, "the form has no field \"text\"");
        case TFormField::Found:
            break;
        }
        try {
            return {
                200,
                HtmlToPlainText(QString::fromUtf8(html.data(), qsizetype(html.size()))).toUtf8()};
        } catch (const std::exception &) {
            return Refuse(500, "internal error");
        }
    }

    static TAnswer Route(const TRequest &R) {
        if (R.Refusal) return Refuse(R.Refusal, R.Reason);
        switch (R.Route) {
        case TRoute::Health:
            return Health();
        case TRoute::Convert:
            return Convert(R);
        case TRoute::NotFound:
            return Refuse(404, "not found; POST / or GET /health");
        case TRoute::WrongMethod:
            break;
        }
        TAnswer a = Refuse(405, "method not allowed; POST / or GET /health");
        a.Allow = R.Path == "/" ? "POST" : "GET, HEAD";
        return a;
    }

    MHD_Result Answer(MHD_Connection *Connection, TConnection *C) {
        TRequest &r = C->Request;
        C->Enter(phAnswer, NowMs());
        TAnswer answer = Route(r);
        const int status = answer.Status;
        QByteArray &body = answer.Body;
        const char *allow = answer.Allow;
        std::string().swap(r.Body);
        MHD_Response *response = MHD_create_response_from_buffer(size_t(body.size()), body.data(),
                                                                 MHD_RESPMEM_MUST_COPY);
        if (!response) return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, PlainText);
        if (allow) MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allow);
        // After a refusal the rest of the request is not worth reading on
        // as the next one.
        if (status != 200) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
        const MHD_Result queued = MHD_queue_response(Connection, unsigned(status), response);
        MHD_destroy_response(response);
        r.Status = status;
        r.OutBytes = size_t(body.size());
        return queued;
    }
};

TPlainTextService::TPlainTextService() : fImpl(std::make_unique<TImpl>()) {}

TPlainTextService::~TPlainTextService() {
    Stop();
}

bool TPlainTextService::Start(const TPlainTextServiceOptions &Options, QString *Error) {
    auto fail = [&](const QString &Reason) {
        if (Error) *Error = Reason;
        return false;
    };
    if (fImpl->Daemon) return fail(QStringLiteral("the service is already running"));
    const bool tls = !Options.CertFile.isEmpty() || !Options.KeyFile.isEmpty();
    QByteArray cert, key;
    if (tls) {
        if (Options.CertFile.isEmpty() || Options.KeyFile.isEmpty())
            return fail(QStringLiteral("HTTPS needs both a certificate and a key"));
        QFile certFile(Options.CertFile), keyFile(Options.KeyFile);
        if (certFile.open(QIODevice::ReadOnly)) cert = certFile.readAll();
        if (keyFile.open(QIODevice::ReadOnly)) key = keyFile.readAll();
        if (cert.isEmpty() || key.isEmpty())
            return fail(QStringLiteral("cannot load the certificate %1 or the key %2")
                            .arg(Options.CertFile, Options.KeyFile));
    }
    const int fd =
        ListenOn(Options.Host.toStdString(), Options.Port, std::max(1, Options.ListenBacklog));
    if (fd < 0)
        return fail(
            Options.Port == 0
                ? QStringLiteral("cannot listen on %1").arg(Options.Host)
                : QStringLiteral("cannot listen on %1:%2").arg(Options.Host).arg(Options.Port));

    TImpl &impl = *fImpl;
    impl.StopReaper = eventfd(0, EFD_CLOEXEC);
    if (impl.StopReaper < 0) {
        close(fd);
        return fail(QStringLiteral("cannot start the service: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    impl.Options = Options;
    impl.Options.Threads = std::clamp(Options.Threads, 1, 1024);
    // The library's own inactivity time-out, in whole seconds: a connection
    // that stalls (also while it is being answered) for a little longer than
    // the header time is closed. Longer, so that the deadlines above act
    // first where both apply.
    const unsigned stall = unsigned(std::max(1, (Options.HeaderTimeoutMs + 999) / 1000) + 1);
    std::vector<MHD_OptionItem> items = {
        {MHD_OPTION_LISTEN_SOCKET, fd, nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, std::max(impl.Options.Threads, Options.MaxConnections),
         nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, intptr_t(stall), nullptr},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&TImpl::OnConnection), &impl},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&TImpl::OnCompleted), &impl},
        {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(&TImpl::OnRequestLine), &impl},
        {MHD_OPTION_UNESCAPE_CALLBACK, reinterpret_cast<intptr_t>(&Unescape), nullptr},
    };
    if (impl.Options.Threads > 1)
        items.push_back({MHD_OPTION_THREAD_POOL_SIZE, impl.Options.Threads, nullptr});
    if (tls) {
        items.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, cert.data()});
        items.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, key.data()});
    }
    items.push_back({MHD_OPTION_END, 0, nullptr});
    impl.Daemon = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | (tls ? MHD_USE_TLS : 0), 0,
                                   nullptr, nullptr, &TImpl::OnRequest, &impl, MHD_OPTION_ARRAY,
                                   items.data(), MHD_OPTION_END);
    if (!impl.Daemon) { // the library has closed the listening socket
        close(impl.StopReaper);
        impl.StopReaper = -1;
        return fail(tls ? QStringLiteral("cannot load the certificate %1 or the key %2")
                              .arg(Options.CertFile, Options.KeyFile)
                        : QStringLiteral("cannot start the service on %1").arg(Options.Host));
    }
    impl.Port = BoundPort(fd);
    const QString hostPart =
        Options.Host.contains(u':') ? u'[' + Options.Host + u']' : Options.Host;
    impl.Url = QStringLiteral("%1://%2:%3/").arg(tls ? u"https" : u"http", hostPart).arg(impl.Port);
    impl.Reaper = std::thread([&impl] { impl.Reap(); });
    return true;
}

void TPlainTextService::Stop() {
    TImpl &impl = *fImpl;
    if (!impl.Daemon) return;
    MHD_stop_daemon(impl.Daemon); // closes the listening socket and every connection
    impl.Daemon = nullptr;
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = write(impl.StopReaper, &one, sizeof one);
    impl.Reaper.join();
    close(impl.StopReaper);
    impl.StopReaper = -1;
}

bool TPlainTextService::IsRunning() const {
    return fImpl->Daemon != nullptr;
}

int TPlainTextService::Port() const {
    return fImpl->Port;
}

QString TPlainTextService::Url() const {
    return fImpl->Url;
}

} // namespace corvane
