#include "ui/DesktopIdentity.h"

#include <QGuiApplication>
#include <QIcon>

void DesktopIdentity::apply() {
    QGuiApplication::setDesktopFileName(Id);
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(Id)));
}
