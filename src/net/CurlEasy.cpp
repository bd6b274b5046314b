#include "net/CurlEasy.h"

#include <algorithm>
#include <mutex>
#include <string>

namespace corvane {

TEasyCurlImpl::TEasyCurlImpl() {
    fHandle = curl_easy_init();
    if (!fHandle) throw ECurlInternal("[TEasyCurlImpl.Create] Cannot create cURL object.");
    try {
        // Transfers run on worker threads: no signals for DNS time-outs.
        Check(curl_easy_setopt(fHandle, CURLOPT_NOSIGNAL, 1L));
        // Without a receive stream the body is counted and dropped, never
        // written to standard output.
        Check(curl_easy_setopt(fHandle, CURLOPT_WRITEFUNCTION, &TEasyCurlImpl::Discard));
        Check(curl_easy_setopt(fHandle, CURLOPT_WRITEDATA, this));
        Check(curl_easy_setopt(fHandle, CURLOPT_HEADERFUNCTION, &TEasyCurlImpl::Header));
        Check(curl_easy_setopt(fHandle, CURLOPT_HEADERDATA, this));
        Check(curl_easy_setopt(fHandle, CURLOPT_XFERINFOFUNCTION, &TEasyCurlImpl::Progress));
        Check(curl_easy_setopt(fHandle, CURLOPT_XFERINFODATA, this));
        Check(curl_easy_setopt(fHandle, CURLOPT_NOPROGRESS, 0L));
        // Web pages only: no other scheme, not even behind a redirect.
        Check(curl_easy_setopt(fHandle, CURLOPT_PROTOCOLS_STR, "http,https"));
        Check(curl_easy_setopt(fHandle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
        ApplyLimits();
    } catch (...) {
        curl_easy_cleanup(fHandle);
        throw;
    }
}

TEasyCurlImpl::~TEasyCurlImpl() {
    curl_easy_cleanup(fHandle);
    curl_mime_free(fMime);
}

void TEasyCurlImpl::Check(CURLcode Code) {
    if (Code != CURLE_OK) throw ECurlError(Code);
}

void TEasyCurlImpl::ApplyLimits() {
    Check(curl_easy_setopt(fHandle, CURLOPT_CONNECTTIMEOUT, fLimits.ConnectTimeoutSec));
    Check(curl_easy_setopt(fHandle, CURLOPT_LOW_SPEED_LIMIT, fLimits.LowSpeedBytesPerSec));
    Check(curl_easy_setopt(fHandle, CURLOPT_LOW_SPEED_TIME, fLimits.LowSpeedTimeSec));
    // Stops a response early when it announces its length; the write
    // callbacks stop the others (chunked or ended by closing the connection).
    // A body that is cut is read up to the limit, whatever its announced length.
    Check(curl_easy_setopt(fHandle, CURLOPT_MAXFILESIZE_LARGE,
                           curl_off_t(fLimits.CutLongBody ? 0 : fLimits.MaxBodyBytes)));
    Check(curl_easy_setopt(fHandle, CURLOPT_MAXREDIRS, fLimits.MaxRedirects));
    Check(curl_easy_setopt(fHandle, CURLOPT_TIMEOUT, fLimits.TotalTimeoutSec));
}

TEasyCurlImpl &TEasyCurlImpl::SetUrl(const QString &Url) {
    Check(curl_easy_setopt(fHandle, CURLOPT_URL, Url.toUtf8().constData()));
    return *this;
}

TEasyCurlImpl &TEasyCurlImpl::SetUserAgent(const QString &Agent) {
    Check(curl_easy_setopt(fHandle, CURLOPT_USERAGENT, Agent.toUtf8().constData()));
    return *this;
}

TEasyCurlImpl &TEasyCurlImpl::SetOpt(CURLoption Option, long Value) {
    Check(curl_easy_setopt(fHandle, Option, Value));
    return *this;
}

TEasyCurlImpl &TEasyCurlImpl::SwitchRecvToString() {
    auto stream = std::make_unique<TRawByteStream>();
    Check(curl_easy_setopt(fHandle, CURLOPT_WRITEFUNCTION, &TEasyCurlImpl::WriteToStream));
    Check(curl_easy_setopt(fHandle, CURLOPT_WRITEDATA, this));
    fRecvStream = std::move(stream);
    return *this;
}

TEasyCurlImpl &TEasyCurlImpl::SetForm(const ICurlForm &Form) {
    curl_mime *mime = nullptr;
    if (Form) {
        mime = curl_mime_init(fHandle);
        if (!mime) throw ECurlInternal("Not enough memory");
        try {
            for (const ICurlField &f : Form->Fields()) {
                curl_mimepart *part = curl_mime_addpart(mime);
                if (!part) throw ECurlInternal("Not enough memory");
                Check(curl_mime_name(part, f->FieldName().constData()));
                Check(curl_mime_data(part, f->FieldContent().constData(),
                                     size_t(f->FieldContent().size())));
            }
            Check(curl_easy_setopt(fHandle, CURLOPT_MIMEPOST, mime));
        } catch (...) {
            curl_mime_free(mime);
            throw;
        }
    } else {
        Check(curl_easy_setopt(fHandle, CURLOPT_MIMEPOST, static_cast<curl_mime *>(nullptr)));
    }
    curl_mime_free(fMime);
    fMime = mime;
    fForm = Form;
    return *this;
}

TEasyCurlImpl &TEasyCurlImpl::SetLimits(const TCurlLimits &Limits) {
    fLimits = Limits;
    ApplyLimits();
    return *this;
}

TEasyCurlImpl &TEasyCurlImpl::SetAbortCheck(std::function<bool()> Check) {
    fAbortCheck = std::move(Check);
    return *this;
}

TEasyCurlImpl &TEasyCurlImpl::SetAbortFlag(const std::atomic<bool> &Flag) {
    return SetAbortCheck([&Flag] { return Flag.load(std::memory_order_relaxed); });
}

size_t TEasyCurlImpl::Counted(size_t Bytes) {
    const qint64 left = std::max<qint64>(0, fLimits.MaxBodyBytes - fReceived);
    if (qint64(Bytes) > left) {
        fBodyTooLarge = true;
        if (!fLimits.CutLongBody) return 0;
        fReceived += left;
        return size_t(left);
    }
    fReceived += qint64(Bytes);
    return Bytes;
}

size_t TEasyCurlImpl::WriteToStream(char *Data, size_t Size, size_t Count, void *Self) {
    auto *self = static_cast<TEasyCurlImpl *>(Self);
    const size_t n = Size * Count;
    const size_t take = self->Counted(n);
    try {
        if (take > 0 && size_t(self->fRecvStream->Write(Data, qint64(take))) != take) return 0;
    } catch (...) { // out of memory: no exception may cross libcurl
        return 0;
    }
    return take == n ? n : 0; // anything short of n ends the transfer
}

size_t TEasyCurlImpl::Discard(char *, size_t Size, size_t Count, void *Self) {
    const size_t n = Size * Count;
    return static_cast<TEasyCurlImpl *>(Self)->Counted(n) == n ? n : 0;
}

size_t TEasyCurlImpl::Header(char *Data, size_t Size, size_t Count, void *Self) {
    auto *self = static_cast<TEasyCurlImpl *>(Self);
    const size_t n = Size * Count;
    try {
        const QByteArray line = QByteArray(Data, qsizetype(n)).trimmed();
        // A status line starts the fields of a new response (a redirect,
        // a 100 Continue): only the last response's are kept.
        if (line.startsWith("HTTP/")) {
            self->fHeaders.clear();
        } else if (const qsizetype colon = line.indexOf(':');
                   colon > 0 && self->fHeaders.size() < 1000) {
            self->fHeaders.append(
                {line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
        }
    } catch (...) { // no exception may cross libcurl
        return 0;
    }
    return n;
}

int TEasyCurlImpl::Progress(void *Self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto *self = static_cast<TEasyCurlImpl *>(Self);
    return self->fAbortCheck && self->fAbortCheck() ? 1 : 0;
}

void TEasyCurlImpl::Perform() {
    if (fRecvStream) fRecvStream->SetSize(0);
    fHeaders.clear();
    fReceived = 0;
    fBodyTooLarge = false;
    fBodyCut = false;
    // A later CURLOPT_POST would turn the request into an empty plain POST;
    // the attached form wins.
    if (fMime) Check(curl_easy_setopt(fHandle, CURLOPT_MIMEPOST, fMime));
    const CURLcode code = curl_easy_perform(fHandle);
    if (code == CURLE_OK) return;
    if (fBodyTooLarge && fLimits.CutLongBody && code == CURLE_WRITE_ERROR) {
        fBodyCut = true;
        return;
    }
    if (fBodyTooLarge || code == CURLE_FILESIZE_EXCEEDED)
        throw ECurlError(CURLE_FILESIZE_EXCEEDED,
                         std::string(curl_easy_strerror(CURLE_FILESIZE_EXCEEDED)) +
                             ": the response body is larger than " +
                             std::to_string(fLimits.MaxBodyBytes) + " bytes");
    throw ECurlError(code);
}

long TEasyCurlImpl::ResponseCode() {
    long code = 0;
    Check(curl_easy_getinfo(fHandle, CURLINFO_RESPONSE_CODE, &code));
    return code;
}

QString TEasyCurlImpl::ContentType() {
    char *type = nullptr;
    Check(curl_easy_getinfo(fHandle, CURLINFO_CONTENT_TYPE, &type));
    return type ? QString::fromLatin1(type) : QString();
}

QString TEasyCurlImpl::EffectiveUrl() {
    char *url = nullptr;
    Check(curl_easy_getinfo(fHandle, CURLINFO_EFFECTIVE_URL, &url));
    return url ? QString::fromUtf8(url) : QString();
}

QByteArray TEasyCurlImpl::ResponseBody() const {
    if (!fRecvStream) throw ECurl("Cannot get response body, use SwitchRecvToString beforehand");
    return fRecvStream->Data();
}

namespace {
std::mutex GlobalMutex;
int GlobalUsers = 0;
} // namespace

TCurlGlobal::TCurlGlobal() {
    std::lock_guard lock(GlobalMutex);
    if (GlobalUsers++ == 0) curl_global_init(CURL_GLOBAL_ALL);
}

TCurlGlobal::~TCurlGlobal() {
    std::lock_guard lock(GlobalMutex);
    if (--GlobalUsers == 0) curl_global_cleanup();
}

} // namespace corvane
