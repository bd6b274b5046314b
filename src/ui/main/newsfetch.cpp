#include "newsfetch.h"

#include <curl/curl.h>

#include <memory>

namespace corvane {

namespace {

constexpr qsizetype MaxNewsBytes = 4 * 1024 * 1024;

size_t WriteBody(char *Data, size_t Size, size_t Count, void *User) {
    auto *Body = static_cast<QByteArray *>(User);
    const size_t N = Size * Count;
    if (Body->size() + qsizetype(N) > MaxNewsBytes) return 0; // a runaway page ends the transfer
    Body->append(Data, qsizetype(N));
    return N;
}

int Progress(void *User, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic<bool> *>(User)->load() ? 1 : 0;
}

} // namespace

TNewsFetch::TNewsFetch(const QString &Url, QObject *Parent) : QThread(Parent), FUrl(Url) {}

TNewsFetch::~TNewsFetch() {
    FStop = true;
    wait();
}

void TNewsFetch::run() {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> H(curl_easy_init(), &curl_easy_cleanup);
    if (!H) return;
    QByteArray Body;
    const QByteArray Url = FUrl.toUtf8();
    curl_easy_setopt(H.get(), CURLOPT_URL, Url.constData());
    curl_easy_setopt(H.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(H.get(), CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(H.get(), CURLOPT_CONNECTTIMEOUT, 15L);
    curl_easy_setopt(H.get(), CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(H.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(H.get(), CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(H.get(), CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(H.get(), CURLOPT_WRITEDATA, &Body);
    curl_easy_setopt(H.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(H.get(), CURLOPT_XFERINFOFUNCTION, &Progress);
    curl_easy_setopt(H.get(), CURLOPT_XFERINFODATA, &FStop);
    if (curl_easy_perform(H.get()) != CURLE_OK || FStop) return;
    long Code = 0;
    curl_easy_getinfo(H.get(), CURLINFO_RESPONSE_CODE, &Code);
    if (Code != 200) return;
    emit Loaded(QString::fromUtf8(Body), FUrl);
}

} // namespace corvane
