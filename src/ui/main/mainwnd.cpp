#include "ui/main/mainwnd.h"

#include <algorithm>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "core/appdir.h"
#include "core/format.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "engine/duplicates.h"
#include "engine/sitetemplate.h"
#include "engine/urlimport.h"
#include "engine/worker.h"
#include "service/endpoints.h"
#include "ui/common/desktop.h"
#include "ui/common/dialogs.h"
#include "ui/compare/wndtextsimil.h"
#include "ui/main/chart.h"
#include "ui/main/crawldialog.h"
#include "ui/main/history.h"
#include "ui/main/linklabel.h"
#include "ui/main/newsfetch.h"
#include "ui/main/urlcommands.h"
#include "ui/main/urllist.h"
#include "ui/main/wndtranslate.h"

// The icon lives in the static library's resources, which need an explicit start.
static void InitResources() {
    Q_INIT_RESOURCE(corvane);
}

namespace corvane::ui {

const TUserAgent UserAgents[UserAgentCount] = {
    {"Corvane", CorvaneUserAgent},
    {"YandexBot", "Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)"},
    {"YandexImages", "Mozilla/5.0 (compatible; YandexImages/3.0; +http://yandex.com/bots)"},
    {"GoogleBot", "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)"},
    {"Googlebot-Image",
     "Mozilla/5.0 (compatible; Googlebot-Image/1.0; +http://www.google.com/bot.html)"},
    {"Googlebot-Mobile",
     "Mozilla/5.0 (compatible; Googlebot-Mobile/2.1; +http://www.google.com/bot.html)"},
    {"BingBot", "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)"},
    {"Yahoo! Slurp",
     "Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)"},
    {"Chrome", "Mozilla/5.0 (Windows NT 5.1) AppleWebKit/535.1 (KHTML, like Gecko) "
               "Chrome/14.0.815.0 Safari/535.1"},
    {"Firefox", "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:6.0a2) Gecko/20110613 Firefox/6.0a2"},
    {"IE8", "Mozilla/5.0 (compatible; MSIE 8.0; Windows NT 5.2; Trident/4.0; Media Center PC "
            "4.0; SLCC1; .NET CLR 3.0.04320)"},
    {"IE10", "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; Trident/6.0)"},
    {"IE11", "Mozilla/5.0 (Windows NT 6.3; Trident/7.0; rv:11.0) like Gecko"},
    {"iPhone", "Mozilla/5.0 (iPhone; CPU iPhone OS 5_0_1 like Mac OS X) AppleWebKit/534.46 "
               "(KHTML, like Gecko) Mobile/9A405"},
    {"Android", "Mozilla/5.0 (Linux; U; Android 2.2; en-us; Nexus One Build/FRF91) "
                "AppleWebKit/533.1 (KHTML, like Gecko) Version/4.0 Mobile Safari/533.1"},
    {"Microsoft Edge", "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, "
                       "like Gecko) Chrome/42.0.2311.135 Safari/537.36 Edge/12.246"},
    {"Персональные настройки", "CustomBot/1.0"},
};

const TAppLanguage AppLanguages[AppLanguageCount] = {
    {"Русский", "ru", 1049},
    {"English", "en", 0},
};

QString ProductHomeUrl(bool Russian) {
    return Russian ? QStringLiteral("https://www.corvane.example/")
                   : QStringLiteral("https://www.corvane.example/en/");
}
QString ProductNewsUrl(bool Russian) {
    return Russian ? QStringLiteral("https://www.corvane.example/news/")
                   : QStringLiteral("https://www.corvane.example/en/news/");
}
QString MakerUrl() {
    return QStringLiteral("https://www.corvane.example/team/");
}

unsigned SystemLocaleId() {
    // Only "Russian or not" matters to the language rule; 1033 stands for any other.
    return QLocale::system().language() == QLocale::Russian ? 1049u : 1033u;
}

QString ReleaseNotes(const QString &Code) {
    QFile F(AppDir() + QStringLiteral("NEWS"));
    if (!F.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    struct TSection {
        QString Code;
        QStringList Lines;
    };
    QList<TSection> Sections;
    for (const QString &L : QString::fromUtf8(F.readAll()).split(u'\n')) {
        const QString T = L.trimmed();
        if (T.size() > 2 && T.startsWith(u'[') && T.endsWith(u']') && !T.contains(u' ')) {
            Sections.append({T.mid(1, T.size() - 2), {}});
            continue;
        }
        if (Sections.isEmpty()) Sections.append(TSection{}); // text before the first section
        Sections.last().Lines << L;
    }
    const TSection *Pick = nullptr;
    for (const TSection &S : Sections)
        if (!Pick && !S.Code.isEmpty() && S.Code.compare(Code, Qt::CaseInsensitive) == 0) Pick = &S;
    for (const TSection &S : Sections)
        if (!Pick && !S.Code.isEmpty()) Pick = &S;
    if (!Pick && !Sections.isEmpty()) Pick = &Sections.first();
    return Pick ? Pick->Lines.join(u'\n').trimmed() : QString();
}

namespace {

// A day count holds the local wall-clock time: count on a clock without
// offsets (UTC), then read the same date and time as local time.
QDateTime ToQDateTime(TDateTime T) {
    const QDateTime U =
        QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC).addMSecs(DateTimeToMs(T));
    return QDateTime(U.date(), U.time());
}

QPushButton *ColumnButton(QWidget *Column, const char *Name, const char *Text, int Top) {
    auto *B = new QPushButton(QString::fromUtf8(Text), Column);
    B->setObjectName(QLatin1String(Name));
    B->setGeometry(10, Top, 158, 25);
    return B;
}

// A number field: text that is not a whole number stands for the minimum;
// out-of-range values go to the nearest bound (QSpinBox's correction).
class TNumberEdit : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    void fixup(QString &Input) const override {
        bool Ok = false;
        Input.trimmed().toInt(&Ok);
        if (!Ok)
            Input = QString::number(minimum());
        else
            QSpinBox::fixup(Input);
    }
};

} // namespace

