// The uniqueness distribution pie: good, medium and bad shares of the last check.
#pragma once

#include <QChartView>
#include <QStringList>

class QLabel;
class QPieSeries;

namespace corvane::ui {

struct TGradeCounts {
    int Good = 0;
    int Medium = 0;
    int Bad = 0;
    int Total() const { return Good + Medium + Bad; }
};

// Counts one task: skipped without results, with a non-zero error code or
// without a computed uniqueness (below 0); above 100 it counts nowhere.
void CountGrade(TGradeCounts &Counts, bool HasResults, int ErrorCode, double Uniqueness);

// Count / Total * 100 rounded to a whole number, halves to the even neighbour;
// 0 when Total is 0.
int GradePercent(int Count, int Total);

// The three legend labels, translated: good, medium, bad.
QStringList GradeLabels(const TGradeCounts &Counts);

// The pie (Qt Charts) with the title above it and the legend below it as a
// column of swatches and labels.
class TScoreChart : public QWidget {
public:
    explicit TScoreChart(QWidget *Parent = nullptr);

    // Sets the slice values, the labels and the title in the current language.
    void SetCounts(const TGradeCounts &Counts);
    void SetBackground(const QColor &Color);

    QPieSeries *Series() const { return FSeries; }
    // The grey disc drawn in place of the slices while nothing is counted.
    QPieSeries *EmptyDisc() const { return FEmpty; }
    QChartView *View() const { return FView; }
    QString TitleText() const;
    QFont TitleFont() const;
    QStringList LegendTexts() const;

private:
    QChartView *FView;
    QPieSeries *FSeries;
    QPieSeries *FEmpty; // a grey disc while nothing is counted
    QLabel *FTitle;
    QLabel *FLegend[3];
};

} // namespace corvane::ui
