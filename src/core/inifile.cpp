#include "core/inifile.h"

#include <QFile>
#include <QSaveFile>

namespace corvane {

namespace {

bool IsSectionLine(const QString &Line, QString *Name = nullptr) {
    const QString T = Line.trimmed();
    if (T.size() < 2 || !T.startsWith(u'[') || !T.endsWith(u']')) return false;
    if (Name) *Name = T.mid(1, T.size() - 2).trimmed();
    return true;
}

bool SplitKeyLine(const QString &Line, QString *Key, QString *Value) {
    const QString T = Line.trimmed();
    if (T.isEmpty() || T.startsWith(u';') || T.startsWith(u'#')) return false;
    const qsizetype Eq = T.indexOf(u'=');
    if (Eq <= 0) return false;
    *Key = T.left(Eq).trimmed();
    if (Value) *Value = T.mid(Eq + 1).trimmed();
    return true;
}

} // namespace

TIniFile::TIniFile(const QString &FileName) : FFileName(FileName) {
    Reload();
}

void TIniFile::Reload() {
    FLines.clear();
    QFile F(FFileName);
    FExists = F.exists();
    if (!F.open(QIODevice::ReadOnly)) return;
    QString Text = QString::fromUtf8(F.readAll());
    if (Text.startsWith(QChar(0xFEFF)))
        Text.remove(0, 1); // written by an editor with a byte-order mark
    Text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    FLines = Text.split(u'\n');
    if (!FLines.isEmpty() && FLines.last().isEmpty()) FLines.removeLast();
}

int TIniFile::FindSection(const QString &Section) const {
    QString Name;
    for (int i = 0; i < FLines.size(); ++i)
        if (IsSectionLine(FLines[i], &Name) && Name.compare(Section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TIniFile::FindKey(int SectionLine, const QString &Key) const {
    QString K;
    for (int i = SectionLine + 1; i < FLines.size() && !IsSectionLine(FLines[i]); ++i)
        if (SplitKeyLine(FLines[i], &K, nullptr) && K.compare(Key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

std::optional<QString> TIniFile::Value(const QString &Section, const QString &Key) const {
    const int S = FindSection(Section);
    if (S < 0) return std::nullopt;
    const int L = FindKey(S, Key);
    if (L < 0) return std::nullopt;
    QString K, V;
    SplitKeyLine(FLines[L], &K, &V);
    return V;
}

QString TIniFile::ReadString(const QString &Section, const QString &Key,
                             const QString &Default) const {
    return Value(Section, Key).value_or(Default);
}

int TIniFile::ReadInteger(const QString &Section, const QString &Key, int Default) const {
    const auto V = Value(Section, Key);
    if (!V) return Default;
    bool Ok = false;
    const int N = V->toInt(&Ok);
    return Ok ? N : Default;
}

bool TIniFile::ReadBool(const QString &Section, const QString &Key, bool Default) const {
    return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString &Section, const QString &Key, const QString &Value) {
    // Line breaks would split the entry; a value is one line.
    QString V = Value;
    V.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString Line = Key + u'=' + V;
    int S = FindSection(Section);
    if (S < 0) {
        if (!FLines.isEmpty() && !FLines.last().trimmed().isEmpty()) FLines << QString();
        FLines << u'[' + Section + u']' << Line;
        return;
    }
    const int L = FindKey(S, Key);
    if (L >= 0) {
        FLines[L] = Line;
        return;
    }
    // After the section's last key (blank lines before the next section stay below).
    int Insert = S + 1;
    for (int i = S + 1; i < FLines.size() && !IsSectionLine(FLines[i]); ++i)
        if (!FLines[i].trimmed().isEmpty()) Insert = i + 1;
    FLines.insert(Insert, Line);
}

void TIniFile::WriteInteger(const QString &Section, const QString &Key, int Value) {
    WriteString(Section, Key, QString::number(Value));
}

void TIniFile::WriteBool(const QString &Section, const QString &Key, bool Value) {
    WriteInteger(Section, Key, Value ? 1 : 0);
}

bool TIniFile::Save(QString *ErrorText) {
    QSaveFile F(FFileName);
    QByteArray Data;
    for (const QString &L : FLines) Data += L.toUtf8() + "\r\n";
    if (!F.open(QIODevice::WriteOnly) || F.write(Data) != Data.size() || !F.commit()) {
        if (ErrorText) *ErrorText = F.errorString();
        return false;
    }
    FExists = true;
    return true;
}

} // namespace corvane