TfmMain::TfmMain(QWidget *Parent) : QMainWindow(Parent) {
    InitResources();
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(QStringLiteral("Corvane"));
    setWindowIcon(QIcon(QStringLiteral(":/corvane/corvane.svg")));
    setToolTipDuration(-1);

    pcPages = new QTabWidget(this);
    pcPages->setObjectName(QStringLiteral("pcPages"));
    setCentralWidget(pcPages);
    BuildURLPage();
    BuildOptionsPage();
    connect(pcPages, &QTabWidget::currentChanged, this, &TfmMain::pcPagesChange);

    resize(985, 750);
    if (const QScreen *S = QGuiApplication::primaryScreen()) {
        const QRect A = S->availableGeometry();
        move(A.center() - QPoint(985 / 2, 750 / 2));
    }
    FormCreate();
}

TfmMain::~TfmMain() {
    if (!FClosed) FormClose();
}

void TfmMain::BuildURLPage() {
    tsURLs = new QWidget;
    tsURLs->setObjectName(QStringLiteral("tsURLs"));
    pcPages->addTab(tsURLs, QString::fromUtf8(N_(" Список URL ")));

    auto *Row = new QHBoxLayout(tsURLs);
    Row->setContentsMargins(4, 4, 0, 4);
    Row->setSpacing(0);

    // Left: list, progress strip, splitter, bottom tabs.
    auto *Left = new QWidget;
    auto *LeftBox = new QVBoxLayout(Left);
    LeftBox->setContentsMargins(0, 0, 0, 0);
    LeftBox->setSpacing(0);
    spBottom = new QSplitter(Qt::Vertical);
    spBottom->setObjectName(QStringLiteral("spBottom"));
    spBottom->setChildrenCollapsible(false);

    auto *Top = new QWidget;
    auto *TopBox = new QVBoxLayout(Top);
    TopBox->setContentsMargins(0, 0, 0, 0);
    TopBox->setSpacing(0);
    vtURLs = new TURLListView;
    TopBox->addWidget(vtURLs, 1);
    connect(vtURLs, &TURLListView::HiddenColumnsChanged, this,
            [this] { SetChanged(QStringLiteral("hidden-columns")); });

    pProgress = new QWidget;
    pProgress->setObjectName(QStringLiteral("pProgress"));
    pProgress->setFixedHeight(16);
    auto *PBox = new QHBoxLayout(pProgress);
    PBox->setContentsMargins(0, 1, 0, 1);
    ProgressBar = new QProgressBar;
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    PBox->addWidget(ProgressBar);
    pProgress->hide();
    TopBox->addWidget(pProgress);
    spBottom->addWidget(Top);

    pcBottom = new QTabWidget;
    pcBottom->setObjectName(QStringLiteral("pcBottom"));
    tsNews = new QWidget;
    tsNews->setObjectName(QStringLiteral("tsNews"));
    auto *NewsBox = new QVBoxLayout(tsNews);
    NewsBox->setContentsMargins(0, 0, 0, 0);
    NewsBrowser = new QTextBrowser;
    NewsBrowser->setObjectName(QStringLiteral("NewsBrowser"));
    NewsBrowser->setOpenExternalLinks(true);
    NewsBrowser->setFrameShape(QFrame::NoFrame);
    MarkNoTranslate(NewsBrowser);
    NewsBox->addWidget(NewsBrowser);
    pcBottom->addTab(tsNews, QString::fromUtf8(N_(" Новости ")));

    tsLog = new QWidget;
    tsLog->setObjectName(QStringLiteral("tsLog"));
    auto *LogBox = new QVBoxLayout(tsLog);
    LogBox->setContentsMargins(0, 0, 0, 0);
    lvLog = new QTableWidget(0, 2);
    lvLog->setObjectName(QStringLiteral("lvLog"));
    lvLog->setHorizontalHeaderLabels(
        {QString::fromUtf8(N_("Время")), QString::fromUtf8(N_("Событие"))});
    lvLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvLog->setShowGrid(true);
    lvLog->verticalHeader()->hide();
    lvLog->verticalHeader()->setDefaultSectionSize(lvLog->fontMetrics().height() + 4);
    lvLog->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lvLog->setColumnWidth(0, 80);
    lvLog->setColumnWidth(1, 600);
    lvLog->horizontalHeader()->setStretchLastSection(true);
    lvLog->setFrameShape(QFrame::NoFrame);
    LogBox->addWidget(lvLog);
    pcBottom->addTab(tsLog, QString::fromUtf8(N_(" Журнал ")));
    tsHistory = new THistoryPage;
    tsHistory->OnOpen = [this](std::int64_t Id) { OpenStoredCheck(Id); };
    tsHistory->OnCompare = [this](std::int64_t Id) { CompareWithStoredCheck(Id); };
    pcBottom->addTab(tsHistory, QString::fromUtf8(N_(" История ")));
    spBottom->addWidget(pcBottom);
    spBottom->setStretchFactor(0, 1);
    spBottom->setStretchFactor(1, 0);
    spBottom->setSizes({500, 160});
    LeftBox->addWidget(spBottom);
    Row->addWidget(Left, 1);

    // Right: the button column with the chart below the buttons.
    pButtons = new QWidget;
    pButtons->setObjectName(QStringLiteral("pButtons"));
    pButtons->setFixedWidth(178);
    btInsertURLs4Clip = ColumnButton(pButtons, "btInsertURLs4Clip", N_("Вставить из буфера"), 3);
    btImportURLs4TXT = ColumnButton(pButtons, "btImportURLs4TXT", N_("Импорт URL из txt..."), 34);
    btImportURLs4XML = ColumnButton(pButtons, "btImportURLs4XML", N_("Импорт URL из xml..."), 65);
    btImportFiles = ColumnButton(pButtons, "btImportFiles", N_("Импорт из файлов..."), 96);
    btCrawlSite = ColumnButton(pButtons, "btCrawlSite", N_("Сканировать сайт..."), 127);
    // The crawl took a step of the column: what follows moves down by one.
    btRunRequests = ColumnButton(pButtons, "btRunRequests", N_("Проверить URL"), 169);
    btAbortRequests = ColumnButton(pButtons, "btAbortRequests", N_("Отмена"), 200);
    btExport = ColumnButton(pButtons, "btExport", N_("Экспорт..."), 241);
    btRunRequests->setDefault(true);
    btRunRequests->setEnabled(false);
    btAbortRequests->setEnabled(false);
    // Escape presses "Отмена" (the window's cancel button) wherever the focus is.
    auto *Escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(Escape, &QShortcut::activated, this, [this] {
        if (btAbortRequests->isEnabled()) btAbortRequests->click();
    });
    // Enter presses "Проверить URL" (the window's default button) on the URL page.
    for (int Key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto *Enter = new QShortcut(QKeySequence(Key), tsURLs, nullptr, nullptr,
                                    Qt::WidgetWithChildrenShortcut);
        connect(Enter, &QShortcut::activated, this, [this] {
            if (btRunRequests->isEnabled()) btRunRequests->click();
        });
    }
    btExport->setEnabled(false);
    crtURLScore = new TScoreChart(pButtons);
    crtURLScore->setObjectName(QStringLiteral("crtURLScore"));
    crtURLScore->setGeometry(10, 285, 158, 255);
    // The window never gets so low that the chart is cut.
    pButtons->setMinimumHeight(crtURLScore->geometry().bottom() + 1 + 3);
    MarkNoTranslate(crtURLScore);
    Row->addWidget(pButtons);

    connect(btRunRequests, &QPushButton::clicked, this, &TfmMain::btRunRequestsClick);
    connect(btAbortRequests, &QPushButton::clicked, this, &TfmMain::btAbortRequestsClick);

    // The imports, the list's menu and the export.
    FURLCommands = new TURLPageCommands(*this, vtURLs, this);
    connect(btInsertURLs4Clip, &QPushButton::clicked, FURLCommands,
            &TURLPageCommands::btInsertURLs4ClipClick);
    connect(btImportURLs4TXT, &QPushButton::clicked, FURLCommands,
            &TURLPageCommands::btImportURLs4TXTClick);
    connect(btImportURLs4XML, &QPushButton::clicked, FURLCommands,
            &TURLPageCommands::btImportURLs4XMLClick);
    connect(btImportFiles, &QPushButton::clicked, FURLCommands, &TURLPageCommands::btImportFiles);
    connect(btCrawlSite, &QPushButton::clicked, this, &TfmMain::btCrawlSiteClick);
    connect(btExport, &QPushButton::clicked, FURLCommands, &TURLPageCommands::btExportClick);
}

