// The dialogs of the user interface as tests answer them: every call is
// recorded, file dialogs are answered from preset queues.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "ui/common/dialogs.h"

namespace corvane::ui {

// Records every call and answers file dialogs from preset queues (cancel
// when a queue is empty). Installs itself for its lifetime.
class TestDialogs : public IDialogs {
public:
    enum class Kind { Message, Question, OpenFile, OpenFiles, SaveFile };
    struct Call {
        Kind kind;
        MessageIcon icon; // messages only
        QString text;     // message text, or the dialog caption
        QString dir;
        QString filter;
        QWidget *parent;
    };

    TestDialogs() { setDialogs(this); }
    ~TestDialogs() override { setDialogs(nullptr); }
    TestDialogs(const TestDialogs &) = delete;
    TestDialogs &operator=(const TestDialogs &) = delete;

    void message(QWidget *parent, MessageIcon icon, const QString &text) override {
        calls.append({Kind::Message, icon, text, {}, {}, parent});
    }
    bool question(QWidget *parent, const QString &text) override {
        calls.append({Kind::Question, MessageIcon::Information, text, {}, {}, parent});
        return nextAnswers.isEmpty() ? false : nextAnswers.takeFirst();
    }
    QString openFile(QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter) override {
        calls.append({Kind::OpenFile, MessageIcon::Information, caption, dir, filter, parent});
        return nextOpenFiles.isEmpty() ? QString() : nextOpenFiles.takeFirst();
    }
    QStringList openFiles(QWidget *parent, const QString &caption, const QString &dir,
                          const QString &filter) override {
        calls.append({Kind::OpenFiles, MessageIcon::Information, caption, dir, filter, parent});
        return nextOpenFileLists.isEmpty() ? QStringList() : nextOpenFileLists.takeFirst();
    }
    QString saveFile(QWidget *parent, const QString &caption, const QString &dir,
                     const QString &filter, QString *selectedFilter = nullptr) override {
        calls.append({Kind::SaveFile, MessageIcon::Information, caption, dir, filter, parent});
        // The file type chosen: the next answer, else the first of the list.
        const QString chosen = nextSaveFilters.isEmpty()
                                   ? filter.section(QStringLiteral(";;"), 0, 0)
                                   : nextSaveFilters.takeFirst();
        if (selectedFilter) *selectedFilter = chosen;
        return nextSaveFiles.isEmpty() ? QString() : nextSaveFiles.takeFirst();
    }

    // The texts of the message boxes shown so far, in order.
    QStringList messages() const {
        QStringList out;
        for (const Call &c : calls)
            if (c.kind == Kind::Message) out << c.text;
        return out;
    }

    QList<Call> calls;
    QList<bool> nextAnswers;              // answers of question (No when empty)
    QStringList nextOpenFiles;            // answers of openFile
    QList<QStringList> nextOpenFileLists; // answers of openFiles
    QStringList nextSaveFiles;            // answers of saveFile
    QStringList nextSaveFilters;          // the file types chosen in them
};

} // namespace corvane::ui
