// The translation call: a Russian message id looked up in the catalog of the
// current interface language ("Corvane" domain); the id itself when none is loaded.
#pragma once

#include <QString>

namespace corvane {

inline constexpr const char *TextDomain = "Corvane";

QString _(const char *MsgId);

// Marks a message id for extraction without translating it here.
constexpr const char *N_(const char *MsgId) {
    return MsgId;
}

// Binds the "Corvane" domain to <LocaleDir>/<code>/LC_MESSAGES/Corvane.mo
// (LocaleDir is normally AppDir + "locale").
void BindCatalogDir(const QString &LocaleDir);

// Switches the catalog language at run time, whatever the process locale is.
// Without a catalog for the code (e.g. "ru", the language of the ids) the ids
// are shown; an empty code turns the lookup off.
void SetCatalogLanguage(const QString &Code);

// The code last passed to SetCatalogLanguage ("" before the first call).
QString CatalogLanguage();

} // namespace corvane
