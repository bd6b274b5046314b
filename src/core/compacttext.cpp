#include "core/compacttext.h"

namespace corvane {

void TCompactText::Set(const QString &Text) {
    FLength = Text.size();
    FData = Text.toUtf8();
    FCompressed = FData.size() > CompressAbove;
    // The fastest level: most of the gain at a fraction of the time.
    if (FCompressed) FData = qCompress(FData, 1);
}

QByteArray TCompactText::Utf8() const {
    return FCompressed ? qUncompress(FData) : FData;
}

QString TCompactText::Text() const {
    return QString::fromUtf8(FCompressed ? qUncompress(FData) : FData);
}

} // namespace corvane
