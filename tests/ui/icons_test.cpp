// The bundled images, with no icon theme to stand in for them.

#include "icons.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

bool HasOpaquePixel(const QIcon &icon, int size)
{
    const QPixmap pixmap = icon.pixmap(size, size);
    if (pixmap.isNull())
        return false;
    const QImage image = pixmap.toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                return true;
    return false;
}

class IconsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // No theme and nowhere to find one, so the fallback is what we see.
        QIcon::setThemeSearchPaths({});
        QIcon::setFallbackSearchPaths({});
        QIcon::setThemeName(QStringLiteral("tavolin-no-such-theme"));
    }
};

TEST_F(IconsTest, EveryImageHasPixels)
{
    for (Img which : {Img::Exit, Img::Settings, Img::About, Img::NewEvent, Img::DeleteEvent,
                      Img::EditEvent, Img::Pause, Img::Play, Img::StopPreview, Img::StopAll}) {
        const QIcon icon = TavolinImage(which);
        EXPECT_TRUE(HasOpaquePixel(icon, 16)) << static_cast<int>(which);
        EXPECT_TRUE(HasOpaquePixel(icon, 32)) << static_cast<int>(which);
    }
}

TEST_F(IconsTest, AppIconHasEverySize)
{
    const QIcon icon = TavolinAppIcon();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(HasOpaquePixel(icon, size)) << size;
        EXPECT_EQ(icon.pixmap(size, size).size(), QSize(size, size)) << size;
    }
}

} // namespace
