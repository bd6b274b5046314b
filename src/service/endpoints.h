// Where the program's plain-text service lives: the two endpoint URLs of the
// settings file, or two services started in this process on loopback ports.
#pragma once

#include <QString>

#include "core/appdir.h" // AppDir: the program's folder, with a trailing separator
#include "core/plaintextclient.h"

namespace corvane {

inline constexpr const char *SettingsFileName = "Corvane.ini";
inline constexpr const char *PlainTextEndpoint1Key = "plaintext-endpoint-1";
inline constexpr const char *PlainTextEndpoint2Key = "plaintext-endpoint-2";


// The keys "plaintext-endpoint-1" and "plaintext-endpoint-2" of the section
// "PARAMS" of IniPath. When only one is set it serves as both. When neither
// is set, two embedded services are started on 127.0.0.1 (once per process;
// later calls reuse them) and their URLs returned. Empty endpoints mean the
// embedded services could not start; Error then says why.
TPlainTextEndpoints ResolvePlainTextEndpoints(const QString &IniPath, QString *Error = nullptr);

// The same for the settings file beside the executable.
TPlainTextEndpoints ResolvePlainTextEndpoints(QString *Error = nullptr);

// Stops the embedded services, if any were started (also done at exit).
void StopEmbeddedPlainTextServices();

} // namespace corvane
