// Text kept compactly in memory.
#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {

// A page's extracted text as a task keeps it after its check: UTF-8, and
// compressed when large, so a check of huge pages does not hold every text
// as UTF-16 for the rest of the session. Copies share the bytes.
class TCompactText {
public:
    TCompactText() = default;
    TCompactText(const QString &Text) { Set(Text); }
    TCompactText &operator=(const QString &Text) {
        Set(Text);
        return *this;
    }
    void Set(const QString &Text);
    QString Text() const;
    // The text as UTF-8 (no conversion unless it is kept compressed).
    QByteArray Utf8() const;
    operator QString() const { return Text(); }
    bool isEmpty() const { return FLength == 0; }
    qsizetype size() const { return FLength; } // in UTF-16 units, as the QString
    void clear() { *this = TCompactText(); }
    // Drops the characters but keeps the length, for a text kept elsewhere
    // (the store of checks): isEmpty and size answer as before, Text is empty.
    void Release() {
        FData.clear();
        FCompressed = false;
    }
    bool Released() const { return FLength != 0 && FData.isEmpty(); }
    // A released text of Length characters.
    static TCompactText ReleasedOfLength(qsizetype Length) {
        TCompactText t;
        t.FLength = Length;
        return t;
    }
    // Bytes held (for measurements).
    qsizetype StoredBytes() const { return FData.size(); }

    // Texts with more UTF-8 bytes than this are kept compressed.
    static constexpr qsizetype CompressAbove = 64 * 1024;

private:
    QByteArray FData;
    qsizetype FLength = 0;
    bool FCompressed = false;
};

} // namespace corvane
