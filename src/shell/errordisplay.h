// The general error display: an error no step handled is shown in a modal box and the program goes on.
#pragma once
#include "platform/error.h"

#include <QApplication>

namespace platform {
class Operator;
}

namespace shell {

using platform::kInternalErrorMessage;

class EstoqueApplication : public QApplication {
public:
    EstoqueApplication(int &argc, char **argv);
    void setOperator(platform::Operator *op) { m_op = op; }
    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the exception being handled (call from a catch block), as platform::CurrentErrorText says it.
    static void showCurrentException(platform::Operator *op);

    // How many events are being handled at this moment, one inside another: 1 when only the
    // calling handler runs, more while it runs inside another's dialog or processEvents.
    int handlingDepth() const { return m_depth; }

private:
    platform::Operator *m_op = nullptr;
    int m_depth = 0;
};

} // namespace shell