void TfmMain::BuildOptionsPage() {
    tsOptions = new QWidget;
    tsOptions->setObjectName(QStringLiteral("tsOptions"));
    pcPages->addTab(tsOptions, QString::fromUtf8(N_(" Настройки ")));
    auto *PageBox = new QVBoxLayout(tsOptions);
    PageBox->setContentsMargins(8, 8, 8, 8);

    gbOptions = new QGroupBox(QString::fromUtf8(N_(" Настройки ")));
    gbOptions->setObjectName(QStringLiteral("gbOptions"));
    PageBox->addWidget(gbOptions);
    auto *GroupBox = new QVBoxLayout(gbOptions);

    auto *Form = new QFormLayout;
    Form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Form->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
    Form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    Form->setHorizontalSpacing(10);
    Form->setVerticalSpacing(8);

    auto Spin = [&](const char *Name, int Min, int Max, int Step, int Value) {
        auto *S = new TNumberEdit;
        S->setObjectName(QLatin1String(Name));
        S->setRange(Min, Max);
        S->setSingleStep(Step);
        S->setValue(Value);
        S->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        S->setMinimumWidth(100);
        connect(S, &QSpinBox::textChanged, this, [this, S] { SetChanged(S->objectName()); });
        return S;
    };
    auto Label = [](const char *Text) { return new QLabel(QString::fromUtf8(Text)); };

    edMaxTreads = Spin("edMaxTreads", 1, 10, 1, 5);
    edPreDelay = Spin("edPreDelay", 1500, 100000, 100, 1500);
    edShingleLen = Spin("edShingleLen", 3, 10, 1, 6);
    Form->addRow(Label(N_("Количество потоков:")), edMaxTreads);
    Form->addRow(Label(N_("Задержка между запросами, мс:")), edPreDelay);
    Form->addRow(Label(N_("Длина \"шингла\", слов:")), edShingleLen);

    cbImpNoClearURLs = new QCheckBox;
    cbImpNoClearURLs->setObjectName(QStringLiteral("cbImpNoClearURLs"));
    cbIgnoreStopWords = new QCheckBox;
    cbIgnoreStopWords->setObjectName(QStringLiteral("cbIgnoreStopWords"));
    cbIgnoreStopWords->setChecked(true);
    for (QCheckBox *C : {cbImpNoClearURLs, cbIgnoreStopWords})
        connect(C, &QCheckBox::toggled, this, [this, C] { SetChanged(C->objectName()); });
    Form->addRow(Label(N_("Не очищать URL при импорте:")), cbImpNoClearURLs);
    Form->addRow(Label(N_("Не учитывать стоп-слова:")), cbIgnoreStopWords);

    // The duplicate groups and the site's template: a change applies to the
    // last check at once, with no new download.
    edDupThreshold = Spin("edDupThreshold", MinDuplicateThreshold, MaxDuplicateThreshold, 1,
                          DefaultDuplicateThreshold);
    edTemplateShare = Spin("edTemplateShare", 1, 100, 1, DefaultTemplatePercent);
    cbIgnoreTemplate = new QCheckBox;
    cbIgnoreTemplate->setObjectName(QStringLiteral("cbIgnoreTemplate"));
    connect(cbIgnoreTemplate, &QCheckBox::toggled, this,
            [this] { SetChanged(cbIgnoreTemplate->objectName()); });
    Form->addRow(Label(N_("Порог дубликатов, %")), edDupThreshold);
    Form->addRow(Label(N_("Шаблон сайта — текст не менее чем на доле страниц, %")),
                 edTemplateShare);
    Form->addRow(Label(N_("Не учитывать шаблон сайта")), cbIgnoreTemplate);
    FAnalysisTimer = new QTimer(this);
    FAnalysisTimer->setSingleShot(true);
    FAnalysisTimer->setInterval(150);
    connect(FAnalysisTimer, &QTimer::timeout, this, &TfmMain::ApplyAnalysisSettings);
    for (QSpinBox *E : {edDupThreshold, edTemplateShare})
        connect(E, &QSpinBox::valueChanged, FAnalysisTimer, qOverload<>(&QTimer::start));
    connect(cbIgnoreTemplate, &QCheckBox::toggled, this, &TfmMain::ApplyAnalysisSettings);

    edUserAgent = new QComboBox;
    edUserAgent->setObjectName(QStringLiteral("edUserAgent"));
    edUserAgent->setEditable(false);
    edUserAgent->setMinimumWidth(200);
    edUserAgent->setMaxVisibleItems(UserAgentCount);
    MarkNoTranslate(edUserAgent);
    Form->addRow(Label(N_("User-Agent:")), edUserAgent);
    edUserAgentText = new QLineEdit;
    edUserAgentText->setObjectName(QStringLiteral("edUserAgentText"));
    edUserAgentText->setFixedWidth(364);
    edUserAgentText->setEnabled(false);
    Form->addRow(QString(), edUserAgentText);
    connect(edUserAgent, &QComboBox::currentIndexChanged, this, &TfmMain::edUserAgentChange);
    connect(edUserAgentText, &QLineEdit::textChanged, this, &TfmMain::edUserAgentTextChange);

    cbAppLang = new QComboBox;
    cbAppLang->setObjectName(QStringLiteral("cbAppLang"));
    cbAppLang->setMinimumWidth(200);
    MarkNoTranslate(cbAppLang);
    Form->addRow(Label(N_("Язык программы:")), cbAppLang);
    connect(cbAppLang, &QComboBox::activated, this, &TfmMain::cbAppLangChange);
    GroupBox->addLayout(Form);

    rgUniqueAlg = new QGroupBox(QString::fromUtf8(N_(" Алгоритм проверки сходства содержимого ")));
    rgUniqueAlg->setObjectName(QStringLiteral("rgUniqueAlg"));
    auto *AlgBox = new QVBoxLayout(rgUniqueAlg);
    FAlgGroup = new QButtonGroup(this);
    const char *Options[] = {N_("Сравнение полного контента страницы"),
                             N_("Сравнение путем определения \"значимого\" текста")};
    for (int i = 0; i < 2; ++i) {
        auto *R = new QRadioButton(QString::fromUtf8(Options[i]));
        R->setObjectName(QStringLiteral("rgUniqueAlgItem%1").arg(i));
        FAlgGroup->addButton(R, i);
        AlgBox->addWidget(R);
    }
    FAlgGroup->button(0)->setChecked(true);
    connect(FAlgGroup, &QButtonGroup::buttonToggled, this,
            [this] { SetChanged(QStringLiteral("rgUniqueAlg")); });
    GroupBox->addWidget(rgUniqueAlg);

    PngBitBtn1 = new QPushButton(QString::fromUtf8(N_("Сравнение текстов на схожесть...")));
    PngBitBtn1->setObjectName(QStringLiteral("PngBitBtn1"));
    auto *BtnRow = new QHBoxLayout;
    BtnRow->addWidget(PngBitBtn1);
    BtnRow->addStretch(1);
    GroupBox->addLayout(BtnRow);
    connect(PngBitBtn1, &QPushButton::clicked, this, &TfmMain::PngBitBtn1Click);
    GroupBox->addStretch(1);

    // The about panel.
    auto *About = new QFrame;
    About->setObjectName(QStringLiteral("pAbout"));
    About->setFrameShape(QFrame::Panel);
    About->setFrameShadow(QFrame::Sunken);
    About->setFixedHeight(91);
    auto *AboutRow = new QHBoxLayout(About);
    AboutRow->setContentsMargins(10, 6, 10, 6);
    AboutRow->setSpacing(12);
    auto *Logo = new QLabel;
    Logo->setObjectName(QStringLiteral("imgLogo"));
    Logo->setPixmap(QIcon(QStringLiteral(":/corvane/corvane.svg")).pixmap(56, 56));
    AboutRow->addWidget(Logo, 0, Qt::AlignVCenter);
    auto *AboutBox = new QVBoxLayout;
    AboutBox->setContentsMargins(0, 0, 0, 0);
    AboutRow->addLayout(AboutBox, 1);
    AboutBox->setSpacing(2);
    auto *Title = new QLabel(QStringLiteral("About Corvane"));
    Title->setObjectName(QStringLiteral("lbAbout"));
    QFont TF(QStringLiteral("Verdana"), 9);
    TF.setBold(true);
    Title->setFont(TF);
    MarkNoTranslate(Title);
    lbVersion = new QLabel(QStringLiteral("Version: "));
    lbVersion->setObjectName(QStringLiteral("lbVersion"));
    MarkNoTranslate(lbVersion);
    LinkLabel1 = new TLinkLabel(QString::fromUtf8(N_("Посетить страницу программы")));
    LinkLabel1->setObjectName(QStringLiteral("LinkLabel1"));
    connect(LinkLabel1, &TLinkLabel::LinkClick, this, &TfmMain::LinkLabel1LinkClick);
    auto *MakerRow = new QHBoxLayout;
    MakerRow->setSpacing(4);
    auto *MakerLabel = new QLabel(QString::fromUtf8(N_("Разработка:")));
    MakerLabel->setObjectName(QStringLiteral("lbMaker"));
    Label11 = new TLinkLabel(QStringLiteral("Corvane Team"));
    Label11->setObjectName(QStringLiteral("Label11"));
    MarkNoTranslate(Label11);
    connect(Label11, &TLinkLabel::LinkClick, this, &TfmMain::Label11LinkClick);
    MakerRow->addWidget(MakerLabel);
    MakerRow->addWidget(Label11);
    MakerRow->addStretch(1);
    for (QWidget *W : {static_cast<QWidget *>(Title), static_cast<QWidget *>(lbVersion),
                       static_cast<QWidget *>(LinkLabel1)}) {
        auto *R = new QHBoxLayout;
        R->addWidget(W);
        R->addStretch(1);
        AboutBox->addLayout(R);
    }
    AboutBox->addLayout(MakerRow);
    GroupBox->addWidget(About);
}

