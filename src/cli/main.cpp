// corvane-cli: the checking engine without the window.
#include <clocale>
#include <exception>

#include "cli.h"

using namespace corvane::cli;

namespace {

const char *const Usage = R"(Usage: corvane-cli COMMAND [OPTIONS]

Commands:
  compare FILE1 FILE2 [--shingle-length N] [--stop-words on|off] [--json]
      Similarity of two UTF-8 text files, computed as the free-text comparison
      window computes it: line breaks written as CR LF, the text normalised, cut
      into shingles of N words (3 to 10, default 6), stop words passed over
      unless --stop-words off, and the two shingle sets compared (Dice
      coefficient, percent). A UTF-8 byte-order mark is skipped.
      Prints the similarity with two decimals (e.g. 57.14); with --json one
      object {"similarity": <full precision>, "shingles1": <count>,
      "shingles2": <count>}.
      Exit status 2 when a text has nothing to compare after normalisation,
      when a file cannot be read, or for bad arguments.

  --help, -h    this text
  --version     the program's version
)";

} // namespace

int main(int argc, char **argv) {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty()) {
        printErr(QString::fromUtf8(Usage).trimmed());
        return ExitUsage;
    }
    const QString command = args.takeFirst();
    if (command == u"--help" || command == u"-h" || command == u"help") {
        printOut(QString::fromUtf8(Usage));
        return ExitOk;
    }
    if (command == u"--version") {
        printOut(QStringLiteral("corvane-cli " CORVANE_VERSION "\n"));
        return ExitOk;
    }
    try {
        if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
            printOut(QString::fromUtf8(Usage));
            return ExitOk;
        }
        if (command == u"compare") return runCompare(args);
        throw UsageError{QStringLiteral("unknown command \"%1\"; see corvane-cli --help").arg(command)};
    } catch (const UsageError &e) {
        printErr(QStringLiteral("corvane-cli: ") + e.message);
        return ExitUsage;
    } catch (const std::exception &e) {
        printErr(QStringLiteral("corvane-cli: ") + QString::fromUtf8(e.what()));
        return ExitFailure;
    }
}
