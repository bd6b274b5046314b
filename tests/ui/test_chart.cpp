// The uniqueness distribution chart.
#include <cmath>

#include <QChart>
#include <QPieSeries>
#include <QPieSlice>
#include <QSet>

#include "core/i18n.h"
#include "ui/main/chart.h"
#include "ui/main/urlcommands.h"
#include "ui/main/urllist.h"
#include "ui/uitest.h"

using namespace corvane;
using namespace corvane::ui;
using namespace corvane::test;

TEST(ChartGrades, BoundariesAndSkippedTasks) {
    struct Case {
        bool HasResults;
        int ErrorCode;
        double Uniqueness;
        int Good, Medium, Bad;
    };
    const Case Cases[] = {
        {true, 0, 100, 1, 0, 0},   {true, 0, 85.01, 1, 0, 0}, {true, 0, 85, 0, 1, 0},
        {true, 0, 65, 0, 1, 0},    {true, 0, 64.99, 0, 0, 1}, {true, 0, 0, 0, 0, 1},
        {true, 0, 100.5, 0, 0, 0}, // above 100: nowhere
        {true, 0, -1, 0, 0, 0},    // not computed yet
        {true, 404, 90, 0, 0, 0},  // failed with a code
        {false, 0, 90, 0, 0, 0},   // never checked
    };
    for (const Case &C : Cases) {
        TGradeCounts G;
        CountGrade(G, C.HasResults, C.ErrorCode, C.Uniqueness);
        EXPECT_EQ(G.Good, C.Good) << C.Uniqueness << " code " << C.ErrorCode;
        EXPECT_EQ(G.Medium, C.Medium) << C.Uniqueness;
        EXPECT_EQ(G.Bad, C.Bad) << C.Uniqueness;
    }
}

TEST(ChartLabels, PercentagesRoundHalvesToEven) {
    SetCatalogLanguage(QStringLiteral("ru"));
    struct Case {
        TGradeCounts Counts;
        QStringList Labels;
    };
    const Case Cases[] = {
        {{0, 0, 0}, {"Хорошо (0%)", "Средне (0%)", "Плохо (0%)"}},
        {{1, 3, 4}, {"Хорошо (12%)", "Средне (38%)", "Плохо (50%)"}}, // 12.5 -> 12, 37.5 -> 38
        {{1, 1, 1}, {"Хорошо (33%)", "Средне (33%)", "Плохо (33%)"}},
        {{1, 7, 0}, {"Хорошо (12%)", "Средне (88%)", "Плохо (0%)"}}, // 87.5 -> 88
        {{5, 0, 3}, {"Хорошо (62%)", "Средне (0%)", "Плохо (38%)"}}, // 62.5 -> 62
    };
    for (const Case &C : Cases) EXPECT_EQ(GradeLabels(C.Counts), C.Labels);
}

TEST(ChartWindow, SlicesColoursTitleAndNoInteraction) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    for (double u : {90, 70, 75, 80, 10, 20, 30, 40}) AddCheckedTask(*W->Tasks(), trOk, 0, u);
    AddCheckedTask(*W->Tasks(), trHTTPError, 404, 0); // not counted
    AddCheckedTask(*W->Tasks(), trSendError, 0, 0);   // a transfer error counts as bad
    W->TaskListChanged();
    const auto Slices = W->Chart()->Series()->slices();
    ASSERT_EQ(Slices.size(), 3);
    const QColor Colours[] = {QColor(12, 207, 109), QColor(255, 166, 0), QColor(255, 80, 66)};
    const double Values[] = {1, 3, 5};
    const QStringList Labels{QStringLiteral("Хорошо (11%)"), QStringLiteral("Средне (33%)"),
                             QStringLiteral("Плохо (56%)")};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Slices[i]->color(), Colours[i]);
        EXPECT_EQ(Slices[i]->value(), Values[i]);
        EXPECT_EQ(Slices[i]->label(), Labels[i]);
        EXPECT_FALSE(Slices[i]->isLabelVisible());
    }
    EXPECT_EQ(W->Chart()->TitleText(), QStringLiteral("Распределение\nуникальности"));
    EXPECT_EQ(W->Chart()->LegendTexts(), Labels);
    EXPECT_TRUE(W->Chart()->TitleFont().bold());
    EXPECT_FALSE(W->Chart()->View()->isInteractive());
    W->close();
}

namespace {

// The colours drawn inside the pie, away from the borders of the slices.
QSet<QRgb> PieColours(TScoreChart *Chart) {
    QChartView *View = Chart->View();
    const QImage Image = View->grab().toImage();
    const QRectF Plot = View->chart()->plotArea();
    const QPointF Centre = View->mapFromScene(Plot.center());
    const double Radius = std::min(Plot.width(), Plot.height()) / 2 * 0.96;
    QSet<QRgb> Colours;
    for (int k = 0; k < 9; ++k) {
        const double Angle = (10 + 40 * k) * M_PI / 180; // off 0, 120 and 240 degrees
        const QPoint P(int(Centre.x() + std::sin(Angle) * Radius / 2),
                       int(Centre.y() - std::cos(Angle) * Radius / 2));
        Colours << (Image.pixel(P) & 0xFFFFFF);
    }
    return Colours;
}

} // namespace

TEST(ChartWindow, AfterADeleteTheGreyDiscIsDrawnNotTheOldPie) {
    TAppFolder Folder;
    auto W = OpenWindow(1049);
    for (double u : {90, 70, 10}) AddCheckedTask(*W->Tasks(), trOk, 0, u);
    W->TaskListChanged();
    const QRgb Grey = QColor(224, 224, 224).rgb() & 0xFFFFFF;
    QSet<QRgb> Slices;
    for (QPieSlice *S : W->Chart()->Series()->slices()) Slices << (S->color().rgb() & 0xFFFFFF);
    EXPECT_EQ(PieColours(W->Chart()), Slices); // a third each

    // Deleting a row drops every result: nothing is counted any more.
    W->URLCommands()->View()->SelectTask(W->Tasks()->at(0));
    W->URLCommands()->miDeleteURLClick();
    for (QPieSlice *S : W->Chart()->Series()->slices()) EXPECT_EQ(S->value(), 0);
    EXPECT_FALSE(W->Chart()->Series()->isVisible());
    EXPECT_TRUE(W->Chart()->EmptyDisc()->isVisible());
    EXPECT_EQ(W->Chart()->LegendTexts(),
              (QStringList{QStringLiteral("Хорошо (0%)"), QStringLiteral("Средне (0%)"),
                           QStringLiteral("Плохо (0%)")}));
    EXPECT_EQ(PieColours(W->Chart()), QSet<QRgb>{Grey});

    // And back once there is something to count.
    W->Tasks()->at(0)->InitResults();
    W->Tasks()->at(0)->TaskResults->Uniqueness = 50;
    W->UpdateScoreChart();
    EXPECT_EQ(PieColours(W->Chart()), QSet<QRgb>{QColor(255, 80, 66).rgb() & 0xFFFFFF});
    W->close();
}
