// CenterForm for a Qt window: the middle of the screen it is on.
#pragma once

class QWidget;

namespace quorlan::config {

void centerOnScreen(QWidget& window);

} // namespace quorlan::config
