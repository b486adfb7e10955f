#pragma once
// The program's identity on the desktop: the desktop entry its windows belong
// to (a Wayland compositor takes their icon and name from it) and the window
// icon, drawn from the program's own SVG so that it is the same where the
// program was built and where it is installed. Needs a QGuiApplication.
#include <QString>

namespace DesktopIdentity {
// The AppStream id, also the name of the desktop entry and of the icon.
inline const QString Id = QStringLiteral("org.cyclomarkator.Cyclomarkator");
void apply();
} // namespace DesktopIdentity