void TfmMain::FormCreate() {
    // The window translation skips what MarkNoTranslate marked: the language
    // list, the version label, the news browser and the chart.
    BindCatalogDir(AppDir() + QStringLiteral("locale"));
    SystemLCID = SystemLocaleId();
}

void TfmMain::showEvent(QShowEvent *E) {
    QMainWindow::showEvent(E);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TfmMain::FormShow() {
    ReadSettings();
    {
        QSignalBlocker B(cbAppLang);
        for (const TAppLanguage &L : AppLanguages) cbAppLang->addItem(QString::fromUtf8(L.Name));
    }
    int Start = -1;
    for (int i = 0; i < AppLanguageCount && Start < 0; ++i)
        if (FStoredLang.compare(QLatin1String(AppLanguages[i].Code), Qt::CaseInsensitive) == 0)
            Start = i;
    for (int i = 0; i < AppLanguageCount && Start < 0; ++i)
        if (AppLanguages[i].LCID == SystemLCID || AppLanguages[i].LCID == 0) Start = i;
    {
        QSignalBlocker B(cbAppLang);
        cbAppLang->setCurrentIndex(Start);
    }
    ApplyLanguage();
    FillUserAgents();

    pcPages->setCurrentWidget(tsURLs);
    // Once a check has run the log is what the user comes back to.
    pcBottom->setCurrentWidget(FLogFirst ? tsLog : tsNews);
    ShowReleaseNotes();
    if (FNewsEnabled) {
        const QString Url =
            FNewsUrl.isEmpty() ? ProductNewsUrl(LanguageCode() == QLatin1String("ru")) : FNewsUrl;
        FNews = new TNewsFetch(Url, this);
        connect(FNews, &TNewsFetch::Loaded, NewsBrowser, [this](const QString &Html) {
            FNewsLoaded = true;
            NewsBrowser->setHtml(Html);
        });
        FNews->start(QThread::LowPriority);
    }

    TaskList = new TURLTaskInfoList;
    vtURLs->ListModel()->SetTasks(TaskList);
    FRun = std::make_unique<TRunController>(*TaskList, this);
    FRun->SetSettingsSource([this] { return CurrentRunSettings(); });
    UpdateURLCount();
    UpdateScoreChart();
    crtURLScore->SetBackground(Qt::white);
    lbVersion->setText(lbVersion->text() + QStringLiteral(CORVANE_VERSION));
    PostLogMsg(_(N_("Запуск программы")));
    OpenStore();
}

void TfmMain::OpenStore() {
    FStore = std::make_unique<TCheckStore>();
    if (!FStore->Open(FStorePath.isEmpty() ? TCheckStore::DefaultPath() : FStorePath)) {
        // The window works as before, in memory; the user is told once.
        const QString Text = FStore->Error();
        PostLogMsg(Text);
        QTimer::singleShot(0, this, [this, Text] { ui::dialogs().warning(this, Text); });
        return;
    }
    FRun->SetStore(FStore.get());
    tsHistory->SetStore(FStore.get());
    tsHistory->Refresh();
    if (std::optional<TStoredCheck> Last = FStore->LastUnfinished(false))
        QTimer::singleShot(0, this, [this, Check = *Last] { OfferResume(Check); });
}

void TfmMain::OfferResume(const TStoredCheck &Check) {
    if (FClosed || !FStore->IsOpen() || CheckRunning()) return;
    const QString Question =
        FormatMsg(N_("Последняя проверка не завершилась (%d из %d страниц). Продолжить её?"),
                  {Check.Done, Check.Pages});
    if (!ui::dialogs().question(this, Question)) {
        // Asked once: the check stays in the history as aborted.
        if (!FStore->SetState(Check.Id, csAborted)) StoreFailed(FStore->Error());
        tsHistory->Refresh();
        return;
    }
    if (LoadStoredCheck(Check, true)) FRun->Continue(Check.Id);
}

bool TfmMain::LoadStoredCheck(const TStoredCheck &Check, bool Resume) {
    TOwnedTaskList Loaded;
    if (!FStore->LoadTasks(Check.Id, Loaded, true, true)) {
        StoreFailed(FStore->Error());
        return false;
    }
    TRunSettings Stored = CurrentRunSettings();
    TRunController::ReadSettingsJson(Check.Settings, Stored);
    if (Resume) {
        // The pages already done were hashed with the check's settings: the
        // rest must be too.
        edMaxTreads->setValue(Stored.MaxThreads);
        edPreDelay->setValue(Stored.Delay);
        edShingleLen->setValue(Stored.ShingleLength);
        cbIgnoreStopWords->setChecked(Stored.IgnoreStopWords);
        FAlgGroup->button(Stored.AlgVer >= 2 ? 1 : 0)->setChecked(true);
    }
    vtURLs->ListModel()->BeginListChange(false);
    FreeObjects(TaskList);
    for (TURLTaskInfo *T : Loaded) TaskList->append(T);
    Loaded.clear(); // the window's list owns them now
    vtURLs->ListModel()->EndListChange();
    FRun->SetCheckSource(Check.Source);
    TaskListChanged();
    if (!Resume) {
        // As after a check: similarities, export, the list by uniqueness.
        FRun->ShowStored(Stored);
        vtURLs->ListModel()->AllChanged();
        vtURLs->vtURLsSortBy(ucUniqueness, Qt::AscendingOrder);
        vtURLs->ListModel()->FlushChanges();
        UpdateScoreChart();
    }
    return true;
}

void TfmMain::OpenStoredCheck(std::int64_t Id) {
    if (CheckRunning() || !FStore || !FStore->IsOpen()) return;
    if (const std::optional<TStoredCheck> Check = FStore->Check(Id)) {
        if (LoadStoredCheck(*Check, false))
            AddLogLine(FormatMsg(N_("Открыта проверка от %s"),
                                 {QDateTime::fromString(Check->Started, Qt::ISODate)
                                      .toLocalTime()
                                      .toString(QStringLiteral("dd.MM.yyyy HH:mm"))}));
    }
}

void TfmMain::CompareWithStoredCheck(std::int64_t Id) {
    if (CheckRunning() || !FStore || !FStore->IsOpen()) return;
    if (!tsHistory->ShowComparison(*TaskList, Id) && !FStore->IsOpen())
        StoreFailed(FStore->Error());
}

void TfmMain::StoreFailed(const QString &Text) {
    ui::dialogs().warning(this, Text);
}

void TfmMain::closeEvent(QCloseEvent *E) {
    if (!FClosed) FormClose();
    E->accept();
}

void TfmMain::FormClose() {
    FClosed = true;
    WriteSettings();
    vtURLs->ListModel()->SetTasks(nullptr);
    // A running check is aborted first: the controller cancels the transfers
    // and waits until no worker can touch the pool or the window any more.
    FRun.reset();
    if (TaskList) FreeListWithObjects(TaskList);
    if (FNews) {
        FNews->disconnect(this);
        delete FNews; // stops the transfer and waits for the thread
        FNews = nullptr;
    }
}

void TfmMain::customEvent(QEvent *E) {
    if (E->type() == WM_LOG_MSG) {
        const TMsgForLog &M = static_cast<TLogMsgEvent *>(E)->Msg();
        AddToLog(M.MsgText, ToQDateTime(M.MsgTime));
    }
}

void TfmMain::AddToLog(const QString &sMessage, const QDateTime &aTime) {
    lvLog->insertRow(0);
    lvLog->setItem(0, 0, new QTableWidgetItem(aTime.toString(QStringLiteral("HH:mm:ss"))));
    lvLog->setItem(0, 1, new QTableWidgetItem(sMessage));
}

void TfmMain::PostLogMsg(const QString &Text) {
    corvane::PostLogMsg(this, Text);
}

// ---- settings -------------------------------------------------------------

QString TfmMain::IniFileName() const {
    return SettingsFilePath();
}

void TfmMain::ReadSettings() {
    const TSettingsFile Ini(IniFileName());
    FStoredLang.clear();
    FStoredUserAgent = 0;
    CustomUserAgent.clear();
    // The list's columns: the file's choice, or the default one without a file.
    QList<int> Hidden;
    for (const QString &C : Ini.Read(setting::HiddenColumns).split(u',', Qt::SkipEmptyParts)) {
        bool Ok = false;
        const int Column = C.trimmed().toInt(&Ok);
        if (Ok && Column >= 0 && Column < ucCount) Hidden.append(Column);
    }
    vtURLs->SetHiddenColumns(Hidden);
    if (!Ini.Exists()) return;
    FStoredLang = Ini.Read(setting::Lang);
    edMaxTreads->setValue(Ini.Read(setting::MaxThreads));
    edShingleLen->setValue(Ini.Read(setting::ShingleLength));
    edPreDelay->setValue(Ini.Read(setting::RequestDelay));
    cbImpNoClearURLs->setChecked(Ini.Read(setting::ImportNoClear));
    FStoredUserAgent = Ini.Read(setting::UserAgent);
    CustomUserAgent = Ini.Read(setting::CustomUserAgent);
    const int Alg = Ini.Read(setting::AlgVersion);
    if (Alg < 1) {
        FAlgGroup->setExclusive(false);
        for (QAbstractButton *B : FAlgGroup->buttons()) B->setChecked(false);
        FAlgGroup->setExclusive(true);
    } else {
        FAlgGroup->button(Alg >= 2 ? 1 : 0)->setChecked(true);
    }
    cbIgnoreStopWords->setChecked(Ini.Read(setting::IgnoreStopWords));
    FLogFirst = Ini.Read(setting::LogFirst);
    FEndpoints[0] = Ini.Read(setting::PlainTextEndpoint1);
    FEndpoints[1] = Ini.Read(setting::PlainTextEndpoint2);
    edDupThreshold->setValue(Ini.Read(setting::DuplicateThreshold));
    edTemplateShare->setValue(Ini.Read(setting::TemplateShare));
    cbIgnoreTemplate->setChecked(Ini.Read(setting::IgnoreTemplate));
    FCrawlOptions.StartURL = Ini.Read(setting::CrawlURL);
    FCrawlOptions.MaxPages = std::clamp(Ini.Read(setting::CrawlMaxPages), 1, MaxURLCount);
    FCrawlOptions.IncludeSubdomains = Ini.Read(setting::CrawlSubdomains);
    FCrawlOptions.FollowNoFollow = Ini.Read(setting::CrawlFollowNoFollow);
    FCrawlOptions.UseSitemaps = Ini.Read(setting::CrawlSitemaps);
    FCrawlOptions.IgnoreRobots = Ini.Read(setting::CrawlIgnoreRobots);
    FCrawlOptions.DropParams = ParseDropParams(Ini.Read(setting::CrawlDropParams));
}

void TfmMain::WriteSettings() {
    if (FChanged.isEmpty()) return;
    TSettingsFile Ini(IniFileName());
    auto Is = [this](const char *Name) { return FChanged.contains(QLatin1String(Name)); };
    if (Is("edMaxTreads")) Ini.Write(setting::MaxThreads, edMaxTreads->value());
    if (Is("edPreDelay")) Ini.Write(setting::RequestDelay, edPreDelay->value());
    if (Is("edShingleLen")) Ini.Write(setting::ShingleLength, edShingleLen->value());
    if (Is("edUserAgent")) Ini.Write(setting::UserAgent, edUserAgent->currentIndex());
    if (Is("edUserAgentText") && edUserAgentText->isEnabled())
        Ini.Write(setting::CustomUserAgent, CustomUserAgent);
    if (Is("cbAppLang")) Ini.Write(setting::Lang, LanguageCode());
    if (Is("cbImpNoClearURLs")) Ini.Write(setting::ImportNoClear, cbImpNoClearURLs->isChecked());
    if (Is("rgUniqueAlg")) Ini.Write(setting::AlgVersion, AlgorithmValue());
    if (Is("cbIgnoreStopWords"))
        Ini.Write(setting::IgnoreStopWords, cbIgnoreStopWords->isChecked());
    if (Is("log-first")) Ini.Write(setting::LogFirst, FLogFirst);
    if (Is("edDupThreshold")) Ini.Write(setting::DuplicateThreshold, edDupThreshold->value());
    if (Is("edTemplateShare")) Ini.Write(setting::TemplateShare, edTemplateShare->value());
    if (Is("cbIgnoreTemplate")) Ini.Write(setting::IgnoreTemplate, cbIgnoreTemplate->isChecked());
    if (Is("hidden-columns")) {
        QStringList Hidden;
        for (const int C : vtURLs->HiddenColumns()) Hidden << QString::number(C);
        Ini.Write(setting::HiddenColumns, Hidden.join(u','));
    }
    if (Is("crawl")) {
        Ini.Write(setting::CrawlURL, FCrawlOptions.StartURL);
        Ini.Write(setting::CrawlMaxPages, FCrawlOptions.MaxPages);
        Ini.Write(setting::CrawlSubdomains, FCrawlOptions.IncludeSubdomains);
        Ini.Write(setting::CrawlFollowNoFollow, FCrawlOptions.FollowNoFollow);
        Ini.Write(setting::CrawlSitemaps, FCrawlOptions.UseSitemaps);
        Ini.Write(setting::CrawlIgnoreRobots, FCrawlOptions.IgnoreRobots);
        Ini.Write(setting::CrawlDropParams, DropParamsText(FCrawlOptions.DropParams));
    }
    if (!Ini.Save()) {
        // The settings service's own report, in English like the rest of its texts.
        const QString Text =
            QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(IniFileName()));
        ui::dialogs().error(isVisible() ? this : nullptr, Text);
    }
}

