#include "ui/main/chart.h"

#include <QChart>
#include <QFont>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QPieSeries>
#include <QPieSlice>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "core/i18n.h"

namespace corvane::ui {

namespace {

QColor GradeColor(int Grade) {
    const TGradeRgb &C = GradeColors[Grade];
    return QColor(C.R, C.G, C.B);
}

const char *TitleId = N_("Распределение\r\nуникальности");

} // namespace

TScoreChart::TScoreChart(QWidget *Parent)
    : QWidget(Parent), FView(new QChartView(new QChart)), FSeries(new QPieSeries),
      FEmpty(new QPieSeries), FTitle(new QLabel) {
    setAutoFillBackground(true);
    auto *Box = new QVBoxLayout(this);
    Box->setContentsMargins(4, 6, 4, 6);
    Box->setSpacing(4);

    QFont TitleFont = font();
    TitleFont.setBold(true);
    FTitle->setFont(TitleFont);
    FTitle->setAlignment(Qt::AlignCenter);
    FTitle->setTextFormat(Qt::PlainText);
    QPalette TP = FTitle->palette();
    TP.setColor(QPalette::WindowText, Qt::black);
    FTitle->setPalette(TP);
    Box->addWidget(FTitle);

    // Given to the view at construction: setChart would leave the view's
    // default chart to the caller.
    QChart *Chart = FView->chart();
    Chart->setAnimationOptions(QChart::NoAnimation);
    Chart->setBackgroundRoundness(0);
    Chart->setMargins(QMargins(0, 0, 0, 0));
    Chart->layout()->setContentsMargins(0, 0, 0, 0);
    Chart->legend()->hide();
    for (int G = 0; G < grCount; ++G) {
        auto *S = FSeries->append(QString(), 0);
        S->setColor(GradeColor(G));
        S->setPen(Qt::NoPen);
        S->setLabelVisible(false);
    }
    auto *Disc = FEmpty->append(QString(), 1);
    Disc->setColor(QColor(224, 224, 224));
    Disc->setPen(Qt::NoPen);
    FSeries->setPieSize(0.96);
    FEmpty->setPieSize(0.96);
    Chart->addSeries(FEmpty);
    Chart->addSeries(FSeries);
    FView->setRenderHint(QPainter::Antialiasing);
    FView->setInteractive(false);
    FView->setDragMode(QGraphicsView::NoDrag);
    FView->setRubberBand(QChartView::NoRubberBand);
    FView->setFrameShape(QFrame::NoFrame);
    FView->setFocusPolicy(Qt::NoFocus);
    FView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FView->setAttribute(Qt::WA_TransparentForMouseEvents);
    Box->addWidget(FView, 1);

    for (int i = 0; i < 3; ++i) {
        auto *Row = new QHBoxLayout;
        Row->setContentsMargins(6, 0, 0, 0);
        Row->setSpacing(6);
        auto *Swatch = new QLabel;
        Swatch->setFixedSize(10, 10);
        Swatch->setAutoFillBackground(true);
        QPalette SP = Swatch->palette();
        SP.setColor(QPalette::Window, GradeColor(i));
        Swatch->setPalette(SP);
        FLegend[i] = new QLabel;
        FLegend[i]->setTextFormat(Qt::PlainText);
        QPalette LP = FLegend[i]->palette();
        LP.setColor(QPalette::WindowText, Qt::black);
        FLegend[i]->setPalette(LP);
        Row->addWidget(Swatch);
        Row->addWidget(FLegend[i], 1);
        Box->addLayout(Row);
    }
    SetCounts({});
}

void TScoreChart::SetCounts(const TGradeCounts &Counts) {
    const QStringList Labels = GradeLabels(Counts);
    const int Values[3] = {Counts.Good, Counts.Medium, Counts.Bad};
    const auto Slices = FSeries->slices();
    for (int i = 0; i < 3; ++i) {
        Slices[i]->setValue(Values[i]);
        Slices[i]->setLabel(Labels[i]);
        FLegend[i]->setText(Labels[i]);
    }
    // Qt Charts keeps the last angles when every slice falls to 0, which would
    // leave the previous pie drawn over the grey disc: hide the slices instead.
    const bool Empty = Counts.Total() == 0;
    FSeries->setVisible(!Empty);
    FEmpty->setVisible(Empty);
    QString Title = _(TitleId);
    Title.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    FTitle->setText(Title);
    FView->viewport()->update();
}

void TScoreChart::SetBackground(const QColor &Color) {
    QPalette P = palette();
    P.setColor(QPalette::Window, Color);
    setPalette(P);
    FView->chart()->setBackgroundBrush(Color);
    FView->setBackgroundBrush(Color);
}

QString TScoreChart::TitleText() const {
    return FTitle->text();
}
QFont TScoreChart::TitleFont() const {
    return FTitle->font();
}

QStringList TScoreChart::LegendTexts() const {
    return {FLegend[0]->text(), FLegend[1]->text(), FLegend[2]->text()};
}

} // namespace corvane::ui
