#include "ui/main/urlcommands.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

#include "core/appdir.h"
#include "core/i18n.h"
#include "engine/report.h"
#include "engine/urlimport.h"
#include "ui/common/desktop.h"
#include "ui/common/dialogs.h"
#include "ui/compare/textdiff.h"
#include "ui/compare/wndsimil2other.h"
#include "ui/main/urllist.h"

namespace corvane::ui {

namespace {

QIcon ThemeIcon(const char *Name, QStyle::StandardPixmap Fallback) {
    QIcon I = QIcon::fromTheme(QLatin1String(Name));
    return I.isNull() ? QApplication::style()->standardIcon(Fallback) : I;
}

bool ClipboardHasText() {
    const QMimeData *M = QGuiApplication::clipboard()->mimeData();
    return M && M->hasText();
}

// The task of a number: at its place when the numbering holds, else searched.
TURLTaskInfo *TaskOfNum(const TURLTaskInfoList &List, std::int32_t Num) {
    if (Num >= 1 && Num <= List.size() && List[Num - 1] && List[Num - 1]->Num == Num)
        return List[Num - 1];
    return List.GetByNum(Num);
}

} // namespace

TURLPageCommands::TURLPageCommands(TURLPageHost &Host, TURLListView *View, QObject *Parent)
    : QObject(Parent), FHost(Host), vtURLs(View), pmURLs(new QMenu(View)) {
    pmURLs->setObjectName(QStringLiteral("pmURLs"));
    using C = TURLPageCommands;
    miPaste4Clipboard = AddItem(
        "miPaste4Clipboard", N_("Вставить из буфера"), QKeySequence(Qt::CTRL | Qt::Key_V),
        ThemeIcon("edit-copy", QStyle::SP_FileDialogContentsView), &C::btInsertURLs4ClipClick);
    miCheckSelected = AddItem(
        "miCheckSelected", N_("Проверить выбранные URL"), QKeySequence(Qt::CTRL | Qt::Key_R),
        ThemeIcon("view-refresh", QStyle::SP_BrowserReload), &C::miCheckSelectedClick);
    miCheckWErrors =
        AddItem("miCheckWErrors", N_("Проверить URL с ошибками"), QKeySequence(),
                ThemeIcon("view-refresh", QStyle::SP_BrowserReload), &C::miCheckWErrorsClick);
    miDeleteURL = AddItem("miDeleteURL", N_("Удалить"), QKeySequence(Qt::Key_Delete),
                          ThemeIcon("edit-delete", QStyle::SP_TrashIcon), &C::miDeleteURLClick);
    pmURLs->addSeparator();
    miCompareText = AddItem(
        "miCompareText", N_("Сравнить cодержимое двух URL..."), QKeySequence(Qt::CTRL | Qt::Key_D),
        ThemeIcon("document-compare", QStyle::SP_FileDialogDetailedView), &C::miCompareTextClick);
    // Enter is shown as the item's key; it reaches the list as a key press
    // while the command is available (TURLListView::SetEnterWanted) and goes
    // on to the window's default button otherwise.
    miSimil2Other = AddItem("miSimil2Other", N_("Показать сходство содержимого с другими URL..."),
                            QKeySequence(), ThemeIcon("edit-find", QStyle::SP_FileDialogInfoView),
                            &C::miSimil2OtherClick);
    miSimil2Other->setShortcut(QKeySequence(Qt::Key_Enter));
    miSimil2Other->setShortcutContext(Qt::WidgetShortcut);
    pmURLs->addSeparator();
    miOpenInBrowser = AddItem(
        "miOpenInBrowser", N_("Открыть URL в браузере"), QKeySequence(Qt::CTRL | Qt::Key_B),
        ThemeIcon("internet-web-browser", QStyle::SP_DirOpenIcon), &C::miOpenInBrowserClick);
    miExtracted2Clipboard = AddItem(
        "miExtracted2Clipboard", N_("Сохранить содержимое в буфер обмена"),
        QKeySequence(Qt::CTRL | Qt::Key_C),
        ThemeIcon("edit-copy", QStyle::SP_FileDialogContentsView), &C::miExtracted2ClipboardClick);

    // Every item stays enabled outside the open menu, so that its shortcut
    // reaches the handler, which decides by the rule of the moment.
    connect(pmURLs, &QMenu::aboutToHide, this, [this] {
        for (QAction *A : pmURLs->actions()) A->setEnabled(true);
    });
    vtURLs->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(vtURLs, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &P) { pmURLsPopup(vtURLs->viewport()->mapToGlobal(P)); });
    connect(vtURLs, &TURLListView::InfoClicked, this, &TURLPageCommands::pmURLsPopup);
    connect(vtURLs, &TURLListView::RowDoubleClicked, this, &TURLPageCommands::miSimil2OtherClick);
    vtURLs->SetEnterWanted([this] { return Availability().Simil; });
    connect(vtURLs, &TURLListView::EnterPressed, this,
            [this] { Guarded(Availability().Simil, &TURLPageCommands::miSimil2OtherClick); });
}

