// Where the program's plain-text service lives: the two endpoint URLs of the
// settings file, or two services started in this process on loopback ports.
#pragma once

#include <QString>
#include <QStringList>

#include "core/plaintextclient.h"
#include "core/settings.h"

namespace corvane {

// The endpoints a check uses: the two Given (corvane-cli's --endpoint
// options), else the keys "plaintext-endpoint-1" and "plaintext-endpoint-2"
// of the settings file at IniPath (when only one is set it serves as both),
// else two services started on 127.0.0.1 in this process (once; later calls
// reuse them). Empty endpoints mean the embedded services could not start;
// Error then says why.
TPlainTextEndpoints ResolvePlainTextEndpoints(const QStringList &Given,
                                              const QString &IniPath = SettingsFilePath(),
                                              QString *Error = nullptr);
inline TPlainTextEndpoints ResolvePlainTextEndpoints(const QString &IniPath,
                                                     QString *Error = nullptr) {
    return ResolvePlainTextEndpoints(QStringList{}, IniPath, Error);
}

// Stops the embedded services, if any were started (also done at exit).
void StopEmbeddedPlainTextServices();

} // namespace corvane
