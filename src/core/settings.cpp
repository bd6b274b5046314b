#include "core/settings.h"

#include "core/appdir.h"

namespace corvane {

QString SettingsFilePath() {
    return AppDir() + QLatin1StringView(SettingsFileName);
}

} // namespace corvane
