#include "net/pagetransfer.h"

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

} // namespace corvane
