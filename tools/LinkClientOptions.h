#pragma once
// The command line of cyclomarkator-link, the link's command-line client:
// one command with its arguments, and which counter to talk to.
#include <QString>
#include <QStringList>

struct LinkClientOptions {
    enum class Command { None, Get, Watch, SetCount, Exec, Poke, Open };
    Command command = Command::None;
    QStringList arguments; // ITEM for get, items for watch, N or TEXT otherwise
    QString serviceName;   // the counter's bus name
    bool help = false;

    // `arguments` without the program name. False with `error` set on a bad
    // command line.
    static bool parse(const QStringList& arguments, LinkClientOptions& options, QString& error);
    static QString usage();
};
