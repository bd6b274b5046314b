// The program's folder: the settings file, the catalogs and the dialogs'
// initial folders hang off it.
#pragma once

#include <QString>

namespace corvane {

// The executable's folder with a trailing separator, fixed at the first call
// (or by SetAppDir).
QString AppDir();

// Points AppDir somewhere else (tests run the window in a temporary folder).
void SetAppDir(const QString &Dir);

} // namespace corvane
