#include "appdir.h"

#include <QCoreApplication>
#include <QDir>

namespace corvane {

namespace {
QString &Stored() {
    static QString Dir;
    return Dir;
}
} // namespace

QString AppDir() {
    QString &Dir = Stored();
    if (Dir.isEmpty()) SetAppDir(QCoreApplication::applicationDirPath());
    return Dir;
}

void SetAppDir(const QString &Dir) {
    QString D = QDir::cleanPath(Dir);
    if (!D.endsWith(u'/')) D += u'/';
    Stored() = D;
}

} // namespace corvane
