#include "LinkClientOptions.h"

#include "platform/ProgramHome.h"
#include "session/LinkProtocol.h"

#include <QHash>

bool LinkClientOptions::parse(const QStringList& arguments, LinkClientOptions& options,
                              QString& error, const QString& counter) {
    static const QHash<QString, Command> commands = {
        {"get", Command::Get},   {"watch", Command::Watch}, {"set-count", Command::SetCount},
        {"exec", Command::Exec}, {"poke", Command::Poke},   {"open", Command::Open}};
    QString name = counter;
    QStringList rest;
    bool literal = false; // after "--" nothing is an option
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (literal) {
            rest << argument;
        } else if (argument == u"--") {
            literal = true;
        } else if (argument == u"--help" || argument == u"-h") {
            options.help = true;
            return true;
        } else if (argument == u"--name") {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("--name needs the counter's name");
                return false;
            }
            name = arguments[++i];
        } else if (argument.startsWith(u"--name=")) {
            name = argument.mid(7);
        } else if (argument.size() > 1 && argument.startsWith(u'-')) {
            error = QStringLiteral("unknown option \"%1\" (see --help; a text starting with "
                                   "\"-\" goes after \"--\")")
                        .arg(argument);
            return false;
        } else {
            rest << argument;
        }
    }
    options.serviceName = LinkProtocol::serviceNameFor(name);
    if (name.isEmpty() || options.serviceName.isEmpty()) {
        error = QStringLiteral("\"%1\" gives no valid bus name").arg(name);
        return false;
    }
    if (rest.isEmpty()) {
        error = QStringLiteral("which command? (see --help)");
        return false;
    }
    const QString word = rest.takeFirst();
    options.command = commands.value(word, Command::None);
    options.arguments = rest;
    const qsizetype count = rest.size();
    bool fits = true;
    switch (options.command) {
    case Command::None:
        error = QStringLiteral("unknown command \"%1\" (see --help)").arg(word);
        return false;
    case Command::Get:
    case Command::SetCount:
    case Command::Exec:
    case Command::Poke:
        fits = count == 1;
        break;
    case Command::Open:
        fits = count == 0;
        break;
    case Command::Watch:
        break;
    }
    if (!fits)
        error = QStringLiteral("%1 takes %2 (see --help)")
                    .arg(word, options.command == Command::Open ? QStringLiteral("no argument")
                                                                : QStringLiteral("one argument"));
    return fits;
}

QString LinkClientOptions::counterBeside(const QString& clientPath) {
    return ProgramHome::isInstalled(clientPath) ? QStringLiteral("cyclomarkator")
                                                : QStringLiteral("Cyclomarkator");
}

QString LinkClientOptions::usage() {
    return QStringLiteral(
        "Usage: cyclomarkator-link [--name NAME] COMMAND [--] [ARGUMENT]\n"
        "Reads, watches and sets a running Cyclomarkator over the D-Bus session bus.\n"
        "\n"
        "Commands:\n"
        "  get ITEM          print the caption of a control of the counter's main window,\n"
        "                    e.g. Label_AD_get_cyclomarkator (the count) or Label_Status\n"
        "  watch [ITEM...]   print the items, then one line per change, each with a time\n"
        "                    stamp, until Ctrl+C (default: every item)\n"
        "  set-count N       set the cycle count (0 to 2147483647; saved before it is shown)\n"
        "  exec TEXT         send an execute string, e.g. \"AD_GET_CYCLOMARKATOR = 1500\"\n"
        "  poke TEXT         write TEXT into Label_AD_cmd: STOP ends the counter at once,\n"
        "                    UNLOAD closes it as its Exit menu does\n"
        "  open              hold a conversation open until Ctrl+C: the counter's user\n"
        "                    cannot close it meanwhile\n"
        "\n"
        "Options:\n"
        "  --name NAME       the counter's executable base name or, with a dot, its whole\n"
        "                    bus name (default: the counter beside this program,\n"
        "                    cyclomarkator where installed, Cyclomarkator where built)\n"
        "  --help            print this text\n"
        "\n"
        "Exit codes: 0 done; 1 the counter refused (unknown item, invalid value);\n"
        "2 bad command line; 3 no counter running, or no session bus.\n");
}
