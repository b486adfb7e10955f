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

    // `arguments` without the program name; `counter`: the counter's name
    // when --name gives none. False with `error` set on a bad command line.
    static bool parse(const QStringList& arguments, LinkClientOptions& options, QString& error,
                      const QString& counter = QStringLiteral("Cyclomarkator"));
    // The name of the counter beside the client at `clientPath`, whose bus
    // name follows its executable's name: "cyclomarkator" where installed,
    // "Cyclomarkator" where built.
    static QString counterBeside(const QString& clientPath);
    static QString usage();
};
