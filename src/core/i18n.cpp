#include "i18n.h"

#include <libintl.h>

namespace corvane {

QString _(const char *MsgId) { return QString::fromUtf8(dgettext(TextDomain, MsgId)); }

} // namespace corvane
