// Shared pieces of the corvane-cli subcommands.
#pragma once

#include <QString>
#include <QStringList>

namespace corvane::cli {

enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2, ExitHttp = 3, ExitAborted = 130 };

void printOut(const QString &Text); // UTF-8 to stdout
void printErr(const QString &Text); // UTF-8 to stderr, a line

// Thrown for bad arguments; main prints the message and exits with ExitUsage.
struct UsageError {
    QString message;
};

// A minimal option reader: "--name value", "--name=value" and flags.
class Args {
public:
    explicit Args(QStringList args) : rest(std::move(args)) {}
    bool flag(const QString &name);
    // The value of an option, or def when absent; a missing value is a UsageError.
    QString value(const QString &name, const QString &def = {});
    QStringList values(const QString &name);
    int intValue(const QString &name, int def, int min, int max);
    bool onOff(const QString &name, bool def);
    // What is left once every option was taken: positionals; an unknown
    // option is a UsageError.
    QStringList positionals();

private:
    QStringList rest;
};

// The two text files of compare and shared, normalised as the free-text
// window normalises its panes; false after printing the window's warning
// when one has no content (text 1 is examined first).
bool readTwoTexts(const QStringList &files, QString (&texts)[2]);

// A file's bytes. Throws UsageError.
QByteArray readFileBytes(const QString &path);

// A UTF-8 text file as the text panes hand it over: byte-order mark skipped,
// every line break (CR LF, CR or LF) written as CR LF. Throws UsageError.
QString readTextFile(const QString &path);

// A subcommand: its name, its help paragraph and its entry point.
struct Command {
    const char *name;
    const char *usage;
    int (*run)(const QStringList &args);
};

extern const Command CompareCommand;
extern const Command DiffCommand;
extern const Command CheckCommand;
extern const Command ExtractCommand;
extern const Command SharedCommand;
extern const Command HistoryCommand;

} // namespace corvane::cli
