#include "ui/main/newsfetch.h"

#include "net/pagetransfer.h"

namespace corvane::ui {

TNewsFetch::TNewsFetch(const QString &Url, QObject *Parent) : QThread(Parent), FUrl(Url) {}

TNewsFetch::~TNewsFetch() {
    FStop = true;
    wait();
}

void TNewsFetch::run() {
    TPageRequest request{FUrl, {}, [this] { return FStop.load(); }};
    request.Limits.ConnectTimeoutSec = 15;
    request.Limits.TotalTimeoutSec = 60;
    request.Limits.MaxRedirects = 10;
    request.Limits.MaxBodyBytes = 4 * 1024 * 1024; // a runaway page ends the transfer
    request.CheckCertificate = true;
    const TPageResponse response = FetchPage(request);
    if (response.Outcome != TPageResponse::prOk || FStop) return;
    emit Loaded(QString::fromUtf8(response.Body), FUrl);
}

} // namespace corvane::ui
