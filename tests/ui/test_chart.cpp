// The uniqueness distribution chart.
#include "uitest.h"

#include "core/i18n.h"
#include "ui/main/chart.h"

#include <QChart>
#include <QPieSeries>
#include <QPieSlice>

using namespace corvane;
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
