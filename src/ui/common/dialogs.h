// The one seam of the user interface: message boxes and file dialogs go
// through IDialogs, so that tests can answer them without a modal loop.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace corvane::ui {

enum class MessageIcon { Warning, Error, Information };

class IDialogs {
public:
    virtual ~IDialogs() = default;

    // A modal message box with a single OK button.
    virtual void message(QWidget *parent, MessageIcon icon, const QString &text) = 0;
    void warning(QWidget *parent, const QString &text) {
        message(parent, MessageIcon::Warning, text);
    }
    void error(QWidget *parent, const QString &text) { message(parent, MessageIcon::Error, text); }
    void information(QWidget *parent, const QString &text) {
        message(parent, MessageIcon::Information, text);
    }

    // A question with Yes and No; true for Yes.
    virtual bool question(QWidget *parent, const QString &text) = 0;

    // File dialogs; an empty result means the user cancelled. dir may name a
    // file to pre-select; filter is in QFileDialog's form ("Text (*.txt);;All (*)").
    // saveFile's selectedFilter, when given, receives the file type chosen.
    virtual QString openFile(QWidget *parent, const QString &caption, const QString &dir,
                             const QString &filter) = 0;
    virtual QStringList openFiles(QWidget *parent, const QString &caption, const QString &dir,
                                  const QString &filter) = 0;
    // selectedFilter, when given, receives the file type the user chose.
    virtual QString saveFile(QWidget *parent, const QString &caption, const QString &dir,
                             const QString &filter, QString *selectedFilter = nullptr) = 0;
};

// The dialogs in use: the real ones unless a test installed others.
IDialogs &dialogs();
// Installs d (not owned); nullptr goes back to the real dialogs.
void setDialogs(IDialogs *d);

// QMessageBox and QFileDialog; message boxes are captioned with the
// application's display name.
class QtDialogs : public IDialogs {
public:
    void message(QWidget *parent, MessageIcon icon, const QString &text) override;
    bool question(QWidget *parent, const QString &text) override;
    QString openFile(QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter) override;
    QStringList openFiles(QWidget *parent, const QString &caption, const QString &dir,
                          const QString &filter) override;
    QString saveFile(QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter, QString *selectedFilter = nullptr) override;
};

} // namespace corvane::ui
