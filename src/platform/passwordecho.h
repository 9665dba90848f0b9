// The "#" every password box of the suite shows for each typed character.
#pragma once

class QWidget;

namespace platform {

// Makes a line edit a password box that echoes "#".
void useHashPasswordEcho(QWidget *lineEdit);

} // namespace platform
