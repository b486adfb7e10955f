#pragma once
// Small builders the dialogs share: a widget with its object name (the name
// tests and the settings find it by) and a number box of a fixed width.
#include <QFontMetrics>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <utility>

namespace dialog_widgets {

// A new Widget(args..., parent) named `name`.
template <class Widget, class... Args>
Widget* named(const QString& name, QWidget* parent, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    return widget;
}

// A box exactly wide enough for `widest`; the dialog does not stretch it.
inline QLineEdit* numberBox(const QString& name, const QString& widest, QWidget* parent) {
    auto* box = named<QLineEdit>(name, parent);
    const QFontMetrics metrics = box->fontMetrics();
    box->setFixedWidth(metrics.horizontalAdvance(widest) + metrics.height());
    return box;
}

} // namespace dialog_widgets
