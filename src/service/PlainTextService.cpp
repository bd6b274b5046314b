#include "service/PlainTextService.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <httplib.h>

#include "service/plaintext.h"

namespace corvane {

namespace {

using Clock = std::chrono::steady_clock;

// When the request now served on this thread began (set before its body is read).
thread_local Clock::time_point RequestStart;

void Reject(httplib::Response &Res, int Status, const char *Reason) {
    Res.status = Status;
    Res.set_content(std::string(Reason) + "\n", "text/plain; charset=utf-8");
}

} // namespace

struct TPlainTextService::TImpl {
    std::unique_ptr<httplib::Server> Server;
    std::thread Thread;
    std::atomic<bool> Finished = false; // the accept loop has returned
    int Port = 0;
    QString Url;
};

TPlainTextService::TPlainTextService() : fImpl(std::make_unique<TImpl>()) {}

TPlainTextService::~TPlainTextService() {
    Stop();
}

bool TPlainTextService::Start(const TPlainTextServiceOptions &Options, QString *Error) {
    auto fail = [&](const QString &Reason) {
        if (Error) *Error = Reason;
        fImpl->Server.reset();
        return false;
    };
    if (fImpl->Thread.joinable()) return fail(QStringLiteral("the service is already running"));
    const bool tls = !Options.CertFile.isEmpty() || !Options.KeyFile.isEmpty();
    if (tls) {
        if (Options.CertFile.isEmpty() || Options.KeyFile.isEmpty())
            return fail(QStringLiteral("HTTPS needs both a certificate and a key"));
        auto server = std::make_unique<httplib::SSLServer>(
            Options.CertFile.toLocal8Bit().constData(), Options.KeyFile.toLocal8Bit().constData());
        if (!server->is_valid())
            return fail(QStringLiteral("cannot load the certificate %1 or the key %2")
                            .arg(Options.CertFile, Options.KeyFile));
        fImpl->Server = std::move(server);
    } else {
        fImpl->Server = std::make_unique<httplib::Server>();
    }
    httplib::Server &svr = *fImpl->Server;

    const int threads = std::max(1, Options.Threads);
    svr.new_task_queue = [threads] { return new httplib::ThreadPool(size_t(threads)); };
    svr.set_payload_max_length(size_t(Options.MaxBodyBytes));
    svr.set_keep_alive_max_count(1000);
    svr.set_tcp_nodelay(true);
    // The library's default also sets SO_REUSEPORT, which lets a second
    // service bind a port that is in use and share its connections.
    svr.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    svr.Get("/health", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("ok\n", "text/plain; charset=utf-8");
    });
    // The body is read here rather than by the library, which puts no limit
    // on a chunked body: every byte is counted against the limit.
    const size_t maxBody = size_t(Options.MaxBodyBytes);
    svr.Post("/", [maxBody](const httplib::Request &req, httplib::Response &res,
                            const httplib::ContentReader &read) {
        if (!req.is_multipart_form_data()) {
            res.set_header("Connection", "close"); // the body is left unread
            return Reject(res, 400, "expected a multipart/form-data body with the field \"text\"");
        }
        std::string html;
        bool haveText = false, inText = false, tooLarge = false;
        size_t total = 0;
        auto count = [&](size_t Bytes) {
            total += Bytes;
            tooLarge = total > maxBody;
            return !tooLarge;
        };
        const bool ok = read(
            [&](const httplib::MultipartFormData &part) {
                inText = !haveText && part.name == "text";
                haveText = haveText || inText;
                return count(part.name.size() + part.filename.size() + part.content_type.size());
            },
            [&](const char *data, size_t n) {
                if (!count(n)) return false;
                if (inText) html.append(data, n);
                return true;
            });
        if (tooLarge || res.status == 413) { // counted here, or announced by Content-Length
            res.set_header("Connection", "close");
            return Reject(res, 413, "the request is larger than the service accepts");
        }
        if (!ok) {
            res.set_header("Connection", "close");
            return Reject(res, 400, "malformed multipart/form-data body");
        }
        if (!haveText) return Reject(res, 400, "the form has no field \"text\"");
        const QString text =
            HtmlToPlainText(QString::fromUtf8(html.data(), qsizetype(html.size())));
        const QByteArray utf8 = text.toUtf8();
        res.set_content(utf8.constData(), size_t(utf8.size()), "text/plain; charset=utf-8");
    });
    // Requests that never reach a handler (413, malformed bodies, unknown
    // paths) still get a short reason.
    svr.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty()) return;
        switch (res.status) {
        case 413:
            return Reject(res, 413, "the request is larger than the service accepts");
        case 404:
            return Reject(res, 404, "not found; POST / or GET /health");
        case 400:
            return Reject(res, 400, "malformed request");
        default:
            return Reject(res, res.status, "request failed");
        }
    });
    svr.set_exception_handler([](const httplib::Request &, httplib::Response &res,
                                 std::exception_ptr) { Reject(res, 500, "internal error"); });
    if (Options.LogRequests) {
        svr.set_pre_routing_handler([](const httplib::Request &, httplib::Response &) {
            RequestStart = Clock::now();
            return httplib::Server::HandlerResponse::Unhandled;
        });
        svr.set_logger([](const httplib::Request &req, const httplib::Response &res) {
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - RequestStart)
                    .count();
            const unsigned long long in =
                std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10);
            std::fprintf(stderr, "%s %s %s %d in=%llu out=%zu %lld ms\n", req.remote_addr.c_str(),
                         req.method.c_str(), req.path.c_str(), res.status, in, res.body.size(),
                         static_cast<long long>(ms));
        });
    }

    const std::string host = Options.Host.toStdString();
    int port = Options.Port;
    if (port == 0) {
        port = svr.bind_to_any_port(host);
        if (port <= 0) return fail(QStringLiteral("cannot listen on %1").arg(Options.Host));
    } else if (!svr.bind_to_port(host, port)) {
        return fail(QStringLiteral("cannot listen on %1:%2").arg(Options.Host).arg(port));
    }
    fImpl->Port = port;
    const QString hostPart =
        Options.Host.contains(u':') ? u'[' + Options.Host + u']' : Options.Host;
    fImpl->Url = QStringLiteral("%1://%2:%3/").arg(tls ? u"https" : u"http", hostPart).arg(port);
    fImpl->Finished = false;
    fImpl->Thread = std::thread([&svr, impl = fImpl.get()] {
        svr.listen_after_bind();
        impl->Finished = true;
    });
    return true;
}

void TPlainTextService::Stop() {
    if (!fImpl->Thread.joinable()) return;
    // stop() acts only on a running server, and the accept loop marks itself
    // running as its first step.
    while (!fImpl->Server->is_running() && !fImpl->Finished) std::this_thread::yield();
    fImpl->Server->stop();
    fImpl->Thread.join();
    fImpl->Server.reset();
}

bool TPlainTextService::IsRunning() const {
    return fImpl->Thread.joinable();
}

int TPlainTextService::Port() const {
    return fImpl->Port;
}

QString TPlainTextService::Url() const {
    return fImpl->Url;
}

} // namespace corvane
