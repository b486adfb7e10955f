#include "common/CommandSplit.h"

#include <utility>

CommandSplit CommandSplit::split(const QString& command) {
    CommandSplit result;
    QString argument;
    bool inArgument = false; // "" starts an argument although it adds nothing
    QChar quote;             // the open quote, or null
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (quote == u'\'') {
            if (c == u'\'')
                quote = QChar();
            else
                argument += c;
        } else if (c == u'\\') {
            if (++i == command.size()) {
                result.error = QStringLiteral("it ends with a backslash that escapes nothing");
                result.arguments.clear();
                return result;
            }
            argument += command[i];
            inArgument = true;
        } else if (quote == u'"') {
            if (c == u'"')
                quote = QChar();
            else
                argument += c;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            inArgument = true;
        } else if (c == u' ' || c == u'\t') {
            if (inArgument)
                result.arguments << std::exchange(argument, QString());
            inArgument = false;
        } else {
            argument += c;
            inArgument = true;
        }
    }
    if (!quote.isNull()) {
        result.error = QStringLiteral("its %1 quote is not closed").arg(quote);
        result.arguments.clear();
        return result;
    }
    if (inArgument)
        result.arguments << argument;
    return result;
}
