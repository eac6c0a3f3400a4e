#include "x_display.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using testsupport::XDisplayEnvironment;

QIcon makeIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::darkGreen);
    QPainter painter(&pixmap);
    painter.fillRect(4, 4, 8, 8, Qt::yellow);
    return QIcon(pixmap);
}

bool isEmbedded()
{
    return XDisplayEnvironment::display()->hasWindowEmbeddedInTray(QCoreApplication::applicationPid());
}

TEST(XDisplayTest, ApplicationUsesXcbOnThePrivateDisplay)
{
    ASSERT_NE(XDisplayEnvironment::display(), nullptr);
    EXPECT_EQ(QGuiApplication::platformName(), u"xcb"_s);
    EXPECT_TRUE(XDisplayEnvironment::displayName().startsWith(u':'));
    EXPECT_EQ(qEnvironmentVariable("DISPLAY"), XDisplayEnvironment::displayName());
    EXPECT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
}

TEST(XDisplayTest, TrayIconIsEmbeddedInTheTrayHost)
{
    ASSERT_FALSE(isEmbedded());
    QSystemTrayIcon icon(makeIcon());
    icon.show();
    EXPECT_TRUE(icon.isVisible());
    EXPECT_TRUE(QTest::qWaitFor(isEmbedded, 5000)) << qPrintable(XDisplayEnvironment::display()->log());

    icon.hide();
    EXPECT_TRUE(QTest::qWaitFor([] { return !isEmbedded(); }, 5000));
}

TEST(XDisplayTest, WidgetIsExposed)
{
    QWidget widget;
    widget.resize(240, 120);
    widget.show();
    ASSERT_NE(widget.windowHandle(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return widget.windowHandle()->isExposed(); }, 5000));
}

TEST(XDisplayTest, TrayGoesAwayWithItsHostAndComesBack)
{
    QSystemTrayIcon icon(makeIcon());
    icon.show();
    ASSERT_TRUE(QTest::qWaitFor(isEmbedded, 5000));

    ASSERT_TRUE(testsupport::StopTrayHost());
    EXPECT_FALSE(XDisplayEnvironment::display()->isTrayManagerPresent());
    EXPECT_TRUE(QTest::qWaitFor([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }, 5000));

    // Later tests expect a tray again, and Qt re-docks the icon by itself.
    ASSERT_TRUE(testsupport::StartTrayHost());
    EXPECT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor(isEmbedded, 5000));
}

} // namespace
