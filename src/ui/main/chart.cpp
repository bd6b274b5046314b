#include "chart.h"

#include "core/i18n.h"

#include <QChart>
#include <QFont>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QPieSeries>
#include <QPieSlice>

#include <cfenv>
#include <cmath>

namespace corvane {

namespace {

struct TGrade {
    const char *Format;
    QColor Color;
};

const TGrade Grades[3] = {
    {N_("Хорошо (%d%%)"), QColor(12, 207, 109)},
    {N_("Средне (%d%%)"), QColor(255, 166, 0)},
    {N_("Плохо (%d%%)"), QColor(255, 80, 66)},
};

const char *TitleId = N_("Распределение\r\nуникальности");

QString FormatPercent(const char *Format, int Percent) {
    QString S = _(Format);
    S.replace(QLatin1String("%d"), QString::number(Percent));
    S.replace(QLatin1String("%%"), QLatin1String("%"));
    return S;
}

} // namespace

void CountGrade(TGradeCounts &Counts, bool HasResults, int ErrorCode, double Uniqueness) {
    if (!HasResults || ErrorCode != 0 || Uniqueness < 0) return;
    if (Uniqueness < 65)
        ++Counts.Bad;
    else if (Uniqueness <= 85)
        ++Counts.Medium;
    else if (Uniqueness <= 100)
        ++Counts.Good;
}

int GradePercent(int Count, int Total) {
    if (Total <= 0) return 0;
    // nearbyint follows the rounding mode, which is to-nearest-even unless
    // someone changed it.
    const int Saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const int P = int(std::nearbyint(double(Count) / Total * 100.0));
    std::fesetround(Saved);
    return P;
}

QStringList GradeLabels(const TGradeCounts &Counts) {
    const int Total = Counts.Total();
    return {FormatPercent(Grades[0].Format, GradePercent(Counts.Good, Total)),
            FormatPercent(Grades[1].Format, GradePercent(Counts.Medium, Total)),
            FormatPercent(Grades[2].Format, GradePercent(Counts.Bad, Total))};
}

TScoreChart::TScoreChart(QWidget *Parent) : QChartView(Parent), FSeries(new QPieSeries) {
    auto *Chart = new QChart;
    Chart->setAnimationOptions(QChart::NoAnimation);
    Chart->setBackgroundRoundness(0);
    Chart->setMargins(QMargins(0, 0, 0, 0));
    Chart->layout()->setContentsMargins(2, 2, 2, 2);
    for (const TGrade &G : Grades) {
        auto *S = FSeries->append(QString(), 0);
        S->setColor(G.Color);
        S->setBorderColor(G.Color);
        S->setBorderWidth(0);
        S->setLabelVisible(false);
    }
    FSeries->setPieSize(0.95);
    Chart->addSeries(FSeries);
    QFont TitleFont = font();
    TitleFont.setBold(true);
    Chart->setTitleFont(TitleFont);
    Chart->setTitleBrush(Qt::black);
    QLegend *L = Chart->legend();
    L->setAlignment(Qt::AlignBottom);
    L->setShowToolTips(false);
    L->setLabelColor(Qt::black);
    L->setMarkerShape(QLegend::MarkerShapeRectangle);
    QFont LegendFont = font();
    L->setFont(LegendFont);
    setChart(Chart);
    setRenderHint(QPainter::Antialiasing);
    setInteractive(false);
    setDragMode(QGraphicsView::NoDrag);
    setFrameShape(QFrame::NoFrame);
    setRubberBand(QChartView::NoRubberBand);
    setFocusPolicy(Qt::NoFocus);
    SetCounts({});
}

void TScoreChart::SetCounts(const TGradeCounts &Counts) {
    const QStringList Labels = GradeLabels(Counts);
    const int Values[3] = {Counts.Good, Counts.Medium, Counts.Bad};
    const auto Slices = FSeries->slices();
    for (int i = 0; i < 3; ++i) {
        Slices[i]->setValue(Values[i]);
        Slices[i]->setLabel(Labels[i]);
    }
    QString Title = _(TitleId);
    Title.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
    chart()->setTitle(Title);
    viewport()->update();
}

void TScoreChart::SetBackground(const QColor &Color) {
    chart()->setBackgroundBrush(Color);
    setBackgroundBrush(Color);
}

QString TScoreChart::TitleText() const {
    QString T = chart()->title();
    T.replace(QLatin1String("<br>"), QLatin1String("\n"));
    return T;
}

} // namespace corvane
