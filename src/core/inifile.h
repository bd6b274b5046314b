// A small INI file reader/writer that keeps the file's form: lines it does not
// change (other sections, other keys, comments) are written back untouched,
// and a save replaces the file atomically.
#pragma once

#include <optional>

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace corvane {

class TIniFile {
public:
    explicit TIniFile(const QString &FileName);

    const QString &FileName() const { return FFileName; }
    bool Exists() const { return FExists; }

    // Reads the file again (a missing or unreadable file reads as empty).
    void Reload();

    std::optional<QString> Value(const QString &Section, const QString &Key) const;
    QString ReadString(const QString &Section, const QString &Key, const QString &Default) const;
    // A value that is not a whole number counts as missing.
    int ReadInteger(const QString &Section, const QString &Key, int Default) const;
    // Any whole number other than 0 is true.
    bool ReadBool(const QString &Section, const QString &Key, bool Default) const;

    // Sets a key in memory (appended to its section, which is created when missing).
    void WriteString(const QString &Section, const QString &Key, const QString &Value);
    void WriteInteger(const QString &Section, const QString &Key, int Value);
    void WriteBool(const QString &Section, const QString &Key, bool Value);

    // Writes the whole file through a temporary file renamed over it; on
    // failure the old file is untouched and false is returned.
    bool Save(QString *ErrorText = nullptr);

private:
    int FindSection(const QString &Section) const;
    int FindKey(int SectionLine, const QString &Key) const;

    QString FFileName;
    bool FExists = false;
    QStringList FLines;
};

} // namespace corvane