QAction *TURLPageCommands::AddItem(const char *Name, const char *Text, const QKeySequence &Key,
                                   const QIcon &Icon, void (TURLPageCommands::*Handler)()) {
    auto *A = new QAction(Icon, QString::fromUtf8(Text), pmURLs);
    A->setObjectName(QLatin1String(Name));
    if (!Key.isEmpty()) {
        A->setShortcut(Key);
        A->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        vtURLs->addAction(A);
    }
    pmURLs->addAction(A);
    connect(A, &QAction::triggered, this, [this, A, Handler] {
        const TAvailability Now = Availability();
        const bool Available = A == miPaste4Clipboard ? Now.Paste
                               : A == miCheckSelected ? Now.CheckSelected
                               : A == miCheckWErrors  ? Now.CheckErrors
                               : A == miDeleteURL     ? Now.Delete
                               : A == miCompareText   ? Now.Compare
                               : A == miSimil2Other   ? Now.Simil
                               : A == miOpenInBrowser ? Now.Open
                                                      : Now.Copy;
        Guarded(Available, Handler);
    });
    return A;
}

void TURLPageCommands::Guarded(bool Available, void (TURLPageCommands::*Handler)()) {
    if (Available) (this->*Handler)();
}

int TURLPageCommands::TaskCount() const {
    const TURLTaskInfoList *L = FHost.Tasks();
    return L ? int(L->size()) : 0;
}

TURLPageCommands::TAvailability TURLPageCommands::Availability() const {
    TAvailability A;
    const bool Running = FHost.CheckRunning();
    const bool Any = TaskCount() > 0;
    A.Paste = !Running && ClipboardHasText();
    A.Delete = !Running && Any;
    A.CheckSelected = A.CheckErrors = A.Delete;
    A.Compare = A.Open = A.Copy = Any;
    const TURLTaskInfo *F = vtURLs->FocusedTask();
    A.Simil = A.Delete && F && F->TaskResults;
    return A;
}

void TURLPageCommands::pmURLsPopup(const QPoint &GlobalPos) {
    const TAvailability A = Availability();
    miPaste4Clipboard->setEnabled(A.Paste);
    miCheckSelected->setEnabled(A.CheckSelected);
    miCheckWErrors->setEnabled(A.CheckErrors);
    miDeleteURL->setEnabled(A.Delete);
    miCompareText->setEnabled(A.Compare);
    miSimil2Other->setEnabled(A.Simil);
    miOpenInBrowser->setEnabled(A.Open);
    miExtracted2Clipboard->setEnabled(A.Copy);
    pmURLs->popup(GlobalPos);
}

QList<std::int32_t> TURLPageCommands::GetErrorNums() const {
    return FHost.Tasks() ? TRunController::ErrorNums(*FHost.Tasks()) : QList<std::int32_t>();
}

void TURLPageCommands::ListReloaded() {
    vtURLs->ListModel()->Reload();
}

