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

// The value of `name VALUE` or `name=VALUE` at `i` (which then points at
// the last argument used), or nothing when the argument is another option.
// A value that is missing sets `missing`.
std::optional<QString> valueOf(const QStringList& arguments, qsizetype& i, const QString& name,
                               bool& missing) {
    const QString& argument = arguments[i];
    if (argument.startsWith(name + u'='))
        return argument.mid(name.size() + 1);
    if (argument != name)
        return std::nullopt;
    missing = i + 1 >= arguments.size();
    return missing ? QString() : arguments[++i];
}

// The options that take a value; false (with `line.error`) for one that is
// wrong, true when the argument is none of them or was taken.
bool takeValued(const QStringList& arguments, qsizetype& i, CommandLine& line, bool& taken) {
    bool missing = false;
    taken = true;
    if (const auto folder = valueOf(arguments, i, QStringLiteral("--config-dir"), missing)) {
        line.configDir = *folder;
        if (folder->isEmpty())
            line.error = QStringLiteral("--config-dir needs a folder");
    } else if (const auto name = valueOf(arguments, i, QStringLiteral("--link-name"), missing)) {
        line.linkName = *name;
        if (missing)
            line.error = QStringLiteral("--link-name needs a name");
        else if (name->isEmpty() || LinkProtocol::serviceNameFor(*name).isEmpty())
            line.error = QStringLiteral("--link-name \"%1\" gives no valid bus name").arg(*name);
    } else if (const auto converter =
                   valueOf(arguments, i, QStringLiteral("--converter"), missing)) {
        line.converter = *converter;
        if (missing)
            line.error = QStringLiteral("--converter needs a name (see --list-converters)");
    } else if (const auto device = valueOf(arguments, i, QStringLiteral("--device"), missing)) {
        line.device = *device;
        if (missing)
            line.error = QStringLiteral("--device needs an address");
    } else {
        taken = false;
    }
    return line.error.isEmpty();
}
} // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        bool taken = false;
        if (!takeValued(arguments, i, line, taken))
            return line;
        if (taken)
            continue;
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
        } else if (argument == u"--list-converters") {
            line.listConverters = true;
        } else {
            line.error = QStringLiteral("Unknown argument \"%1\" (see --help)").arg(argument);
            return line;
        }
    }
    if (line.device && !line.converter)
        line.error = QStringLiteral("--device goes with --converter NAME");
    return line;
}

QString CommandLine::usage(const QString& programName) {
    return QStringLiteral(
               "Usage: %1 [--config-dir DIR] [--headless] [--link-name NAME]\n"
               "       %1 [--config-dir DIR] --converter NAME [--device ADDRESS]\n"
               "       %1 --list-converters\n"
               "Counts the stress cycles of a fatigue test and raises triggers at chosen "
               "counts.\n\n"
               "  --config-dir DIR  keep the settings file and the chart data in DIR; default:\n"
               "                    $XDG_DATA_HOME/cyclomarkator (~/.local/share/cyclomarkator)\n"
               "                    when installed, else the program's own folder\n"
               "  --headless        run without a window; messages go to stdout and stderr\n"
               "  --link-name NAME  serve the link on the session bus as org.cyclomarkator.NAME\n"
               "                    (a NAME with a dot is the whole bus name); default:\n"
               "                    org.cyclomarkator.<the program's base name>\n"
               "  --list-converters  print the names --converter takes, and end\n"
               "  --converter NAME  write the A/D converter NAME into the rig's settings file,\n"
               "                    checked as File > Setup... checks it, and end without\n"
               "                    counting; refused while a copy runs on the rig\n"
               "  --device ADDRESS  with --converter: where a converter at an address is\n"
               "                    (iio:NAME, modbus-tcp://HOST[:PORT]?OPTIONS, replay:FILE)\n"
               "  --version         print the version\n"
               "  --help            print this text\n\n"
               "The A/D interface is the one the settings file names in section [HARDWARE],\n"
               "key A/D-Converter (\"Dummy A/D\" is the simulated device, \"(none)\" counts\n"
               "nothing); with a window, File > Setup... chooses it, without one\n"
               "--converter NAME [--device ADDRESS] does. A converter at an address\n"
               "(\"Linux Industrial I/O\", \"Modbus/TCP\", \"Recorded signal (replay)\") takes\n"
               "it from key Device= of the same section, as in replay:signal.csv.\n\n"
               "A converter that samples by its own clock is read as a stream when its address\n"
               "has rate=HZ (sim:rate=20000,frequency=300; iio:NAME?rate=HZ;\n"
               "replay:FILE?rate=HZ): every scan is counted, not one sample a tick.\n\n"
               "For testing only:\n"
               "  --test-clock-rate N  run the millisecond clock N times faster (1-10000)\n"
               "  --test-tick-ms N     count every N ms instead of every 40 ms (1-1000)\n\n"
               "Exit codes: 0 ended normally (window closed, SIGTERM, SIGINT, SIGHUP, logout,\n"
               "Exit, the link's STOP or UNLOAD) or the converter was written; 1 another copy\n"
               "serves this program folder or temporary folder; 2 bad command line, a converter\n"
               "--converter refuses, or no display without --headless; 3 the settings file\n"
               "exists but cannot be read.\n")
        .arg(programName);
}
