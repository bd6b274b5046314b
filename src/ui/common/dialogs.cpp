#include "dialogs.h"

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

QString QtDialogs::openFile(QWidget *parent, const QString &caption, const QString &dir,
                            const QString &filter) {
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QStringList QtDialogs::openFiles(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) {
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
}

QString QtDialogs::saveFile(QWidget *parent, const QString &caption, const QString &dir,
                            const QString &filter) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

void TestDialogs::message(QWidget *parent, MessageIcon icon, const QString &text) {
    calls.append({Kind::Message, icon, text, {}, {}, parent});
}

QString TestDialogs::openFile(QWidget *parent, const QString &caption, const QString &dir,
                              const QString &filter) {
    calls.append({Kind::OpenFile, MessageIcon::Information, caption, dir, filter, parent});
    return nextOpenFiles.isEmpty() ? QString() : nextOpenFiles.takeFirst();
}

QStringList TestDialogs::openFiles(QWidget *parent, const QString &caption, const QString &dir,
                                   const QString &filter) {
    calls.append({Kind::OpenFiles, MessageIcon::Information, caption, dir, filter, parent});
    return nextOpenFileLists.isEmpty() ? QStringList() : nextOpenFileLists.takeFirst();
}

QString TestDialogs::saveFile(QWidget *parent, const QString &caption, const QString &dir,
                              const QString &filter) {
    calls.append({Kind::SaveFile, MessageIcon::Information, caption, dir, filter, parent});
    return nextSaveFiles.isEmpty() ? QString() : nextSaveFiles.takeFirst();
}

QStringList TestDialogs::messages() const {
    QStringList out;
    for (const Call &c : calls)
        if (c.kind == Kind::Message) out << c.text;
    return out;
}

} // namespace corvane::ui
