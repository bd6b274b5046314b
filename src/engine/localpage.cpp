#include "engine/localpage.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <QFile>
#include <QStringDecoder>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "net/pagetransfer.h"

namespace corvane {

namespace {

QString SystemError(int Code) {
    return QString::fromLocal8Bit(std::strerror(Code));
}

class TFd {
public:
    explicit TFd(int Fd) : FFd(Fd) {}
    ~TFd() {
        if (FFd >= 0) ::close(FFd);
    }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

} // namespace

TLocalPage ReadLocalPage(const QString &Path, const std::function<bool()> &AbortCheck) {
    using Clock = std::chrono::steady_clock;
    TLocalPage out;
    const QByteArray name = QFile::encodeName(Path);
    struct stat st {};
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0 || S_ISDIR(st.st_mode)) {
        out.Status = TLocalPage::lpMissing;
        return out;
    }
    // Not blocking: opening a FIFO without a writer would wait for one.
    const TFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0) {
        out.Status = errno == ENOENT ? TLocalPage::lpMissing : TLocalPage::lpError;
        out.Error = SystemError(errno);
        return out;
    }
    const TCurlLimits &limits = DefaultCurlLimits;
    const auto start = Clock::now();
    auto lastData = start;
    QByteArray bytes;
    if (S_ISREG(st.st_mode) && st.st_size > 0 && st.st_size <= limits.MaxBodyBytes)
        bytes.reserve(qsizetype(st.st_size));
    auto fail = [&](const QString &Why) {
        out.Status = TLocalPage::lpError;
        out.Error = Why;
        return out;
    };
    char buf[1 << 16];
    for (;;) {
        if (AbortCheck && AbortCheck()) {
            out.Status = TLocalPage::lpAborted;
            return out;
        }
        const auto now = Clock::now();
        if (now - start > std::chrono::seconds(limits.TotalTimeoutSec))
            return fail(QStringLiteral("reading the file took longer than %1 seconds")
                            .arg(limits.TotalTimeoutSec));
        if (now - lastData > std::chrono::seconds(limits.LowSpeedTimeSec))
            return fail(
                QStringLiteral("no data from the file for %1 seconds").arg(limits.LowSpeedTimeSec));
        const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n == 0) break; // end of the file, or a FIFO without a writer
        if (n < 0) {
            if (errno != EAGAIN && errno != EINTR) return fail(SystemError(errno));
            // A FIFO or device with nothing to read yet.
            pollfd p{fd.Get(), POLLIN, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        if (bytes.size() + n > limits.MaxBodyBytes)
            return fail(
                QStringLiteral("the file is larger than %1 bytes").arg(limits.MaxBodyBytes));
        bytes.append(buf, n);
        lastData = Clock::now();
    }
    out.Page = LocalFilePage(bytes);
    return out;
}

QByteArray LocalFilePage(const QByteArray &Bytes) {
    QString text;
    bool unicode = true;
    if (Bytes.startsWith("\xEF\xBB\xBF"))
        text = QString::fromUtf8(Bytes.sliced(3));
    else if (Bytes.startsWith("\xFF\xFE"))
        text = QStringDecoder(QStringConverter::Utf16LE).decode(Bytes.sliced(2));
    else if (Bytes.startsWith("\xFE\xFF"))
        text = QStringDecoder(QStringConverter::Utf16BE).decode(Bytes.sliced(2));
    else
        unicode = false;

    // Lines at CR LF, CR or LF, each followed by CR LF.
    QByteArray out;
    if (unicode) {
        const QByteArray utf8 = text.toUtf8();
        return LocalFilePage(utf8);
    }
    out.reserve(Bytes.size() + Bytes.size() / 16 + 2);
    const qsizetype n = Bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = Bytes[i];
        if (c != '\r' && c != '\n') continue;
        out.append(Bytes.constData() + start, i - start).append("\r\n");
        if (c == '\r' && i + 1 < n && Bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) out.append(Bytes.constData() + start, n - start).append("\r\n");
    return out;
}

} // namespace corvane
