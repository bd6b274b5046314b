// One copy of the program at a time: a lock file in the temporary folder.
#pragma once

#include <memory>

#include <QLockFile>
#include <QString>

namespace corvane::ui {

class TInstanceGuard {
public:
    // LockDir: where "CORVANE_INSTANCE.lock" lives (the temporary folder by default).
    explicit TInstanceGuard(const QString &LockDir = QString());
    // True when this process now owns the lock; a lock left by a dead process
    // is taken over.
    bool Acquire();

private:
    std::unique_ptr<QLockFile> FLock;
};

struct TSecondCopyBox {
    QString Title;
    QString Text;
};

// The box a second copy shows: Russian when the settings file's "lang" is
// exactly "ru" (also when the key or the file is missing), English otherwise.
TSecondCopyBox SecondCopyBox(const QString &IniFileName);

} // namespace corvane::ui
