// The keyboard rules every window of the program follows, whatever form it belongs to.
#pragma once
#include <QObject>

namespace shell {

// Enter (Return or the keypad's Enter) presses the button that has the focus, as Space does:
// push buttons and tool buttons of every form, whether the form is a dialog or a panel, with
// or without a default button. Installed once on the application; later forms get it without
// doing anything.
class KeyboardRules : public QObject {
    Q_OBJECT
public:
    // Installs the rules on the running application unless they are there already.
    static void install();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};

} // namespace shell
