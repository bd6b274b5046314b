#include "service/endpoints.h"

#include <memory>
#include <mutex>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "core/inifile.h"
#include "service/PlainTextService.h"

namespace corvane {

namespace {

std::mutex EmbeddedMutex;
std::unique_ptr<TPlainTextService> Embedded[2];

QString ReadKey(const TIniFile &Ini, const char *Key) {
    return Ini.ReadString(QStringLiteral("PARAMS"), QLatin1StringView(Key), {}).trimmed();
}

} // namespace

TPlainTextEndpoints ResolvePlainTextEndpoints(const QString &IniPath, QString *Error) {
    TPlainTextEndpoints ep;
    // The window's own reader: section and key names in any letter case.
    if (QFileInfo::exists(IniPath)) {
        const TIniFile ini(IniPath);
        ep.First = ReadKey(ini, PlainTextEndpoint1Key);
        ep.Second = ReadKey(ini, PlainTextEndpoint2Key);
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

TPlainTextEndpoints ResolvePlainTextEndpoints(QString *Error) {
    return ResolvePlainTextEndpoints(AppDir() + QLatin1StringView(SettingsFileName), Error);
}

void StopEmbeddedPlainTextServices() {
    std::lock_guard lock(EmbeddedMutex);
    for (auto &service : Embedded) service.reset();
}

} // namespace corvane
