#include <gtest/gtest.h>

#include "core/crc.h"
#include "ui/compare/textdiff_rows.h"
#include "ui/qt_print.h"

using namespace corvane;

namespace {

// A row as "kind|left number|left text|right number|right text".
QStringList rowStrings(const std::vector<TDiffObj> &rows) {
    QStringList out;
    for (const TDiffObj &r : rows)
        out << QStringLiteral("%1|%2|%3|%4|%5")
                   .arg(ChangeKindSymbol(r.ChgKind))
                   .arg(r.LLineNum)
                   .arg(r.LText)
                   .arg(r.RLineNum)
                   .arg(r.RText);
    return out;
}

} // namespace

TEST(DiffRows, SplitsAtEveryKindOfBreakAndTrims) {
    struct Case {
        QString text;
        QStringList lines;
    };
    const Case cases[] = {
        {QString(), {}},
        {QStringLiteral("one"), {QStringLiteral("one")}},
        // A final break starts no extra line; an empty line between breaks counts.
        {QStringLiteral("one\r\n"), {QStringLiteral("one")}},
        {QStringLiteral("\r\n"), {QString()}},
        {QStringLiteral("a\r\n\r\nb"), {QStringLiteral("a"), QString(), QStringLiteral("b")}},
        {QStringLiteral("a\nb\rc\r\nd\n\re"),
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
          QString(), QStringLiteral("e")}},
        // Everything up to U+0020 goes from both ends, nothing from the middle.
        {QStringLiteral(" \t\x01 a  b \x1f\n\t"), {QStringLiteral("a  b"), QString()}},
        {QStringLiteral("\u00a0x\u00a0"), {QStringLiteral("\u00a0x\u00a0")}},
    };
    for (const Case &c : cases) EXPECT_EQ(SplitDiffLines(c.text), c.lines) << c.text.toStdString();

    const QStringList lines{QStringLiteral("Mixed Case  line"), QStringLiteral("mixedcase\tLINE")};
    const auto keys = DiffLineKeys(lines);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], keys[1]);
    EXPECT_EQ(keys[0], std::int32_t(LineHash(lines[0], true, true)));
}

TEST(DiffRows, RowsOfTypicalEdits) {
    const QString base = QStringLiteral("first line\r\nsecond line\r\nthird line");
    struct Case {
        const char *name;
        QString text1, text2;
        QStringList rows;
    };
    const Case cases[] = {
        {"identical",
         base,
         base,
         {QStringLiteral("=|1|first line|1|first line"),
          QStringLiteral("=|2|second line|2|second line"),
          QStringLiteral("=|3|third line|3|third line")}},
        {"inserted line",
         base,
         QStringLiteral("first line\r\nnew line\r\nsecond line\r\nthird line"),
         {QStringLiteral("=|1|first line|1|first line"), QStringLiteral("+|0||2|new line"),
          QStringLiteral("=|2|second line|3|second line"),
          QStringLiteral("=|3|third line|4|third line")}},
        {"case and blanks only",
         base,
         QStringLiteral("First Line\r\n  second\tline \r\nthird line"),
         {QStringLiteral("=|1|first line|1|First Line"),
          QStringLiteral("=|2|second line|2|second\tline"),
          QStringLiteral("=|3|third line|3|third line")}},
        {"changed line",
         base,
         QStringLiteral("first line\r\nother line\r\nthird line"),
         {QStringLiteral("=|1|first line|1|first line"),
          QStringLiteral("<>|2|second line|2|other line"),
          QStringLiteral("=|3|third line|3|third line")}},
        {"three lines more at the end",
         base,
         base + QStringLiteral("\r\nfour\r\nfive\r\nsix\r\n"),
         {QStringLiteral("=|1|first line|1|first line"),
          QStringLiteral("=|2|second line|2|second line"),
          QStringLiteral("=|3|third line|3|third line"), QStringLiteral("+|0||4|four"),
          QStringLiteral("+|0||5|five"), QStringLiteral("+|0||6|six")}},
        {"deleted line",
         base,
         QStringLiteral("first line\nthird line"),
         {QStringLiteral("=|1|first line|1|first line"), QStringLiteral("-|2|second line|0|"),
          QStringLiteral("=|3|third line|2|third line")}},
        {"empty text 1", QString(), QStringLiteral("a"), {QStringLiteral("+|0||1|a")}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(rowStrings(BuildDiffRows(c.text1, c.text2)), c.rows) << c.name;
}
