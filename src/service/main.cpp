// corvane-plaintext: the plain-text web service as a program of its own.
#include <csignal>
#include <cstdio>

#include <QString>
#include <QStringList>

#include <malloc.h>
#include <sys/resource.h>

#include "service/PlainTextService.h"

using namespace corvane;

namespace {

constexpr const char *Usage =
    "Usage: corvane-plaintext --listen HOST:PORT [--cert FILE --key FILE] [--threads N]\n"
    "  POST / with the multipart form field \"text\" (an HTML page, UTF-8) answers the\n"
    "  page's visible text, one line per line, or the single line 1 when it has none;\n"
    "  GET /health answers ok. PORT 0 picks a free port. With --cert and --key the\n"
    "  service speaks HTTPS. --threads: pages converted at once (default 8).\n"
    "  One line per request goes to standard error.\n";

int UsageError(const QString &Message) {
    std::fprintf(stderr, "corvane-plaintext: %s\n%s", Message.toLocal8Bit().constData(), Usage);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    TPlainTextServiceOptions options;
    options.LogRequests = true;
    QString listen;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--help" || a == u"-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (a != u"--listen" && a != u"--cert" && a != u"--key" && a != u"--threads")
            return UsageError(QStringLiteral("unknown argument %1").arg(a));
        if (i + 1 >= args.size()) return UsageError(QStringLiteral("%1 needs a value").arg(a));
        const QString v = args[++i];
        if (a == u"--listen")
            listen = v;
        else if (a == u"--cert")
            options.CertFile = v;
        else if (a == u"--key")
            options.KeyFile = v;
        else {
            bool ok = false;
            options.Threads = v.toInt(&ok);
            if (!ok || options.Threads < 1 || options.Threads > 1024)
                return UsageError(
                    QStringLiteral("--threads must be a whole number from 1 to 1024"));
        }
    }
    if (listen.isEmpty()) return UsageError(QStringLiteral("--listen HOST:PORT is required"));
    const qsizetype colon = listen.lastIndexOf(u':');
    bool portOk = false;
    const int port = colon > 0 ? listen.mid(colon + 1).toInt(&portOk) : 0;
    if (colon <= 0 || !portOk || port < 0 || port > 65535)
        return UsageError(QStringLiteral("--listen needs HOST:PORT, not \"%1\"").arg(listen));
    options.Port = port;
    options.Host = listen.left(colon);
    if (options.Host.startsWith(u'[') && options.Host.endsWith(u']'))
        options.Host = options.Host.mid(1, options.Host.size() - 2);
    if (options.CertFile.isEmpty() != options.KeyFile.isEmpty())
        return UsageError(QStringLiteral("--cert and --key go together"));

    // Every request allocates a few buffers of about the page's size; keep
    // them in the heap instead of mapping and unmapping pages each time.
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_TOP_PAD, 16 << 20);

    // Every open connection holds a descriptor: take all the system allows.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    // The signals are taken by sigwait below, never delivered to a thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    TPlainTextService service;
    QString error;
    if (!service.Start(options, &error)) {
        std::fprintf(stderr, "corvane-plaintext: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    std::fprintf(stderr, "corvane-plaintext: listening on %s\n",
                 service.Url().toLocal8Bit().constData());
    int sig = 0;
    sigwait(&stopSignals, &sig);
    service.Stop();
    std::fprintf(stderr, "corvane-plaintext: stopped\n");
    return 0;
}
