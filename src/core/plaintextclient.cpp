#include "core/plaintextclient.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "net/CurlEasy.h"

namespace corvane {

namespace {

// Counts attempts; its parity picks the endpoint. An unsigned counter keeps
// the parity right when it wraps.
std::atomic<unsigned> EndpointSelector{0};

// 0 for the first endpoint, 1 for the second; the first call after start
// gets 1. Taken once per call: a call's attempts alternate from there, so
// that one dead endpoint never gets all three attempts of a page.
int NextEndpoint() {
    return int((EndpointSelector.fetch_add(1, std::memory_order_relaxed) + 1) % 2);
}

bool Blank(QStringView Line) {
    for (QChar c : Line)
        if (c.unicode() > 0x20) return false;
    return true;
}

QStringView TrimmedControls(QStringView S) {
    qsizetype b = 0, e = S.size();
    while (b < e && S[b].unicode() <= 0x20) ++b;
    while (e > b && S[e - 1].unicode() <= 0x20) --e;
    return S.sliced(b, e - b);
}

// Sleeps Ms milliseconds; false when the abort check held meanwhile.
bool Pause(int Ms, const std::function<bool()> &AbortCheck) {
    using namespace std::chrono;
    const auto until = steady_clock::now() + milliseconds(Ms);
    if (!AbortCheck) {
        std::this_thread::sleep_until(until);
        return true;
    }
    while (steady_clock::now() < until) {
        if (AbortCheck()) return false;
        std::this_thread::sleep_for(
            std::min<steady_clock::duration>(milliseconds(20), until - steady_clock::now()));
    }
    return !AbortCheck();
}

} // namespace

QString CleanPlainTextAnswer(const QString &Answer) {
    QString out;
    out.reserve(Answer.size() + 64);
    const qsizetype n = Answer.size();
    qsizetype start = 0;
    while (start <= n) {
        qsizetype end = start;
        while (end < n && Answer[end] != u'\r' && Answer[end] != u'\n') ++end;
        const QStringView line = QStringView(Answer).sliced(start, end - start);
        if (!Blank(line) && TrimmedControls(line) != u"\uFEFF") {
            out += line;
            out += u"\r\n";
        }
        if (end >= n) break;
        start = end + (Answer[end] == u'\r' && end + 1 < n && Answer[end + 1] == u'\n' ? 2 : 1);
    }
    if (out == u"1\r\n") out.clear();
    return out;
}

TExtractResult GetPlainTextFromService(const QByteArray &Page, const TPlainTextEndpoints &Endpoints,
                                       const std::function<bool()> &AbortCheck) {
    TExtractResult result;
    const TCharsetInfo charset = DetectCharset(Page);
    result.Lang = charset.Lang;

    QString lastError;
    try {
        ICurlForm form = NewCurlForm();
        ICurlField field = NewCurlField();
        field->Name("text").Content(DecodePage(Page, charset.Charset));
        form->Add(field);
        ICurl curl = NewCurl();
        if (AbortCheck) curl->SetAbortCheck(AbortCheck);

        const int first = NextEndpoint();
        for (int attempt = 0; attempt < PlainTextAttempts; ++attempt) {
            const QString &url = (first + attempt) % 2 == 0 ? Endpoints.First : Endpoints.Second;
            try {
                curl->SetUrl(url)
                    .SetOpt(CURLOPT_POST, 1)
                    .SetUserAgent(QString::fromLatin1(DefaultUserAgent))
                    .SetForm(form)
                    .SetOpt(CURLOPT_SSL_VERIFYPEER, 0)
                    .SwitchRecvToString();
                curl->Perform();
                // An overloaded or failing service answers with an error page:
                // that is not the page's text.
                const long status = curl->ResponseCode();
                if (status >= 200 && status <= 299) {
                    result.Text = CleanPlainTextAnswer(QString::fromUtf8(curl->ResponseBody()));
                    return result;
                }
                lastError = QStringLiteral("the service answered with HTTP status %1").arg(status);
            } catch (const ECurl &e) {
                lastError = QString::fromUtf8(e.what());
            }
            if (!result.Failure.isEmpty()) result.Failure += QStringLiteral("; ");
            result.Failure += url + QStringLiteral(": ") + lastError;
            if (attempt + 1 < PlainTextAttempts && !Pause(PlainTextRetryPauseMs, AbortCheck)) break;
        }
    } catch (const std::exception &e) { // no handle, no memory: the call fails, the caller goes on
        lastError = QString::fromUtf8(e.what());
        if (!result.Failure.isEmpty()) result.Failure += QStringLiteral("; ");
        result.Failure += lastError;
    }
    result.Code = -1;
    result.Text = QString::fromLatin1(PlainTextErrorPrefix) + lastError;
    return result;
}

void ResetPlainTextEndpointSelector() {
    EndpointSelector.store(0);
}

} // namespace corvane