// ---- imports ----------------------------------------------------------------

void TURLPageCommands::ImportStarted() {
    // Kept tasks stay where the user sees them, selected as they were.
    const bool Keep = FHost.ImportNoClear();
    vtURLs->BeginListChange(Keep, Keep);
}

void TURLPageCommands::FinishImport(const QString &Message, bool Warning, bool LimitReached,
                                    const QString &LogLine) {
    vtURLs->EndListChange();
    FHost.RefreshAfterListChange();
    QWidget *P = FHost.DialogParent();
    if (LimitReached) ui::dialogs().information(P, URLLimitMessage());
    if (!Message.isEmpty()) {
        if (Warning)
            ui::dialogs().warning(P, Message);
        else
            ui::dialogs().error(P, Message);
    }
    if (!LogLine.isEmpty()) FHost.AddLogLine(LogLine);
}

void TURLPageCommands::btInsertURLs4ClipClick() {
    if (FHost.CheckRunning() || !FHost.Tasks() || !ClipboardHasText()) return;
    const QString Text = QGuiApplication::clipboard()->text();
    ImportStarted();
    const TImportOutcome O = ImportClipboardText(*FHost.Tasks(), Text, FHost.ImportNoClear());
    FinishImport(QString(), false, O.LimitReached, O.LogLine);
}

void TURLPageCommands::btImportURLs4TXTClick() {
    if (FHost.CheckRunning() || !FHost.Tasks()) return;
    QWidget *P = FHost.DialogParent();
    const QString Path =
        ui::dialogs().openFile(P, _("Укажите текстовый файл для импорта URL"), AppDir(),
                               _("Текстовые файлы") + QStringLiteral(" (*.txt)"));
    if (Path.isEmpty()) return;
    if (!QFileInfo(Path).isFile()) {
        ui::dialogs().warning(P, _("Файл с данными для импорта не найден!"));
        return;
    }
    ImportStarted();
    const TImportOutcome O = ImportTextFile(*FHost.Tasks(), Path, FHost.ImportNoClear());
    // A file that vanished in between is reported like a missing one.
    FinishImport(O.Message, O.Status == isNotFound, O.LimitReached, O.LogLine);
    if (!O.Notice.isEmpty()) ui::dialogs().information(P, O.Notice);
}

void TURLPageCommands::btImportURLs4XMLClick() {
    if (FHost.CheckRunning() || !FHost.Tasks()) return;
    QWidget *P = FHost.DialogParent();
    const QString Path =
        ui::dialogs().openFile(P, _("Укажите файл sitemap.xml для импорта URL"), AppDir(),
                               _("Файл sitemap.xml") + QStringLiteral(" (sitemap.xml)"));
    if (Path.isEmpty()) return;
    ImportStarted();
    bool Shown = false;
    int Reported = 0;
    const TImportOutcome O =
        ImportSitemap(*FHost.Tasks(), Path, FHost.ImportNoClear(), [&](int Pos, int Max) {
            if (!Shown) {
                FHost.ShowProgress(Max);
                Shown = true;
            }
            // The strip moves in steps of at most 1/200, not once per address.
            if (Pos == 0 || Pos == Max || Pos - Reported >= std::max(1, Max / 200)) {
                FHost.SetProgress(Pos, Max);
                Reported = Pos;
            }
        });
    if (Shown) FHost.HideProgress();
    FinishImport(O.Message, true, O.LimitReached, O.LogLine);
    if (!O.Notice.isEmpty()) ui::dialogs().information(P, O.Notice);
}

void TURLPageCommands::btImportFiles() {
    if (FHost.CheckRunning() || !FHost.Tasks()) return;
    const QStringList Paths =
        ui::dialogs().openFiles(FHost.DialogParent(), QString(), QString(),
                                QStringLiteral("HTML,TXT (*.htm *.html *.txt);;All (*)"));
    if (Paths.isEmpty()) return;
    ImportStarted();
    const TImportOutcome O = ImportLocalFiles(*FHost.Tasks(), Paths, FHost.ImportNoClear());
    FinishImport(QString(), false, O.LimitReached, O.LogLine);
}

