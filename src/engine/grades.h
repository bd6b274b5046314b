// The three grades of uniqueness that the window's chart and the HTML report
// show: good (above 85), medium (65 to 85) and bad (below 65).
#pragma once

#include <cstdint>

#include <QStringList>

namespace corvane {

enum TGrade : std::uint8_t { grGood, grMedium, grBad, grCount };

struct TGradeRgb {
    int R, G, B;
};

// The slice colours of the chart, by grade.
inline constexpr TGradeRgb GradeColors[grCount] = {{12, 207, 109}, {255, 166, 0}, {255, 80, 66}};

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

} // namespace corvane
