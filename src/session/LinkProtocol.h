#pragma once
// The names the link on the D-Bus session bus is known by, shared by the link
// server in the program and by its command-line client: the object, the
// interface, the items, the error names, and how a bus name is made from the
// executable's base name. Changing any of them breaks every client in the labs.
#include <QString>
#include <QStringList>
#include <QVariant>

namespace LinkProtocol {

// The DDE topic "Control" becomes the object path.
inline const QString ObjectPath = QStringLiteral("/Control");
// Versioned: an incompatible change gets Link2 beside it, never a changed Link1.
inline const QString Interface = QStringLiteral("org.cyclomarkator.Link1");
inline const QString ServicePrefix = QStringLiteral("org.cyclomarkator.");
inline const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// The items a client reads as properties and is told of when they change:
// every caption Request answers but the fixed headings Label5(0..4). Only
// Label_AD_cmd is also written (the poke).
inline const QString VoltageItem = QStringLiteral("Label_AD_get_Voltage");
inline const QString CountItem = QStringLiteral("Label_AD_get_cyclomarkator");
inline const QString MinorCountItem = QStringLiteral("Label_AD_get_cyclomarkator2");
inline const QString TriggerItem = QStringLiteral("Label_AD_trigger");
inline const QString CommandItem = QStringLiteral("Label_AD_cmd");
inline const QString ChannelListItem = QStringLiteral("Combo_AD_channel"); // the chosen channel
// The specimen watch's items, read-only: its one-line state (s), N_f (i, -1
// while nothing failed), the failure's criterion (s: amplitude, peak, valley,
// empty while nothing failed) and the reference in volts (d each; all three 0
// while no reference is taken: a reference amplitude is never 0).
inline const QString WatchStateItem = QStringLiteral("Watch_State");
inline const QString WatchNfItem = QStringLiteral("Watch_Nf");
inline const QString WatchCriterionItem = QStringLiteral("Watch_Criterion");
inline const QString WatchReferencePeakItem = QStringLiteral("Watch_ReferencePeak");
inline const QString WatchReferenceValleyItem = QStringLiteral("Watch_ReferenceValley");
inline const QString WatchReferenceAmplitudeItem = QStringLiteral("Watch_ReferenceAmplitude");
const QStringList& propertyItems();
// The D-Bus type of a property ("s", "i", "d") and its value on the bus made
// from its caption (a number's caption is written with a decimal point).
QString propertyType(const QString& item);
QVariant propertyValue(const QString& item, const QString& caption);

// Errors of our own interface; the standard interfaces answer with the
// standard org.freedesktop.DBus.Error names.
inline const QString UnknownItemError = QStringLiteral("org.cyclomarkator.Link1.Error.UnknownItem");
inline const QString InvalidValueError =
    QStringLiteral("org.cyclomarkator.Link1.Error.InvalidValue");
inline const QString NotSavedError = QStringLiteral("org.cyclomarkator.Link1.Error.NotSaved");
inline const QString NotOpenError = QStringLiteral("org.cyclomarkator.Link1.Error.NotOpen");
inline const QString BusyError = QStringLiteral("org.cyclomarkator.Link1.Error.Busy");
inline const QString TooManyConversationsError =
    QStringLiteral("org.cyclomarkator.Link1.Error.TooManyConversations");

// Longest execute string or poked text taken; longer ones are refused whole
// rather than cut, so that no half command is ever carried out.
constexpr int MaxCommandLength = 4096;

// The bus name for `name`: a name with a dot is taken as a whole bus name,
// anything else as the executable's base name behind "org.cyclomarkator.".
// Characters a bus name may not hold become '_', and so does an element that
// would start with a digit get a leading '_'. Empty when even that gives no
// valid name (a whole name with an empty element, say).
QString serviceNameFor(const QString& name);
// The default bus name of a program: "org.cyclomarkator." and its base name,
// cleaned as above (a dot in it becomes '_' too).
QString programServiceName(const QString& baseName);

// The session bus the way the desktop announces it: $DBUS_SESSION_BUS_ADDRESS,
// else the user's bus socket in $XDG_RUNTIME_DIR. Empty when there is none;
// we never let the D-Bus library start a bus of its own.
QString sessionBusAddress();

} // namespace LinkProtocol
