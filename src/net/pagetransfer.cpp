#include "net/pagetransfer.h"

#include <algorithm>

#include <QList>

#include "net/CurlEasy.h"

namespace corvane {

QByteArray TPageResponse::Header(const QByteArray &LowerName) const {
    for (const auto &[name, value] : Headers)
        if (name == LowerName) return value;
    return {};
}

struct TPageTransfer::TImpl {
    TPageRequest Request;
    ICurl Curl;
};

TPageTransfer::TPageTransfer(TPageRequest Request) : FImpl(std::make_unique<TImpl>()) {
    FImpl->Request = std::move(Request);
    const TPageRequest &r = FImpl->Request;
    FImpl->Curl = NewCurl();
    FImpl->Curl
        ->SetUserAgent(r.UserAgent.isEmpty() ? QString::fromLatin1(DefaultUserAgent) : r.UserAgent)
        .SetUrl(r.URL)
        .SetOpt(CURLOPT_SSL_VERIFYPEER, r.CheckCertificate ? 1L : 0L)
        .SetOpt(CURLOPT_SSL_VERIFYHOST, r.CheckCertificate ? 2L : 0L)
        .SetOpt(CURLOPT_FOLLOWLOCATION, 1L)
        .SetOpt(CURLOPT_AUTOREFERER, 1L)
        .SetLimits(r.Limits)
        .SwitchRecvToString();
    if (r.AbortCheck) FImpl->Curl->SetAbortCheck(r.AbortCheck);
}

TPageTransfer::~TPageTransfer() = default;

TPageResponse TPageTransfer::Perform() {
    TPageResponse out;
    TEasyCurlImpl &curl = *FImpl->Curl;
    const auto aborting = [this] {
        return FImpl->Request.AbortCheck && FImpl->Request.AbortCheck();
    };
    try {
        curl.Perform();
    } catch (const std::exception &e) {
        // An abort cancels the transfer: that is no failure of the page.
        out.Outcome = aborting() ? TPageResponse::prAborted : TPageResponse::prSendError;
        out.Error = QString::fromUtf8(e.what());
        return out;
    }
    if (aborting()) {
        out.Outcome = TPageResponse::prAborted;
        return out;
    }
    try {
        out.Status = curl.ResponseCode();
        out.ContentType = curl.ContentType();
        out.EffectiveURL = curl.EffectiveUrl();
    } catch (const std::exception &e) {
        out.Outcome = TPageResponse::prSendError;
        out.Error = QString::fromUtf8(e.what());
        return out;
    }
    out.Headers = curl.ResponseHeaders();
    if (out.Status != 200) {
        out.Outcome = TPageResponse::prHTTPError;
        return out;
    }
    out.Outcome = TPageResponse::prOk;
    out.Body = curl.ResponseBody();
    out.Truncated = curl.BodyCut();
    return out;
}

TPageResponse FetchPage(const TPageRequest &Request) {
    try {
        TPageTransfer transfer(Request);
        return transfer.Perform();
    } catch (const std::exception &e) {
        TPageResponse out;
        out.Error = QString::fromUtf8(e.what());
        return out;
    }
}

namespace {

// The three date forms of HTTP (RFC 9110 5.6.7), always in GMT:
// "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT" and
// "Sun Nov  6 08:49:37 1994".
std::optional<QDateTime> HttpDate(const QByteArray &Value) {
    static const char *const Months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    auto month = [](const QByteArray &Name) {
        for (int m = 0; m < 12; ++m)
            if (Name.toLower() == Months[m]) return m + 1;
        return 0;
    };
    auto number = [](const QByteArray &Text, int &Out) {
        bool ok = false;
        Out = Text.toInt(&ok);
        return ok;
    };
    QList<QByteArray> f = Value.simplified().split(' ');
    int day = 0, mon = 0, year = 0;
    QByteArray time;
    if (f.size() == 6 && f[0].endsWith(',') && f[5] == "GMT") { // IMF-fixdate
        mon = month(f[2]);
        if (!number(f[1], day) || !number(f[3], year)) return std::nullopt;
        time = f[4];
    } else if (f.size() == 4 && f[0].endsWith(',') && f[3] == "GMT") { // RFC 850
        const QList<QByteArray> d = f[1].split('-');
        if (d.size() != 3 || !number(d[0], day) || !number(d[2], year)) return std::nullopt;
        mon = month(d[1]);
        year += year < 70 ? 2000 : year < 100 ? 1900 : 0;
        time = f[2];
    } else if (f.size() == 5) { // asctime
        mon = month(f[1]);
        if (!number(f[2], day) || !number(f[4], year)) return std::nullopt;
        time = f[3];
    } else {
        return std::nullopt;
    }
    const QDate date(year, mon, day);
    const QTime clock = QTime::fromString(QString::fromLatin1(time), QStringLiteral("HH:mm:ss"));
    if (mon == 0 || !date.isValid() || !clock.isValid()) return std::nullopt;
    return QDateTime(date, clock, Qt::UTC);
}

} // namespace

std::optional<qint64> RetryAfterSeconds(const QByteArray &Value, const QDateTime &Now) {
    const QByteArray v = Value.trimmed();
    if (v.isEmpty()) return std::nullopt;
    if (std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // Digits beyond what a wait can mean are a long wait, not an error.
        bool ok = false;
        const qint64 s = v.size() > 12 ? Q_INT64_C(999999999999) : v.toLongLong(&ok);
        return ok || v.size() > 12 ? std::optional<qint64>(s) : std::nullopt;
    }
    const std::optional<QDateTime> at = HttpDate(v);
    if (!at) return std::nullopt;
    return std::max<qint64>(0, Now.secsTo(*at));
}

} // namespace corvane
