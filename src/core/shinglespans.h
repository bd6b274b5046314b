// Where each shingle of a text stands: the words BuildShingles cuts a text
// into, the words each of its shingles covers, and the passages of a text
// that a chosen set of shingles covers (what two pages share, what the site's
// template shows).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QString>
#include <QStringView>

namespace corvane {

// One element of the word array that BuildShingles splits a text into, as
// UTF-16 offsets into that text: [Begin, End). Every element counts, stop
// words, the last element and empty elements (two separators in a row, which
// normalised text never holds) included; a word's index is its place here.
struct TTextWord {
    qsizetype Begin = 0;
    qsizetype End = 0;
};

std::vector<TTextWord> SplitShingleWords(const QString &Text);

// The number of elements SplitShingleWords gives: a page's word count.
std::int32_t CountShingleWords(const QString &Text);

// One shingle: its hash and the indices of its first and last word. Between
// them lie the stop words it passed over, when stop words are skipped.
struct TShingleSpan {
    std::int64_t Hash = 0;
    std::int32_t FirstWord = 0;
    std::int32_t LastWord = 0;
};

// One span per shingle that BuildShingles collects for the same arguments, in
// the order it collects them (repeats kept): the distinct hashes are exactly
// its table.
std::vector<TShingleSpan> BuildShingleSpans(const QString &Text, QStringView Lang, int N,
                                            bool SkipStopWords);

// A run of consecutive words: the index of its first word, its word count
// and its text, the stretch of the given text from the first character of
// its first word to the last of its last word (letter case and line breaks
// as they stand there).
struct TPassage {
    std::int32_t FirstWord = 0;
    std::int32_t WordCount = 0;
    QString Text;
};

// The words of Text covered by the shingles whose hash Selected accepts (a
// shingle covers its words from the first to the last), merged into maximal
// runs, in text order.
std::vector<TPassage> CoveredPassages(const QString &Text, QStringView Lang, int N,
                                      bool SkipStopWords,
                                      const std::function<bool(std::int64_t)> &Selected);

struct TSharedPassages {
    std::vector<TPassage> First;  // passages of the first text
    std::vector<TPassage> Second; // passages of the second text
};

// What two texts share: for each, the passages covered by its shingles whose
// hashes the other text also holds. Order does not matter: a passage moved
// elsewhere in the other text is found all the same.
TSharedPassages FindSharedPassages(const QString &First, const QString &Second, QStringView Lang,
                                   int N, bool SkipStopWords);

} // namespace corvane
