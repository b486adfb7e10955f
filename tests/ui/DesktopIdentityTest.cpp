#include "ui/DesktopIdentity.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <gtest/gtest.h>

// A window without its icon, or one a desktop cannot match to the installed
// desktop entry (a renamed entry, a lost resource, no SVG icon engine).
TEST(DesktopIdentity, WindowsGetTheIconAndTheDesktopEntry) {
    DesktopIdentity::apply();
    EXPECT_EQ(QGuiApplication::desktopFileName(), DesktopIdentity::Id);
    EXPECT_TRUE(
        QFile::exists(QStringLiteral(PACKAGING_DIR "/%1.desktop").arg(DesktopIdentity::Id)));
    for (const int size : {16, 256}) {
        const QImage image = QGuiApplication::windowIcon().pixmap(size, size).toImage();
        ASSERT_EQ(image.width(), size);
        // The middle of the icon is its opaque plate, not an empty image.
        EXPECT_EQ(image.pixelColor(size / 2, size * 3 / 4).alpha(), 255) << size;
    }
}
