// The commands of the URL page around the result list: the four imports, the
// context menu pmURLs with its items, and the report export. The window they
// live in is reached through TURLPageHost.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "engine/runcontroller.h"
#include "engine/typeslib.h"
#include "ui/compare/textdiff.h"

class QAction;
class QMenu;
class QWidget;

namespace corvane::ui {

class TURLListView;

// What the commands need of the window.
class TURLPageHost {
public:
    virtual ~TURLPageHost() = default;
    virtual TURLTaskInfoList *Tasks() const = 0;
    // The option "Не очищать URL при импорте".
    virtual bool ImportNoClear() const = 0;
    // A check runs (from its start until the last worker has reported).
    virtual bool CheckRunning() const = 0;
    // The list or all results changed: buttons, page caption, chart.
    virtual void RefreshAfterListChange() = 0;
    virtual void AddLogLine(const QString &Text) = 0;
    virtual void ShowProgress(int Maximum) = 0;
    virtual void SetProgress(int Position, int Maximum) = 0;
    virtual void HideProgress() = 0;
    // "Проверить выбранные URL" and "Проверить URL с ошибками".
    virtual void RunCheck(TRunVariant Variant, const QList<std::int32_t> &Nums) = 0;
    // The parent of message boxes and dialogs.
    virtual QWidget *DialogParent() = 0;
    // How the texts of the list were cut into shingles (the shared passages
    // of two pages are found the same way).
    virtual TShingleOptions ShingleOptions() const { return {}; }
};

class TURLPageCommands : public QObject {
    Q_OBJECT
public:
    TURLPageCommands(TURLPageHost &Host, TURLListView *View, QObject *Parent = nullptr);

    TURLListView *View() const { return vtURLs; }
    QMenu *Menu() const { return pmURLs; }

    // The imports.
    void btInsertURLs4ClipClick();
    void btImportURLs4TXTClick();
    void btImportURLs4XMLClick();
    void btImportFiles();
    // The export.
    void btExportClick();

    // The menu's own commands.
    void miDeleteURLClick();
    void miOpenInBrowserClick();
    void miExtracted2ClipboardClick();
    void miCheckSelectedClick();
    void miCheckWErrorsClick();
    void miCompareTextClick();
    void miSimil2OtherClick();

    // Availability of each item now (menu opening and shortcuts use it).
    struct TAvailability {
        bool Paste = false, CheckSelected = false, CheckErrors = false, Delete = false;
        bool Compare = false, Simil = false, Open = false, Copy = false;
    };
    TAvailability Availability() const;
    // pmURLsPopup: sets the items' states and shows the menu at a global position.
    void pmURLsPopup(const QPoint &GlobalPos);

    // The numbers of tasks whose results are not trOk, in list order.
    QList<std::int32_t> GetErrorNums() const;

    // Calls when the list itself changed (after a check, a language switch...).
    void ListReloaded();

private:
    QAction *AddItem(const char *Name, const char *Text, const QKeySequence &Key, const QIcon &Icon,
                     void (TURLPageCommands::*Handler)());
    // Runs Handler when its item is available now.
    void Guarded(bool Available, void (TURLPageCommands::*Handler)());
    // The common end of every import: rows shown, window refreshed, message and log line.
    void FinishImport(const QString &Message, bool Warning, bool LimitReached,
                      const QString &LogLine);
    void ImportStarted();
    int TaskCount() const;

    TURLPageHost &FHost;
    TURLListView *vtURLs;
    QMenu *pmURLs;
    QAction *miPaste4Clipboard = nullptr;
    QAction *miCheckSelected = nullptr;
    QAction *miCheckWErrors = nullptr;
    QAction *miDeleteURL = nullptr;
    QAction *miCompareText = nullptr;
    QAction *miSimil2Other = nullptr;
    QAction *miOpenInBrowser = nullptr;
    QAction *miExtracted2Clipboard = nullptr;
};

} // namespace corvane::ui
