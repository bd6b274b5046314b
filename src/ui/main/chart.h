// The uniqueness distribution pie: good, medium and bad shares of the last check.
#pragma once

#include <QChartView>
#include <QStringList>

#include "engine/grades.h"

class QLabel;
class QPieSeries;

namespace corvane::ui {

// The grades live in the engine, where the HTML report counts them too.
using corvane::CountGrade;
using corvane::GradeLabels;
using corvane::GradePercent;
using corvane::TGradeCounts;

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
