#include "ui/main/linklabel.h"

#include <QMouseEvent>

namespace corvane::ui {

TLinkLabel::TLinkLabel(const QString &Text, QWidget *Parent) : QLabel(Text, Parent) {
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    QPalette P = palette();
    P.setColor(QPalette::WindowText, palette().color(QPalette::Link));
    setPalette(P);
    QFont F = font();
    F.setUnderline(true);
    setFont(F);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent *E) {
    if (E->button() == Qt::LeftButton && rect().contains(E->position().toPoint())) emit LinkClick();
    QLabel::mouseReleaseEvent(E);
}

} // namespace corvane::ui
