// The application's icon, drawn from the SVG built into the program: the windows' icon and the
// About box's picture.
#pragma once

#include <QIcon>

namespace quorlan::shell {

QIcon applicationIcon();

} // namespace quorlan::shell