void TfmMain::FillUserAgents() {
    {
        QSignalBlocker B(edUserAgent);
        for (const TUserAgent &U : UserAgents) edUserAgent->addItem(QString::fromUtf8(U.Name));
        const int I = FStoredUserAgent;
        edUserAgent->setCurrentIndex(I >= 0 && I < UserAgentCount ? I : -1);
    }
    ApplyUserAgentChoice();
}

void TfmMain::ApplyUserAgentChoice() {
    const int Index = edUserAgent->currentIndex();
    SetChanged(QStringLiteral("edUserAgent"));
    const bool Custom = Index == CustomUserAgentIndex;
    edUserAgentText->setEnabled(Custom);
    QString Text;
    if (Custom && !CustomUserAgent.isEmpty())
        Text = CustomUserAgent;
    else if (Index >= 0 && Index < UserAgentCount)
        Text = QString::fromUtf8(UserAgents[Index].Text);
    edUserAgentText->setText(Text);
    QPalette P = edUserAgentText->palette();
    const QColor Back = Custom ? QColor(Qt::white) : QColor(192, 192, 192);
    for (auto G : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        P.setColor(G, QPalette::Base, Back);
    // The string that will be sent stays readable on the silver background.
    P.setColor(QPalette::Disabled, QPalette::Text, QColor(48, 48, 48));
    edUserAgentText->setPalette(P);
}

void TfmMain::edUserAgentChange(int) {
    ApplyUserAgentChoice();
}

void TfmMain::edUserAgentTextChange(const QString &Text) {
    if (!edUserAgentText->isEnabled()) return;
    SetChanged(QStringLiteral("edUserAgentText"));
    if (Text.isEmpty()) {
        edUserAgentText->setText(QStringLiteral("CustomBot/1.0")); // comes back here once
        return;
    }
    CustomUserAgent = Text;
}

int TfmMain::MaxThreads() const {
    return edMaxTreads->value();
}
int TfmMain::RequestDelay() const {
    return edPreDelay->value();
}
int TfmMain::ShingleLengthSetting() const {
    return edShingleLen->value();
}
bool TfmMain::IgnoreStopWords() const {
    return cbIgnoreStopWords->isChecked();
}
bool TfmMain::ImportNoClear() const {
    return cbImpNoClearURLs->isChecked();
}
int TfmMain::AlgorithmValue() const {
    return FAlgGroup->checkedId() + 1;
}
QString TfmMain::UserAgentText() const {
    return edUserAgentText->text();
}
QString TfmMain::PlainTextEndpoint(int Index) const {
    return Index == 1 || Index == 2 ? FEndpoints[Index - 1] : QString();
}
QString TfmMain::LanguageCode() const {
    const int I = cbAppLang->currentIndex();
    return I >= 0 && I < AppLanguageCount ? QLatin1String(AppLanguages[I].Code) : QString();
}

// ---- language -------------------------------------------------------------

void TfmMain::ApplyLanguage() {
    SetCatalogLanguage(LanguageCode());
    TranslateWindow(this);
    vtURLs->ListModel()->Retranslate();
    FormTranslated = true;
}

void TfmMain::ShowReleaseNotes() {
    if (!FNewsLoaded) NewsBrowser->setMarkdown(ReleaseNotes(LanguageCode()));
}

void TfmMain::cbAppLangChange(int) {
    ChartRefreshPending = true;
    ApplyLanguage();
    ShowReleaseNotes();
    UpdateURLCount();
    SetChanged(QStringLiteral("cbAppLang"));
}

void TfmMain::pcPagesChange(int) {
    if (pcPages->currentWidget() == tsURLs && ChartRefreshPending) {
        UpdateScoreChart();
        ChartRefreshPending = false;
    }
}

void TfmMain::UpdateURLCount() {
    const int N = TaskList ? int(TaskList->size()) : 0;
    pcPages->setTabText(pcPages->indexOf(tsURLs),
                        N == 0 ? _(N_(" Список URL ")) : FormatMsg(N_(" Список URL (%d) "), {N}));
}

void TfmMain::UpdateScoreChart() {
    TGradeCounts C;
    if (TaskList)
        for (const TURLTaskInfo *T : *TaskList)
            if (T && T->TaskResults)
                CountGrade(C, true, T->TaskResults->ErrorCode, T->TaskResults->Uniqueness);
    crtURLScore->SetCounts(C);
}

void TfmMain::UpdateButtons() {
    if (FRun) FRun->UpdateButtons();
}

void TfmMain::TaskListChanged() {
    vtURLs->ListModel()->Reload();
    UpdateURLCount();
    UpdateButtons();
    UpdateScoreChart();
}

TRunSettings TfmMain::CurrentRunSettings() const {
    TRunSettings S;
    S.MaxThreads = edMaxTreads->value();
    S.Delay = edPreDelay->value();
    S.ShingleLength = edShingleLen->value();
    S.UserAgent = edUserAgentText->text();
    S.AlgVer = AlgorithmValue();
    S.IgnoreStopWords = cbIgnoreStopWords->isChecked();
    S.Analysis = CurrentAnalysisSettings();
    if (S.AlgVer != 2) {
        // The endpoints of the settings file, or the service started inside
        // the program on loopback ports when the file names none.
        if (FResolvedEndpoints.First.isEmpty() && FResolvedEndpoints.Second.isEmpty())
            FResolvedEndpoints = ResolvePlainTextEndpoints(IniFileName());
        S.Endpoints = FResolvedEndpoints;
    }
    return S;
}

// ---- the run controller's reports -------------------------------------------

void TfmMain::LogLine(const QString &Text, TDateTime Time) {
    AddToLog(Text, ToQDateTime(Time));
}

void TfmMain::ProgressShown(std::int32_t Maximum) {
    ProgressBar->setRange(0, qMax(1, Maximum));
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    pProgress->show();
}

void TfmMain::ProgressChanged(std::int32_t Position, std::int32_t Maximum) {
    ProgressBar->setRange(0, qMax(1, Maximum));
    ProgressBar->setValue(qMin(Position, qMax(1, Maximum)));
    // The end of a run computes on this thread; keep the strip moving.
    ProgressBar->repaint();
}

void TfmMain::ProgressHidden() {
    pProgress->hide();
}

void TfmMain::RunStarted() {
    // A crawl's pages are listed as they are found, by number.
    if (FRun && FRun->Crawl()) vtURLs->vtURLsSortBy(ucNum, Qt::AscendingOrder);
    // The check dropped the old results.
    vtURLs->ListModel()->AllChanged();
    vtURLs->ListModel()->FlushChanges();
    UpdateScoreChart();
    gbOptions->setEnabled(false);
    pcBottom->setCurrentWidget(tsLog);
    if (!FLogFirst) {
        FLogFirst = true;
        SetChanged(QStringLiteral("log-first"));
    }
}

void TfmMain::RunFinished(bool) {
    UpdateScoreChart();
    tsHistory->Refresh();
    gbOptions->setEnabled(true);
    // The list shown by uniqueness, lowest first.
    vtURLs->ListModel()->AllChanged();
    vtURLs->vtURLsSortBy(ucUniqueness, Qt::AscendingOrder);
    vtURLs->ListModel()->FlushChanges();
}

TShingleOptions TfmMain::ShingleOptions() const {
    // Those of the last check while its results are shown, else the page's.
    if (FRun && TaskList && FRun->Analysis().Valid(*TaskList))
        return {FRun->Analysis().Settings().ShingleLength,
                FRun->Analysis().Settings().SkipStopWords};
    return {edShingleLen->value(), cbIgnoreStopWords->isChecked()};
}

TAnalysisSettings TfmMain::CurrentAnalysisSettings() const {
    TAnalysisSettings A;
    A.DuplicateThreshold = edDupThreshold->value();
    A.TemplatePercent = edTemplateShare->value();
    A.IgnoreTemplate = cbIgnoreTemplate->isChecked();
    return A;
}

void TfmMain::ApplyAnalysisSettings() {
    FAnalysisTimer->stop();
    if (FRun && !FRun->Running()) FRun->Reanalyse(CurrentAnalysisSettings());
}

void TfmMain::AnalysisChanged() {
    TURLListModel *M = vtURLs->ListModel();
    M->AllChanged();
    vtURLs->vtURLsSortBy(M->SortColumn(), M->SortOrder());
    M->FlushChanges();
    UpdateScoreChart();
}

void TfmMain::ButtonStatesChanged(const TButtonStates &S) {
    btRunRequests->setEnabled(S.Run);
    btAbortRequests->setEnabled(S.Abort);
    for (QPushButton *B :
         {btInsertURLs4Clip, btImportURLs4TXT, btImportURLs4XML, btImportFiles, btCrawlSite})
        B->setEnabled(S.Imports);
    btExport->setEnabled(S.Export);
}

void TfmMain::TaskUpdated(TURLTaskInfo *Task) {
    vtURLs->ListModel()->TaskChanged(Task);
}

void TfmMain::TasksAdded(qsizetype, qsizetype) {
    vtURLs->ListModel()->TasksAppended();
    UpdateURLCount();
}

void TfmMain::CrawlProgress(const TCrawlProgress &P) {
    ProgressBar->setFormat(FormatMsg(N_("Сканирование: найдено %d, проверено %d, предел %d"),
                                     {P.Found, P.Checked, P.Limit}));
    ProgressBar->setTextVisible(true);
}

// ---- the URL page's commands ------------------------------------------------

bool TfmMain::CheckRunning() const {
    return FRun && FRun->Running();
}

void TfmMain::RefreshAfterListChange() {
    UpdateButtons();
    UpdateURLCount();
    UpdateScoreChart();
}

void TfmMain::AddLogLine(const QString &Text) {
    AddToLog(Text, QDateTime::currentDateTime());
}

void TfmMain::RunCheck(TRunVariant Variant, const QList<std::int32_t> &Nums) {
    if (FRun) FRun->Run(Variant, Nums);
}

void TfmMain::ErrorMessage(const QString &Text) {
    ui::dialogs().error(this, Text);
}

// ---- links and commands -----------------------------------------------------

void TfmMain::LinkLabel1LinkClick() {
    ui::OpenWithDesktop(this, QUrl(ProductHomeUrl(LanguageCode() == QLatin1String("ru"))));
}

void TfmMain::Label11LinkClick() {
    ui::OpenWithDesktop(this, QUrl(MakerUrl()));
}

void TfmMain::PngBitBtn1Click() {
    ui::TfmShowTextSimil::Open(edShingleLen->value(), cbIgnoreStopWords->isChecked(), this);
}

void TfmMain::btCrawlSiteClick() {
    if (CheckRunning() || !TaskList) return;
    auto *D = new TfmCrawlSite(FCrawlOptions, this);
    D->setAttribute(Qt::WA_DeleteOnClose);
    connect(D, &QDialog::accepted, this, [this, D] {
        FCrawlOptions = D->Options();
        SetChanged(QStringLiteral("crawl"));
        StartCrawl();
    });
    D->open();
}

void TfmMain::StartCrawl() {
    if (CheckRunning() || !TaskList || !FRun) return;
    const bool Keep = ImportNoClear();
    vtURLs->BeginListChange(Keep, Keep);
    if (Keep)
        TaskList->FreeResults();
    else
        FreeObjects(TaskList);
    vtURLs->EndListChange();
    RefreshAfterListChange();
    FRun->RunCrawl(FCrawlOptions);
}

void TfmMain::btRunRequestsClick() {
    if (FRun) FRun->Run(rvAll);
}

void TfmMain::btAbortRequestsClick() {
    if (FRun) FRun->Abort();
}

} // namespace corvane::ui
