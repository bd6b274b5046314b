#include "core/i18n.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>

#include <libintl.h>

// GNU libintl keeps a cache of looked-up translations; bumping this counter
// tells it that the catalog choice changed (the gettext manual's recipe for
// switching the language of a running program).
extern "C" int _nl_msg_cat_cntr;

namespace corvane {

namespace {

QMutex LangLock;
QString CurrentLang;
bool TranslationOff = true; // no lookup until a catalog language is chosen: the ids are the texts

// glibc ignores LANGUAGE while LC_MESSAGES is "C"/"POSIX"; move to a UTF-8
// locale that exists everywhere so the catalog choice takes effect.
void EnsureMessagesLocale() {
    const char *cur = std::setlocale(LC_MESSAGES, nullptr);
    if (cur && std::strcmp(cur, "C") != 0 && std::strcmp(cur, "POSIX") != 0) return;
    if (std::setlocale(LC_MESSAGES, "C.UTF-8")) return;
    if (std::setlocale(LC_MESSAGES, "C.utf8")) return;
    std::setlocale(LC_MESSAGES, "en_US.UTF-8");
}

} // namespace

QString _(const char *MsgId) {
    {
        QMutexLocker Lock(&LangLock);
        if (TranslationOff) return QString::fromUtf8(MsgId);
    }
    return QString::fromUtf8(dgettext(TextDomain, MsgId));
}

void BindCatalogDir(const QString &LocaleDir) {
    QMutexLocker Lock(&LangLock);
    const QByteArray Dir = LocaleDir.toLocal8Bit();
    bindtextdomain(TextDomain, Dir.constData());
    bind_textdomain_codeset(TextDomain, "UTF-8");
    ++_nl_msg_cat_cntr;
}

void SetCatalogLanguage(const QString &Code) {
    QMutexLocker Lock(&LangLock);
    CurrentLang = Code;
    // "ru" ships no catalog, so its lookups give the ids back.
    TranslationOff = Code.isEmpty();
    if (!TranslationOff) {
        EnsureMessagesLocale();
        // LANGUAGE takes precedence over LC_MESSAGES in GNU gettext; the
        // two-letter fallback ("en_GB" -> "en") is libintl's own.
        setenv("LANGUAGE", Code.toLatin1().constData(), 1);
    }
    ++_nl_msg_cat_cntr;
}

QString CatalogLanguage() {
    QMutexLocker Lock(&LangLock);
    return CurrentLang;
}

} // namespace corvane
