#include "session/CommandLine.h"

#include "session/LinkProtocol.h"

#include <optional>

namespace {
// A whole number within [min, max], or nothing.
std::optional<int> boundedNumber(const QString& text, int min, int max) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= min && value <= max ? std::optional<int>(value) : std::nullopt;
}
} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--test-clock-rate" || argument == u"--test-tick-ms") {
            const bool rate = argument == u"--test-clock-rate";
            const std::optional<int> value =
                i + 1 < arguments.size() ? boundedNumber(arguments[i + 1], 1, rate ? 10000 : 1000)
                                         : std::nullopt;
            if (!value) {
                line.error = QStringLiteral("%1 needs a whole number from 1 to %2")
                                 .arg(argument)
                                 .arg(rate ? 10000 : 1000);
                return line;
            }
            (rate ? line.clockRate : line.tickMs) = *value;
            ++i;
        } else if (argument == u"--headless") {
            line.headless = true;
        } else if (argument == u"--help" || argument == u"-h") {
            line.help = true;
        } else if (argument == u"--version") {
            line.version = true;
        } else if (argument == u"--config-dir") {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                line.error = QStringLiteral("--config-dir needs a folder");
                return line;
            }
            line.configDir = arguments[++i];
        } else if (argument.startsWith(u"--config-dir=")) {
            line.configDir = argument.mid(13);
        } else if (argument == u"--link-name" || argument.startsWith(u"--link-name=")) {
            const bool joined = argument.size() > 11;
            if (!joined && i + 1 >= arguments.size()) {
                line.error = QStringLiteral("--link-name needs a name");
                return line;
            }
            line.linkName = joined ? argument.mid(12) : arguments[++i];
            if (LinkProtocol::serviceNameFor(line.linkName).isEmpty() || line.linkName.isEmpty()) {
                line.error =
                    QStringLiteral("--link-name \"%1\" gives no valid bus name").arg(line.linkName);
                return line;
            }
        } else {
            line.error = QStringLiteral("Unknown argument \"%1\" (see --help)").arg(argument);
            return line;
        }
    }
    return line;
}

QString CommandLine::usage(const QString& programName) {
    return QStringLiteral(
               "Usage: %1 [--config-dir DIR] [--headless] [--link-name NAME]\n"
               "Counts the stress cycles of a fatigue test and raises triggers at chosen "
               "counts.\n\n"
               "  --config-dir DIR  keep the settings file and the chart data in DIR; default:\n"
               "                    $XDG_DATA_HOME/cyclomarkator (~/.local/share/cyclomarkator)\n"
               "                    when installed, else the program's own folder\n"
               "  --headless        run without a window; messages go to stdout and stderr\n"
               "  --link-name NAME  serve the link on the session bus as org.cyclomarkator.NAME\n"
               "                    (a NAME with a dot is the whole bus name); default:\n"
               "                    org.cyclomarkator.<the program's base name>\n"
               "  --version         print the version\n"
               "  --help            print this text\n\n"
               "The A/D interface is the one the settings file names in section [HARDWARE],\n"
               "key A/D-Converter (\"Dummy A/D\" is the simulated device, \"(none)\" counts\n"
               "nothing); with a window, File > Setup... chooses it. --headless has no\n"
               "dialog: edit that key while the program is not running. A converter at an\n"
               "address (\"Linux Industrial I/O\", \"Modbus/TCP\", \"Recorded signal (replay)\")\n"
               "takes it from key Device= of the same section, as in replay:signal.csv.\n\n"
               "A converter that samples by its own clock is read as a stream when its address\n"
               "has rate=HZ (sim:rate=20000,frequency=300; iio:NAME?rate=HZ;\n"
               "replay:FILE?rate=HZ): every scan is counted, not one sample a tick.\n\n"
               "For testing only:\n"
               "  --test-clock-rate N  run the millisecond clock N times faster (1-10000)\n"
               "  --test-tick-ms N     count every N ms instead of every 40 ms (1-1000)\n\n"
               "Exit codes: 0 ended normally (window closed, SIGTERM, SIGINT, SIGHUP, logout, "
               "Exit,\n"
               "the link's STOP or UNLOAD); 1 another copy serves this program folder or "
               "temporary\n"
               "folder; 2 bad command line, or no display without --headless; 3 the settings file\n"
               "exists but cannot be read.\n")
        .arg(programName);
}
