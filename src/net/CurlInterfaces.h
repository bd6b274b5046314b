// Exceptions and the in-memory byte stream of the libcurl transfer layer.
#pragma once

#include <stdexcept>
#include <string>

#include <QByteArray>

#include <curl/curl.h>

namespace corvane {

// Base of every error the transfer layer raises.
class ECurl : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// libcurl returned a non-zero result code; the message is libcurl's
// description of that code.
class ECurlError : public ECurl {
public:
    ECurlError(CURLcode ACode, const std::string &Message) : ECurl(Message), Code(ACode) {}
    explicit ECurlError(CURLcode ACode) : ECurlError(ACode, curl_easy_strerror(ACode)) {}
    CURLcode Code;
};

// The layer's own failures (no handle, a locked form field, a bad form).
class ECurlInternal : public ECurl {
public:
    using ECurl::ECurl;
};

// An in-memory stream over one byte string. Writing past the end grows the
// string; reading stops at the end; seeking clamps to 0..size.
class TRawByteStream {
public:
    qint64 Write(const char *Data, qint64 Count);
    qint64 Read(char *Data, qint64 Count);
    qint64 Seek(qint64 Position);
    void SetSize(qint64 Size); // a negative size throws std::range_error
    qint64 Size() const { return fData.size(); }
    qint64 Position() const { return fPos; }
    const QByteArray &Data() const { return fData; }

private:
    QByteArray fData;
    qint64 fPos = 0;
};

} // namespace corvane
