// What a checked page says about itself that bears on duplicates: its
// canonical URL and noindex (from its markup), and its word count.
#pragma once

#include <cstdint>

#include <QString>

namespace corvane {

struct TPageSignals {
    QString Canonical;           // the canonical URL the page names; empty when none
    bool NoIndex = false;        // the page asks not to be indexed
    std::int32_t WordCount = -1; // words of its normalised text (CountShingleWords); -1 unknown
};

} // namespace corvane
