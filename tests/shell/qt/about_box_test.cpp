// The application's icon is built into the program and shown by the About box.
#include "shell/qt/about_box.h"
#include "shell/qt/app_icon.h"

#include <QLabel>
#include <QTest>

using quorlan::shell::applicationIcon;
using quorlan::shell::FrmAbout;

class AboutBoxTest final : public QObject {
    Q_OBJECT

private slots:
    void imgAppShowsTheApplicationIcon();
};

void AboutBoxTest::imgAppShowsTheApplicationIcon() {
    const QIcon icon = applicationIcon();
    QVERIFY(!icon.isNull());
    // Drawn, not empty: the built-in SVG was found and rendered.
    const QImage image = icon.pixmap(48, 48).toImage();
    QCOMPARE(image.size(), QSize(48, 48));
    QVERIFY(image.pixelColor(24, 4).alpha() > 0);

    FrmAbout about;
    auto* imgApp = about.findChild<QLabel*>(QStringLiteral("imgApp"));
    QVERIFY(imgApp != nullptr);
    QCOMPARE(imgApp->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
             image.convertToFormat(QImage::Format_ARGB32));
}

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
