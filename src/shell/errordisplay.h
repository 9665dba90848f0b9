// The general error display: an error no step handled is shown in a modal box and the program goes on.
#pragma once
#include <QApplication>

namespace platform {
class Operator;
}

namespace shell {

// Said first for a failure inside the program itself (memory, a broken assumption): the
// library's text comes after it.
inline const QString kInternalErrorMessage = QStringLiteral(
    "O programa não conseguiu concluir a operação por um erro interno. Repita a operação; se o erro continuar, "
    "avise o suporte técnico e informe a mensagem técnica abaixo.");

class EstoqueApplication : public QApplication {
public:
    EstoqueApplication(int &argc, char **argv);
    void setOperator(platform::Operator *op) { m_op = op; }
    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the exception being handled (call from a catch block).
    static void showCurrentException(platform::Operator *op);

    // How many events are being handled at this moment, one inside another: 1 when only the
    // calling handler runs, more while it runs inside another's dialog or processEvents.
    int handlingDepth() const { return m_depth; }

private:
    platform::Operator *m_op = nullptr;
    int m_depth = 0;
};

} // namespace shell