// ---- export -----------------------------------------------------------------

void TURLPageCommands::btExportClick() {
    if (!FHost.Tasks()) return;
    QWidget *P = FHost.DialogParent();
    // The report's own columns, or those and what the site analysis adds.
    const QString Plain = QStringLiteral("Excel (*.csv)");
    const QString Extra = _("Excel, с дополнительными столбцами (*.csv)");
    QString Chosen;
    QString Path = ui::dialogs().saveFile(P, _("Укажите файл для экспорта"),
                                          AppDir() + QLatin1String(DefaultReportName),
                                          Plain + QStringLiteral(";;") + Extra, &Chosen);
    if (Path.isEmpty()) return;
    if (QFileInfo(Path).suffix().isEmpty()) Path += QStringLiteral(".csv");
    const QList<TURLTaskInfo *> &Shown = vtURLs->ListModel()->Rows();
    const QList<const TURLTaskInfo *> Rows(Shown.begin(), Shown.end());
    QString Error;
    if (!WriteReport(Path, Rows, Error, Chosen == Extra)) ui::dialogs().error(P, Error);
}

// ---- the menu's commands ----------------------------------------------------

void TURLPageCommands::miDeleteURLClick() {
    TURLTaskInfoList *L = FHost.Tasks();
    if (!L || FHost.CheckRunning()) return;
    TURLListModel *M = vtURLs->ListModel();
    const QList<std::int32_t> Nums = vtURLs->GetSelectedNums();
    const QSet<std::int32_t> Gone(Nums.begin(), Nums.end());

    // The row to select afterwards: the one after the last removed row, or
    // the last row when there is none after it.
    const QList<TURLTaskInfo *> &Rows = M->Rows();
    int LastRemoved = -1;
    for (int i = 0; i < Rows.size(); ++i)
        if (Gone.contains(Rows[i]->Num)) LastRemoved = i;
    const TURLTaskInfo *Next = nullptr;
    for (int i = LastRemoved + 1; LastRemoved >= 0 && i < Rows.size() && !Next; ++i)
        if (!Gone.contains(Rows[i]->Num)) Next = Rows[i];
    if (!Next)
        for (int i = int(Rows.size()) - 1; i >= 0 && !Next; --i)
            if (!Gone.contains(Rows[i]->Num)) Next = Rows[i];

    vtURLs->BeginListChange(true, false);
    L->FreeResults();
    TURLTaskInfoList Kept;
    Kept.reserve(L->size());
    for (TURLTaskInfo *T : *L) {
        if (T && Gone.contains(T->Num))
            delete T;
        else if (T)
            Kept.append(T);
    }
    L->swap(Kept);
    for (int i = 0; i < L->size(); ++i) (*L)[i]->Num = i + 1;
    vtURLs->EndListChange();
    vtURLs->SelectTask(Next);
    FHost.RefreshAfterListChange();
}

void TURLPageCommands::miOpenInBrowserClick() {
    const TURLTaskInfoList *L = FHost.Tasks();
    if (!L) return;
    for (std::int32_t Num : vtURLs->GetSelectedNums()) {
        const TURLTaskInfo *T = TaskOfNum(*L, Num);
        if (!T) continue;
        static const QString FilePrefix = QStringLiteral("file://");
        // A local file by its path, so that "#" or "%" in a name stay part of it.
        const QUrl Url = T->URL.startsWith(FilePrefix, Qt::CaseInsensitive)
                             ? QUrl::fromLocalFile(T->URL.mid(FilePrefix.size()))
                             : QUrl(T->URL, QUrl::TolerantMode);
        // Without a browser the others would fail too: one message is enough.
        if (!ui::OpenWithDesktop(FHost.DialogParent(), Url)) return;
    }
}

