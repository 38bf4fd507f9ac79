#include "config/qt/center_form.h"

#include "config/common.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace quorlan::config {

void centerOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const Point corner =
        CenterForm(area.width(), area.height(), window.frameGeometry().width(), window.frameGeometry().height());
    window.move(area.left() + static_cast<int>(std::lround(corner.left)),
                area.top() + static_cast<int>(std::lround(corner.top)));
}

} // namespace quorlan::config
