#include "ui/common/desktop.h"

#include <QDesktopServices>
#include <QUrl>

#include "core/i18n.h"
#include "ui/common/dialogs.h"

namespace corvane::ui {

bool OpenWithDesktop(QWidget *Parent, const QUrl &Url) {
    if (QDesktopServices::openUrl(Url)) return true;
    // Without a browser (no xdg-open, no BROWSER) the desktop says nothing itself.
    const QString Shown = Url.isLocalFile() ? Url.toLocalFile() : Url.toString();
    QString Text = _("Не удалось открыть %s.\nПроверьте, что в системе есть браузер по умолчанию.");
    Text.replace(QLatin1String("%s"), Shown);
    dialogs().warning(Parent, Text);
    return false;
}

} // namespace corvane::ui
