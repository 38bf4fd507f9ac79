#include "shell/qt/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace quorlan::shell {

QIcon applicationIcon() {
    // Rendered here rather than through Qt's SVG icon plugin, which an installation may lack.
    QSvgRenderer renderer(QStringLiteral(":/quorlan/quorlan.svg"));
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace quorlan::shell
