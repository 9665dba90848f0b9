#include "errordisplay.h"

#include "db/dberror.h"
#include "platform/operator.h"
#include "reports/engine/project.h"

#include <QMessageBox>
#include <exception>

namespace shell {

EstoqueApplication::EstoqueApplication(int &argc, char **argv) : QApplication(argc, argv) {}

void EstoqueApplication::showCurrentException(platform::Operator *op)
{
    QString text;
    try {
        throw;
    } catch (const db::DbError &e) {
        text = db::operatorText(e);
    } catch (const reports_engine::ReportError &e) {
        text = e.operatorText();
    } catch (const std::runtime_error &e) {
        text = QString::fromLocal8Bit(e.what());   // ours, in Portuguese
    } catch (const std::exception &e) {
        text = kInternalErrorMessage + QStringLiteral("\n\n") + QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Erro desconhecido.");
    }
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