void TURLPageCommands::miExtracted2ClipboardClick() {
    const TURLTaskInfoList *L = FHost.Tasks();
    if (!L) return;
    const QList<std::int32_t> Nums = vtURLs->GetSelectedNums();
    if (Nums.isEmpty()) return;
    if (Nums.size() > 1) {
        ui::dialogs().warning(FHost.DialogParent(), _("Должен быть выбран один URL"));
        return;
    }
    const TURLTaskInfo *T = TaskOfNum(*L, Nums.first());
    if (!T || !T->TaskResults) return;
    if (T->TaskResults->ExtractedText.isEmpty()) {
        if (T->TaskResults->TaskResult != trOk) {
            QString Text =
                _("У выбранного URL нет содержимого: его проверка закончилась ошибкой (%s)");
            Text.replace(QLatin1String("%s"), T->TaskResults->ErrorText());
            ui::dialogs().error(FHost.DialogParent(), Text);
        } else {
            ui::dialogs().information(FHost.DialogParent(),
                                      _("Страница выбранного URL не содержит текста"));
        }
        return;
    }
    QGuiApplication::clipboard()->setText(T->TaskResults->ExtractedText);
}

void TURLPageCommands::miCheckSelectedClick() {
    if (FHost.CheckRunning()) return;
    FHost.RunCheck(rvSelected, vtURLs->GetSelectedNums());
}

void TURLPageCommands::miCheckWErrorsClick() {
    if (FHost.CheckRunning()) return;
    FHost.RunCheck(rvErrors, GetErrorNums());
}

void TURLPageCommands::miCompareTextClick() {
    const TURLTaskInfoList *L = FHost.Tasks();
    if (!L) return;
    const QList<std::int32_t> Nums = vtURLs->GetSelectedNums();
    QList<ui::TDiffCandidate> Selected;
    for (std::int32_t Num : Nums) {
        const TURLTaskInfo *T = TaskOfNum(*L, Num);
        ui::TDiffCandidate C;
        if (T) {
            C.URL = T->URL;
            if (T->TaskResults) {
                C.HasResult = true;
                C.ErrorCode = T->TaskResults->ErrorCode;
                C.ExtractedText = T->TaskResults->ExtractedText;
            }
        }
        Selected.append(C);
    }
    double Similarity = 0;
    if (Nums.size() == 2)
        if (const TURLTaskInfo *First = TaskOfNum(*L, Nums[0]); First && First->TaskResults)
            Similarity = First->TaskResults->GetSimilarity(Nums[1]);
    ui::CompareTwoURLs(Selected, Similarity, FHost.DialogParent(), FHost.ShingleOptions());
}

void TURLPageCommands::miSimil2OtherClick() {
    const TURLTaskInfoList *L = FHost.Tasks();
    const TURLTaskInfo *Source = vtURLs->FocusedTask();
    if (!L || !Source || !Source->TaskResults || Source->TaskResults->TaskResult != trOk) return;
    QList<ui::TSimilEntry> Entries;
    const std::vector<TURLSimilRec> Simil = Source->TaskResults->SimilArray.ToVector();
    Entries.reserve(qsizetype(Simil.size()));
    for (const TURLSimilRec &R : Simil) {
        ui::TSimilEntry E;
        E.Num = R.Num;
        E.Similarity = R.Similarity;
        if (const TURLTaskInfo *T = R.Num > 0 ? TaskOfNum(*L, R.Num) : nullptr) {
            E.Found = true;
            E.CheckedOk = T->TaskResults && T->TaskResults->TaskResult == trOk;
            E.URL = T->URL;
            if (T->TaskResults) {
                E.ExtractedText = T->TaskResults->ExtractedText;
                E.SameGroup = Source->TaskResults->Group > 0 &&
                              T->TaskResults->Group == Source->TaskResults->Group;
            }
        }
        Entries.append(E);
    }
    ui::TfmSimil2Other::Open(Source->URL, Source->TaskResults->ExtractedText, Entries,
                             FHost.DialogParent());
}

} // namespace corvane::ui
