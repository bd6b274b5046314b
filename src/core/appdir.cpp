#include "core/appdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace corvane {

namespace {
QString &Stored() {
    static QString Dir;
    return Dir;
}
} // namespace

QString AppDir() {
    QString &Dir = Stored();
    if (Dir.isEmpty()) {
        // Command-line programs may run without an application object.
        SetAppDir(
            QCoreApplication::instance()
                ? QCoreApplication::applicationDirPath()
                : QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath());
    }
    return Dir;
}

void SetAppDir(const QString &Dir) {
    QString D = QDir::cleanPath(Dir);
    if (!D.endsWith(u'/')) D += u'/';
    Stored() = D;
}

} // namespace corvane
