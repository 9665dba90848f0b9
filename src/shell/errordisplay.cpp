#include "errordisplay.h"

#include "platform/operator.h"

#include <QMessageBox>

namespace shell {

EstoqueApplication::EstoqueApplication(int &argc, char **argv) : QApplication(argc, argv) {}

void EstoqueApplication::showCurrentException(platform::Operator *op)
{
    const QString text = platform::CurrentErrorText();
    if (op)
        op->error(text);
    else
        QMessageBox::critical(nullptr, QApplication::applicationName(), text);
}

bool EstoqueApplication::notify(QObject *receiver, QEvent *event)
{
    struct Depth {
        int &depth;
        explicit Depth(int &d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
    } depth(m_depth);
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showCurrentException(m_op);
        return false;
    }
}

} // namespace shell
