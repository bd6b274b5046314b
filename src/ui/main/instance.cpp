#include "ui/main/instance.h"

#include <QDir>

#include "core/settings.h"

namespace corvane::ui {

TInstanceGuard::TInstanceGuard(const QString &LockDir) {
    const QString Dir = LockDir.isEmpty() ? QDir::tempPath() : LockDir;
    FLock =
        std::make_unique<QLockFile>(QDir(Dir).filePath(QStringLiteral("CORVANE_INSTANCE.lock")));
    // The lock is held for the program's whole life: never treat it as stale
    // by age, only when its owner is gone (QLockFile checks the process id).
    FLock->setStaleLockTime(0);
}

bool TInstanceGuard::Acquire() {
    if (FLock->tryLock(0)) return true;
    if (FLock->error() == QLockFile::LockFailedError) {
        // tryLock already removes a lock whose process is gone; one more
        // attempt covers a removal that raced with ours.
        FLock->removeStaleLockFile();
        return FLock->tryLock(0);
    }
    return false;
}

TSecondCopyBox SecondCopyBox(const QString &IniFileName) {
    // A second copy reads only the language, Russian when the key is missing.
    const QString Lang =
        TIniFile(IniFileName)
            .ReadString(QLatin1StringView(SettingsSection), QLatin1StringView(setting::Lang.Name),
                        QStringLiteral("ru"));
    if (Lang == QLatin1String("ru"))
        return {QStringLiteral("Предупреждение"), QStringLiteral("Программа уже запущена")};
    return {QStringLiteral("Warning"), QStringLiteral("Program already started!")};
}

} // namespace corvane::ui
