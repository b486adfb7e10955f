#pragma once
// The bytes of a picture file: PNG, or SVG when the name ends in .svg. The
// caller paints; encoding happens in memory so that a failed write is the
// output file's own and tells why.
#include <QByteArray>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

// False when the picture could not be encoded.
bool encodePicture(const QString& path, QSize size, const QString& title,
                   const std::function<void(QPainter&)>& paint, QByteArray& bytes);
