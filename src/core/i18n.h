// The translation call: a Russian message id looked up in the catalog of the
// current interface language ("Corvane" domain); the id itself when none is loaded.
#pragma once

#include <QString>

namespace corvane {

inline constexpr const char *TextDomain = "Corvane";

QString _(const char *MsgId);

// Marks a message id for extraction without translating it here.
constexpr const char *N_(const char *MsgId) { return MsgId; }

} // namespace corvane
