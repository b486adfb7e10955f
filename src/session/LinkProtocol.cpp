#include "session/LinkProtocol.h"

#include <QFileInfo>

namespace LinkProtocol {
namespace {
constexpr qsizetype MaxBusNameLength = 255;

bool allowedInBusName(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') ||
           u == u'_' || u == u'-';
}

QString cleanElement(const QString& element) {
    QString clean;
    clean.reserve(element.size() + 1);
    for (const QChar c : element)
        clean += allowedInBusName(c) ? c : QChar(u'_');
    if (clean.isEmpty() || clean.front().isDigit())
        clean.prepend(u'_');
    return clean;
}
} // namespace

const QStringList& propertyItems() {
    static const QStringList items{VoltageItem,
                                   CountItem,
                                   MinorCountItem,
                                   TriggerItem,
                                   CommandItem,
                                   QStringLiteral("Label_Periodizitaet"),
                                   QStringLiteral("Label_TrigEvents"),
                                   QStringLiteral("Label_TrigCount"),
                                   QStringLiteral("Label_Status"),
                                   ChannelListItem,
                                   WatchStateItem,
                                   WatchNfItem,
                                   WatchCriterionItem,
                                   WatchReferencePeakItem,
                                   WatchReferenceValleyItem,
                                   WatchReferenceAmplitudeItem};
    return items;
}

QString propertyType(const QString& item) {
    if (item == WatchNfItem)
        return QStringLiteral("i");
    if (item == WatchReferencePeakItem || item == WatchReferenceValleyItem ||
        item == WatchReferenceAmplitudeItem)
        return QStringLiteral("d");
    return QStringLiteral("s");
}

QVariant propertyValue(const QString& item, const QString& caption) {
    const QString type = propertyType(item);
    if (type == u"i")
        return caption.toInt();
    if (type == u"d")
        return caption.toDouble();
    return caption;
}

QString serviceNameFor(const QString& name) {
    QString result;
    if (!name.contains(u'.')) {
        result = ServicePrefix + cleanElement(name);
    } else {
        QStringList elements = name.split(u'.');
        // "a..b" or ".a" has no element to clean up; guessing one would talk
        // to a program nobody meant.
        for (QString& element : elements) {
            if (element.isEmpty())
                return {};
            element = cleanElement(element);
        }
        result = elements.join(u'.');
    }
    return result.size() <= MaxBusNameLength ? result : QString();
}

QString programServiceName(const QString& baseName) {
    const QString result = ServicePrefix + cleanElement(baseName);
    return result.size() <= MaxBusNameLength ? result : QString();
}

QString sessionBusAddress() {
    const QString announced = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!announced.isEmpty())
        return announced;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists())
        return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    return {};
}

} // namespace LinkProtocol
