#include "ui/compare/wndtextsimil.h"

#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTextEdit>
#include <QVBoxLayout>

#include "core/format.h"
#include "core/i18n.h"
#include "core/shingles.h"
#include "ui/common/dialogs.h"
#include "ui/common/singlewindow.h"

namespace corvane::ui {

namespace {

// Captured at each opening from the settings page and used by every
// comparison until the next opening.
int CapturedShingleLength = 6;
bool CapturedIgnoreStopWords = true;

TfmShowTextSimil *Instance = nullptr;

constexpr int BarHeight = 38;
constexpr int ButtonWidth = 241, ButtonHeight = 25;
constexpr int ResultWidth = 391, ResultHeight = 25;

const char *const ResultFormat = N_("Тексты схожи на: %3.2f%%");

QTextEdit *makeEditor(QWidget *parent, const char *name) {
    auto *ed = new QTextEdit(parent);
    ed->setObjectName(QString::fromLatin1(name));
    ed->setAcceptRichText(true);
    // Long lines wrap at the pane's edge (pasted page text often is one line
    // per paragraph), so the horizontal bar only comes for what cannot wrap.
    ed->setLineWrapMode(QTextEdit::WidgetWidth);
    ed->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    ed->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    ed->setFont(font);
    return ed;
}

QGroupBox *wrap(QWidget *parent, QTextEdit *editor, const char *name) {
    auto *box = new QGroupBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(editor);
    return box;
}

// The pane's plain text with the line breaks the comparison expects.
QString paneText(const QTextEdit *editor) {
    QString text = editor->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

} // namespace

TfmShowTextSimil::TfmShowTextSimil(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmShowTextSimil"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setHandleWidth(5);
    splitter->setChildrenCollapsible(false);
    edText1 = makeEditor(this, "edText1");
    edText2 = makeEditor(this, "edText2");
    gbText1 = wrap(splitter, edText1, "gbText1");
    gbText2 = wrap(splitter, edText2, "gbText2");
    splitter->addWidget(gbText1);
    splitter->addWidget(gbText2);

    bottomBar = new QWidget(this);
    bottomBar->setObjectName(QStringLiteral("bottomBar"));
    bottomBar->setFixedHeight(BarHeight);
    btCalcSimil = new QPushButton(bottomBar);
    btCalcSimil->setObjectName(QStringLiteral("btCalcSimil"));
    btCalcSimil->resize(ButtonWidth, ButtonHeight);
    btCalcSimil->setAutoDefault(false);
    edSimilValue = new QLineEdit(bottomBar);
    edSimilValue->setObjectName(QStringLiteral("edSimilValue"));
    edSimilValue->resize(ResultWidth, ResultHeight);
    edSimilValue->setReadOnly(true);
    edSimilValue->setFrame(true);
    edSimilValue->setAlignment(Qt::AlignCenter);
    QFont bold = edSimilValue->font();
    bold.setBold(true);
    bold.setPixelSize(15);
    edSimilValue->setFont(bold);
    edSimilValue->setText(QStringLiteral("0%"));
    bottomBar->installEventFilter(this);
    splitter->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(splitter, 1);
    layout->addWidget(bottomBar);

    connect(btCalcSimil, &QPushButton::clicked, this, [this] { btCalcSimilClick(); });
    resize(1145, 658);
    retranslateUi();
}

TfmShowTextSimil *TfmShowTextSimil::instance(QWidget *parent) {
    return SingleWindow(Instance, parent);
}

void TfmShowTextSimil::Open(int ShingleLength, bool IgnoreStopWords, QWidget *parent) {
    TfmShowTextSimil *fm = instance(parent);
    fm->prepare(ShingleLength, IgnoreStopWords);
    fm->exec();
}

void TfmShowTextSimil::prepare(int ShingleLength, bool IgnoreStopWords) {
    retranslateUi();
    CapturedShingleLength = ShingleLength;
    CapturedIgnoreStopWords = IgnoreStopWords;
    edSimilValue->setText(FormatMsg(ResultFormat, {0.0}));
    // Both panes open at the start of their texts, whatever was typed last.
    for (QTextEdit *ed : {edText1, edText2}) {
        ed->moveCursor(QTextCursor::Start);
        ed->verticalScrollBar()->setValue(0);
        ed->horizontalScrollBar()->setValue(0);
    }
}

void TfmShowTextSimil::retranslateUi() {
    setWindowTitle(_("Сравнение текстов на схожесть"));
    gbText1->setTitle(_(" Текст #1 "));
    gbText2->setTitle(_(" Текст #2 "));
    btCalcSimil->setText(_("Сравнить"));
}

void TfmShowTextSimil::btCalcSimilClick() {
    edSimilValue->clear();
    QString text1 = paneText(edText1);
    NormalizeText(text1);
    if (text1.isEmpty()) {
        dialogs().warning(this, _("Текст #1 не имеет содержимого для сравнения"));
        return;
    }
    QString text2 = paneText(edText2);
    NormalizeText(text2);
    if (text2.isEmpty()) {
        dialogs().warning(this, _("Текст #2 не имеет содержимого для сравнения"));
        return;
    }
    const auto set1 = BuildShingles(text1, {}, CapturedShingleLength, CapturedIgnoreStopWords);
    const auto set2 = BuildShingles(text2, {}, CapturedShingleLength, CapturedIgnoreStopWords);
    edSimilValue->setText(FormatMsg(ResultFormat, {ShingleSimilarity(*set1, *set2)}));
}

bool TfmShowTextSimil::eventFilter(QObject *watched, QEvent *event) {
    // The bar and the panes get their new sizes one after the other, in an
    // order that depends on the resize; whichever comes last settles the split.
    if ((watched == bottomBar || watched == splitter) && event->type() == QEvent::Resize)
        placeBottomBar();
    return QDialog::eventFilter(watched, event);
}

void TfmShowTextSimil::placeBottomBar() {
    const int barWidth = bottomBar->width();
    const int top = (BarHeight - ButtonHeight) / 2;
    btCalcSimil->move(barWidth - btCalcSimil->width() - 5, top);
    edSimilValue->move(barWidth / 2 - edSimilValue->width() / 2, top);
    // The left pane gets half the window's outer width, the right one the rest.
    const int left = frameGeometry().width() / 2;
    const int right = std::max(0, splitter->width() - splitter->handleWidth() - left);
    splitter->setSizes({left, right});
}

} // namespace corvane::ui
