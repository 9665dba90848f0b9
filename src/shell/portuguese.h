// Qt's own texts in Portuguese: context menus of text boxes, file dialogs, calendar names.
#pragma once

class QCoreApplication;

namespace shell {

// Makes Brazilian Portuguese the locale of the program's widgets and installs Qt's pt-BR
// translations on app. False when the translations are not installed on this machine (the
// standard dialogs then speak English; the program's own texts are Portuguese regardless).
bool installPortuguese(QCoreApplication &app);

} // namespace shell
