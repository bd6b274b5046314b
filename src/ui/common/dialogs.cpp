#include "ui/common/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace corvane::ui {

namespace {

IDialogs *current = nullptr;

} // namespace

IDialogs &dialogs() {
    static QtDialogs real;
    return current ? *current : real;
}

void setDialogs(IDialogs *d) {
    current = d;
}

void QtDialogs::message(QWidget *parent, MessageIcon icon, const QString &text) {
    QMessageBox::Icon qicon = QMessageBox::Information;
    if (icon == MessageIcon::Warning)
        qicon = QMessageBox::Warning;
    else if (icon == MessageIcon::Error)
        qicon = QMessageBox::Critical;
    QMessageBox box(qicon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::question(QWidget *parent, const QString &text) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::openFile(QWidget *parent, const QString &caption, const QString &dir,
                            const QString &filter) {
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QStringList QtDialogs::openFiles(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) {
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
}

QString QtDialogs::saveFile(QWidget *parent, const QString &caption, const QString &dir,
                            const QString &filter, QString *selectedFilter) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter);
}

} // namespace corvane::ui
