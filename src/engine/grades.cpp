#include "engine/grades.h"

#include <cfenv>
#include <cmath>

#include "core/i18n.h"

namespace corvane {

namespace {

const char *const GradeFormats[grCount] = {N_("Хорошо (%d%%)"), N_("Средне (%d%%)"),
                                           N_("Плохо (%d%%)")};

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
    return {FormatPercent(GradeFormats[grGood], GradePercent(Counts.Good, Total)),
            FormatPercent(GradeFormats[grMedium], GradePercent(Counts.Medium, Total)),
            FormatPercent(GradeFormats[grBad], GradePercent(Counts.Bad, Total))};
}

} // namespace corvane
