// The English catalog: complete for the sources, and switchable at run time.
#include <clocale>
#include <cstdlib>

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/i18n.h"

using namespace corvane;

namespace {

// Reads the msgid/msgstr pairs of a .po or .pot file (C escapes kept as written).
QMap<QString, QString> ReadPo(const QString &FileName) {
    QMap<QString, QString> Entries;
    QFile F(FileName);
    if (!F.open(QIODevice::ReadOnly)) return Entries;
    QString Id, Str, *Cur = nullptr;
    bool Fuzzy = false, NextFuzzy = false;
    auto Flush = [&] {
        if (Cur && !Id.isEmpty()) Entries.insert(Id, Fuzzy ? QString() : Str);
        Id.clear();
        Str.clear();
        Cur = nullptr;
    };
    auto Quoted = [](const QString &L) {
        const qsizetype A = L.indexOf(u'"'), B = L.lastIndexOf(u'"');
        return A >= 0 && B > A ? L.mid(A + 1, B - A - 1) : QString();
    };
    for (const QString &Raw : QString::fromUtf8(F.readAll()).split(u'\n')) {
        const QString L = Raw.trimmed();
        if (L.startsWith(QLatin1String("#,")) && L.contains(QLatin1String("fuzzy")))
            NextFuzzy = true;
        if (L.startsWith(QLatin1String("msgid "))) {
            Flush();
            Fuzzy = NextFuzzy;
            NextFuzzy = false;
            Id = Quoted(L);
            Cur = &Id;
        } else if (L.startsWith(QLatin1String("msgstr "))) {
            Str = Quoted(L);
            Cur = &Str;
        } else if (L.startsWith(u'"') && Cur) {
            *Cur += Quoted(L);
        }
    }
    Flush();
    return Entries;
}

} // namespace

TEST(UiCatalog, EveryMessageIdOfTheSourcesHasAnEnglishTranslation) {
    QTemporaryDir Tmp;
    const QString Src = QStringLiteral(CORVANE_SOURCE_DIR "/src");
    QStringList Files;
    QDirIterator It(Src, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (It.hasNext()) Files << QDir(Src).relativeFilePath(It.next());
    Files.sort();
    const QString Pot = Tmp.filePath(QStringLiteral("Corvane.pot"));
    QProcess X;
    X.setWorkingDirectory(Src);
    X.start(QStringLiteral(CORVANE_XGETTEXT),
            QStringList{QStringLiteral("--from-code=UTF-8"), QStringLiteral("--language=C++"),
                        QStringLiteral("--keyword=_"), QStringLiteral("--keyword=N_"),
                        QStringLiteral("--no-wrap"), QStringLiteral("-o"), Pot} +
                Files);
    ASSERT_TRUE(X.waitForFinished(60000));
    ASSERT_EQ(X.exitCode(), 0) << X.readAllStandardError().toStdString();

    const auto Ids = ReadPo(Pot);
    const auto En = ReadPo(QStringLiteral(CORVANE_SOURCE_DIR "/locale/en.po"));
    ASSERT_GT(Ids.size(), 20);
    QStringList Missing;
    for (auto I = Ids.cbegin(); I != Ids.cend(); ++I)
        if (En.value(I.key()).isEmpty()) Missing << QStringLiteral("msgid \"%1\"").arg(I.key());
    EXPECT_TRUE(Missing.isEmpty())
        << "Message ids without an English translation in locale/en.po:\n"
        << Missing.join(u'\n').toStdString();
}

TEST(UiCatalog, SwitchesLanguageAtRunTimeWhateverTheProcessLocale) {
    // A process started with LANG unset and the "C" locale.
    const QByteArray OldLang = qgetenv("LANG"), OldLanguage = qgetenv("LANGUAGE");
    qunsetenv("LANG");
    qunsetenv("LANGUAGE");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    std::setlocale(LC_ALL, "C");
    BindCatalogDir(QStringLiteral(CORVANE_APPDIR "/locale"));

    struct Step {
        const char *Code;
        const char *Expected;
    };
    // Back and forth, so a stale libintl cache would show.
    const Step Steps[] = {
        {"en", "Program started"},    {"ru", "Запуск программы"}, {"en", "Program started"},
        {"en_GB", "Program started"}, // the two-letter folder is the fallback
        {"de", "Запуск программы"},   // no catalog: the id itself
        {"en", "Program started"},
    };
    for (const Step &S : Steps) {
        SetCatalogLanguage(QString::fromLatin1(S.Code));
        EXPECT_EQ(_("Запуск программы"), QString::fromUtf8(S.Expected)) << S.Code;
    }
    // A message that is not in the catalog comes back as it is.
    EXPECT_EQ(_("Нет такого сообщения"), QStringLiteral("Нет такого сообщения"));

    SetCatalogLanguage(QStringLiteral("ru"));
    qputenv("LANG", OldLang);
    if (!OldLanguage.isNull()) qputenv("LANGUAGE", OldLanguage);
}
