#include "service/endpoints.h"

#include <memory>
#include <mutex>

#include <QFileInfo>

#include "service/PlainTextService.h"

namespace corvane {

namespace {

std::mutex EmbeddedMutex;
std::unique_ptr<TPlainTextService> Embedded[2];

} // namespace

TPlainTextEndpoints ResolvePlainTextEndpoints(const QStringList &Given, const QString &IniPath,
                                              QString *Error) {
    if (Given.size() == 2) return {Given[0], Given[1]};
    TPlainTextEndpoints ep;
    if (QFileInfo::exists(IniPath)) {
        const TSettingsFile ini(IniPath);
        ep.First = ini.Read(setting::PlainTextEndpoint1).trimmed();
        ep.Second = ini.Read(setting::PlainTextEndpoint2).trimmed();
        if (ep.First.isEmpty()) ep.First = ep.Second;
        if (ep.Second.isEmpty()) ep.Second = ep.First;
        if (!ep.First.isEmpty()) return ep;
    }
    std::lock_guard lock(EmbeddedMutex);
    for (auto &service : Embedded) {
        if (service && service->IsRunning()) continue;
        service = std::make_unique<TPlainTextService>();
        QString why;
        if (!service->Start(TPlainTextServiceOptions{}, &why)) {
            service.reset();
            if (Error)
                *Error = QStringLiteral("cannot start the embedded plain-text service: ") + why;
            return {};
        }
    }
    return {Embedded[0]->Url(), Embedded[1]->Url()};
}

void StopEmbeddedPlainTextServices() {
    std::lock_guard lock(EmbeddedMutex);
    for (auto &service : Embedded) service.reset();
}

} // namespace corvane
