#include "ui/main/crawldialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/i18n.h"
#include "engine/urlimport.h"
#include "ui/common/dialogs.h"
#include "ui/main/wndtranslate.h"

namespace corvane::ui {

TfmCrawlSite::TfmCrawlSite(const TCrawlOptions &Options, QWidget *Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("fmCrawlSite"));
    setWindowTitle(QString::fromUtf8(N_("Сканирование сайта")));
    auto *Box = new QVBoxLayout(this);

    auto *Form = new QFormLayout;
    Form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    edCrawlURL = new QLineEdit(Options.StartURL);
    edCrawlURL->setObjectName(QStringLiteral("edCrawlURL"));
    edCrawlURL->setPlaceholderText(QStringLiteral("https://example.com/"));
    edCrawlURL->setMinimumWidth(380);
    Form->addRow(new QLabel(QString::fromUtf8(N_("Адрес сайта:"))), edCrawlURL);
    edCrawlMaxPages = new QSpinBox;
    edCrawlMaxPages->setObjectName(QStringLiteral("edCrawlMaxPages"));
    edCrawlMaxPages->setRange(1, MaxURLCount);
    edCrawlMaxPages->setSingleStep(100);
    edCrawlMaxPages->setValue(Options.MaxPages);
    edCrawlMaxPages->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    edCrawlMaxPages->setMinimumWidth(100);
    auto *PagesRow = new QHBoxLayout;
    PagesRow->addWidget(edCrawlMaxPages);
    PagesRow->addStretch(1);
    Form->addRow(new QLabel(QString::fromUtf8(N_("Не более страниц:"))), PagesRow);
    edCrawlDropParams = new QLineEdit(DropParamsText(Options.DropParams));
    edCrawlDropParams->setObjectName(QStringLiteral("edCrawlDropParams"));
    edCrawlDropParams->setPlaceholderText(QStringLiteral("utm_*, sessionid"));
    edCrawlDropParams->setToolTip(
        QString::fromUtf8(N_("Параметры запроса, которые убираются из адресов (через запятую, * — "
                             "любые символы). Пусто: адреса с разными параметрами — разные "
                             "страницы.")));
    Form->addRow(new QLabel(QString::fromUtf8(N_("Отбрасывать параметры:"))), edCrawlDropParams);
    Box->addLayout(Form);

    auto Check = [&](const char *Name, const char *Text, bool On) {
        auto *C = new QCheckBox(QString::fromUtf8(Text));
        C->setObjectName(QLatin1String(Name));
        C->setChecked(On);
        Box->addWidget(C);
        return C;
    };
    cbCrawlSubdomains =
        Check("cbCrawlSubdomains", N_("Сканировать и поддомены сайта"), Options.IncludeSubdomains);
    cbCrawlFollowNoFollow =
        Check("cbCrawlFollowNoFollow", N_("Переходить по ссылкам rel=\"nofollow\""),
              Options.FollowNoFollow);
    cbCrawlSitemaps =
        Check("cbCrawlSitemaps", N_("Начать и со страниц из sitemap, названных в robots.txt"),
              Options.UseSitemaps);
    cbCrawlIgnoreRobots =
        Check("cbCrawlIgnoreRobots", N_("Не соблюдать robots.txt"), Options.IgnoreRobots);

    auto *Note = new QLabel(
        QString::fromUtf8(N_("Проверка начинается сразу: найденные страницы добавляются в "
                             "список и проверяются по мере загрузки, каждая загружается "
                             "один раз.")));
    Note->setObjectName(QStringLiteral("lbCrawlNote"));
    Note->setWordWrap(true);
    Note->setEnabled(false);
    Box->addWidget(Note);

    auto *Buttons = new QHBoxLayout;
    Buttons->addStretch(1);
    btCrawlStart = new QPushButton(QString::fromUtf8(N_("Начать")));
    btCrawlStart->setObjectName(QStringLiteral("btCrawlStart"));
    btCrawlStart->setDefault(true);
    btCrawlCancel = new QPushButton(QString::fromUtf8(N_("Отмена")));
    btCrawlCancel->setObjectName(QStringLiteral("btCrawlCancel"));
    Buttons->addWidget(btCrawlStart);
    Buttons->addWidget(btCrawlCancel);
    Box->addLayout(Buttons);
    connect(btCrawlStart, &QPushButton::clicked, this, &TfmCrawlSite::btCrawlStartClick);
    connect(btCrawlCancel, &QPushButton::clicked, this, &QDialog::reject);

    TranslateWindow(this);
}

TCrawlOptions TfmCrawlSite::Options() const {
    TCrawlOptions O;
    O.StartURL = edCrawlURL->text().trimmed();
    O.MaxPages = edCrawlMaxPages->value();
    O.IncludeSubdomains = cbCrawlSubdomains->isChecked();
    O.FollowNoFollow = cbCrawlFollowNoFollow->isChecked();
    O.IgnoreRobots = cbCrawlIgnoreRobots->isChecked();
    O.UseSitemaps = cbCrawlSitemaps->isChecked();
    O.DropParams = ParseDropParams(edCrawlDropParams->text());
    return O;
}

void TfmCrawlSite::btCrawlStartClick() {
    const TCrawlOptions O = Options();
    const TCrawlStart Start = CrawlStartURL(O.StartURL, O.DropParams);
    if (!Start.Error.isEmpty()) {
        dialogs().warning(this, Start.Error);
        edCrawlURL->setFocus();
        return;
    }
    accept();
}

} // namespace corvane::ui
