// A plain-text label that looks and acts like a web link.
#pragma once

#include <QLabel>

namespace corvane::ui {

class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString &Text, QWidget *Parent = nullptr);

signals:
    void LinkClick();

protected:
    void mouseReleaseEvent(QMouseEvent *E) override;
};

} // namespace corvane::ui
