// The transfer object: one libcurl easy handle, a response body collected in
// memory, an optional multipart form, and the limits that keep a transfer
// from hanging or exhausting memory. Used by one thread at a time.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <curl/curl.h>

#include "net/CurlForm.h"
#include "net/CurlInterfaces.h"
#include "net/pagetransfer.h"

namespace corvane {

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
    // The header fields of the last response (after any redirects), names
    // in lower case; collected from the first Perform on.
    const QList<QPair<QByteArray, QByteArray>> &ResponseHeaders() const { return fHeaders; }
    QString ContentType();  // of the last response; empty when it had none
    QString EffectiveUrl(); // the address of the last response
    // The last body was cut at the limit (TCurlLimits::CutLongBody).
    bool BodyCut() const { return fBodyCut; }
    CURL *Handle() const { return fHandle; }

private:
    static size_t WriteToStream(char *Data, size_t Size, size_t Count, void *Self);
    static size_t Discard(char *Data, size_t Size, size_t Count, void *Self);
    static int Progress(void *Self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static size_t Header(char *Data, size_t Size, size_t Count, void *Self);
    void Check(CURLcode Code);
    void ApplyLimits();
    // How many of Bytes more the body may take (all or, past the limit,
    // what is left when the body is cut, else none).
    size_t Counted(size_t Bytes);

    CURL *fHandle = nullptr;
    std::unique_ptr<TRawByteStream> fRecvStream;
    ICurlForm fForm;
    curl_mime *fMime = nullptr;
    TCurlLimits fLimits;
    std::function<bool()> fAbortCheck;
    QList<QPair<QByteArray, QByteArray>> fHeaders;
    qint64 fReceived = 0;
    bool fBodyTooLarge = false;
    bool fBodyCut = false;
};

// Reference-counted transfer object: freed with its last reference.
using ICurl = std::shared_ptr<TEasyCurlImpl>;
inline ICurl NewCurl() {
    return std::make_shared<TEasyCurlImpl>();
}

} // namespace corvane
