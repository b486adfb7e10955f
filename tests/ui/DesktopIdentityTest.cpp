#include "ui/DesktopIdentity.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <gtest/gtest.h>

// A window without its icon (a lost resource, no SVG icon engine), or one a
// desktop cannot match to the installed desktop entry.
TEST(DesktopIdentity, WindowsGetTheIconAndTheDesktopEntry) {
    DesktopIdentity::apply();
    EXPECT_TRUE(QFile::exists(PACKAGING_DIR "/" + QGuiApplication::desktopFileName() + ".desktop"));
    for (const int size : {16, 256}) {
        const QImage image = QGuiApplication::windowIcon().pixmap(size, size).toImage();
        ASSERT_EQ(image.width(), size);
        EXPECT_EQ(image.pixelColor(size / 2, size * 3 / 4).alpha(), 255) << "the opaque plate";
    }
}
