// The transfer object: one libcurl easy handle, a response body collected in
// memory, an optional multipart form, and the limits that keep a transfer
// from hanging or exhausting memory. Used by one thread at a time.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

#include "net/CurlForm.h"
#include "net/CurlInterfaces.h"

namespace corvane {

// The user agent sent when none is configured, and always to the plain-text service.
inline constexpr const char *DefaultUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:53.0) Gecko/20100101 Firefox/53.0";

// Limits of every transfer. A transfer that breaks one ends with ECurlError.
struct TCurlLimits {
    long ConnectTimeoutSec = 30;      // connection set-up
    long LowSpeedBytesPerSec = 1;     // a stall: less than this many bytes a second ...
    long LowSpeedTimeSec = 60;        // ... for this many seconds
    qint64 MaxBodyBytes = 64ll << 20; // response body (counted as it arrives)
    long MaxRedirects = 30;           // a redirect loop ends instead of running forever
    long TotalTimeoutSec = 120;       // a server that trickles a byte at a time ends too
};
inline constexpr TCurlLimits DefaultCurlLimits{};

class TEasyCurlImpl {
public:
    TEasyCurlImpl(); // ECurlInternal when libcurl gives no handle
    ~TEasyCurlImpl();
    TEasyCurlImpl(const TEasyCurlImpl &) = delete;
    TEasyCurlImpl &operator=(const TEasyCurlImpl &) = delete;

    TEasyCurlImpl &SetUrl(const QString &Url); // UTF-8, not escaped
    TEasyCurlImpl &SetUserAgent(const QString &Agent);
    TEasyCurlImpl &SetOpt(CURLoption Option, long Value);
    TEasyCurlImpl &SetOpt(CURLoption Option, int Value) { return SetOpt(Option, long(Value)); }
    TEasyCurlImpl &SetOpt(CURLoption Option, bool Value) {
        return SetOpt(Option, long(Value ? 1 : 0));
    }
    TEasyCurlImpl &SwitchRecvToString();
    TEasyCurlImpl &SetForm(const ICurlForm &Form);
    TEasyCurlImpl &SetLimits(const TCurlLimits &Limits);
    // Checked by libcurl's progress callback (at least once a second, and as
    // data flows); true ends the transfer with CURLE_ABORTED_BY_CALLBACK.
    TEasyCurlImpl &SetAbortCheck(std::function<bool()> Check);
    TEasyCurlImpl &SetAbortFlag(const std::atomic<bool> &Flag);

    void Perform(); // ECurlError on failure
    long ResponseCode();
    QByteArray ResponseBody() const;
    CURL *Handle() const { return fHandle; }

private:
    static size_t WriteToStream(char *Data, size_t Size, size_t Count, void *Self);
    static size_t Discard(char *Data, size_t Size, size_t Count, void *Self);
    static int Progress(void *Self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    void Check(CURLcode Code);
    void ApplyLimits();
    bool Counted(size_t Bytes);

    CURL *fHandle = nullptr;
    std::unique_ptr<TRawByteStream> fRecvStream;
    ICurlForm fForm;
    curl_mime *fMime = nullptr;
    TCurlLimits fLimits;
    std::function<bool()> fAbortCheck;
    qint64 fReceived = 0;
    bool fBodyTooLarge = false;
};

// Reference-counted transfer object: freed with its last reference.
using ICurl = std::shared_ptr<TEasyCurlImpl>;
inline ICurl NewCurl() {
    return std::make_shared<TEasyCurlImpl>();
}

// curl_global_init on the first live instance, curl_global_cleanup when the
// last one goes. Program entries keep one for their whole run.
class TCurlGlobal {
public:
    TCurlGlobal();
    ~TCurlGlobal();
    TCurlGlobal(const TCurlGlobal &) = delete;
    TCurlGlobal &operator=(const TCurlGlobal &) = delete;
};

} // namespace corvane
