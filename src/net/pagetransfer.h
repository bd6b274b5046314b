// A page download as every part of the program makes it: the user agent,
// certificate checks off, redirects followed (http and https only) with a
// Referer, the transfer limits and an abort check; its outcome classified.
// The worker prepares it, waits for its turn, then performs it; corvane-cli
// and the news tab make the same transfer. No libcurl type appears here.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

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
    // A longer body is cut at MaxBodyBytes and the transfer ends well
    // (TPageResponse::Truncated) instead of failing: for files of which only
    // the head is read, such as robots.txt.
    bool CutLongBody = false;
};
inline constexpr TCurlLimits DefaultCurlLimits{};

// curl_global_init on the first live instance, curl_global_cleanup when the
// last one goes. Program entries keep one for their whole run.
class TCurlGlobal {
public:
    TCurlGlobal();
    ~TCurlGlobal();
    TCurlGlobal(const TCurlGlobal &) = delete;
    TCurlGlobal &operator=(const TCurlGlobal &) = delete;
};

struct TPageRequest {
    QString URL;                      // UTF-8, not escaped
    QString UserAgent;                // empty: DefaultUserAgent
    std::function<bool()> AbortCheck; // polled during the transfer; true ends it
    TCurlLimits Limits = DefaultCurlLimits;
    // Pages are downloaded whatever their certificate says; the program's
    // own requests (the news page) check it.
    bool CheckCertificate = false;
};

struct TPageResponse {
    enum TOutcome {
        prOk,        // status 200: Body is the page
        prHTTPError, // another status (Status)
        prSendError, // no response: Error is the transfer's message
        prAborted,   // the abort check held during or right after the transfer
    };
    TOutcome Outcome = prSendError;
    long Status = 0;
    QString Error;
    QByteArray Body;
    QString ContentType; // of the last response
    QString EffectiveURL;
    bool Truncated = false; // the body was cut at the limit (TCurlLimits::CutLongBody)
    QList<QPair<QByteArray, QByteArray>> Headers; // of the last response, names in lower case
    // The first field of that name (lower case), empty when there is none.
    QByteArray Header(const QByteArray &LowerName) const;
};

class TPageTransfer {
public:
    // Creates the transfer and sets every option; ECurl when that fails.
    explicit TPageTransfer(TPageRequest Request);
    ~TPageTransfer();
    TPageTransfer(const TPageTransfer &) = delete;
    TPageTransfer &operator=(const TPageTransfer &) = delete;

    // Downloads and classifies. Never throws for a failed transfer.
    TPageResponse Perform();

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

// The request and its response in one call.
TPageResponse FetchPage(const TPageRequest &Request);

// The seconds a "Retry-After" value asks a client to wait: delta-seconds, or
// an HTTP date (IMF-fixdate, RFC 850 or asctime form) counted from Now and
// never below 0. None for anything else.
std::optional<qint64> RetryAfterSeconds(const QByteArray &Value, const QDateTime &Now);

} // namespace corvane
