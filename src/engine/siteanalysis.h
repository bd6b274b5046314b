// What the end of a check adds to its uniqueness: the duplicate groups, the
// site's template and, on request, the uniqueness of the pages without the
// template. Applied to the tasks' results, recomputed at once when its
// settings change, with no new download.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/duplicates.h"
#include "engine/sitetemplate.h"
#include "engine/typeslib.h"

namespace corvane {

struct TAnalysisSettings {
    int DuplicateThreshold = DefaultDuplicateThreshold; // 50..100
    int TemplatePercent = DefaultTemplatePercent;       // 1..100
    bool IgnoreTemplate = false;
    int ShingleLength = 6; // the check's, for the template's text
    bool SkipStopWords = true;
    bool operator==(const TAnalysisSettings &) const = default;
};

class TSiteAnalysis {
public:
    // Right after the uniqueness step: keeps the step's own values of every
    // task, so that turning the template option off brings them back.
    void Begin(const TURLTaskInfoList &List);
    // Groups and template from Settings, written into every checked task
    // (Group, Representative, GroupHandled, TemplateShare; with
    // IgnoreTemplate also Uniqueness and SimilArray). False, changing
    // nothing, when the list is no longer the one of Begin (an import or a
    // delete came between).
    bool Apply(TURLTaskInfoList &List, const TAnalysisSettings &Settings);
    bool Valid(const TURLTaskInfoList &List) const;
    void Clear();

    const TAnalysisSettings &Settings() const { return FSettings; }
    const TDuplicateGroups &Groups() const { return FGroups; }
    const TSiteTemplate &Template() const { return FTemplate; }
    // The template as text (computed on demand).
    TTemplateText TemplateText(const TURLTaskInfoList &List) const;
    // Task numbers of the pages left with no text without the template (only
    // while the template is ignored).
    const std::vector<std::int32_t> &Emptied() const { return FEmptied; }

private:
    std::vector<const TURLTaskResults *> FResults; // per list position, at Begin
    std::vector<double> FBaseUniqueness;
    std::vector<TURLSimilArray> FBaseSimil;
    TAnalysisSettings FSettings;
    TDuplicateGroups FGroups;
    TSiteTemplate FTemplate;
    std::vector<std::int32_t> FEmptied;
};

} // namespace corvane
