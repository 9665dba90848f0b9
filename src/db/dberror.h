// A failure reported by the database engine or server, with its text and status codes.
#pragma once
#include "platform/error.h"

#include <QString>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace db {

class DbError : public platform::Error {
public:
    // How a wait ended when it did not go through: on a row another connection held (cancelled,
    // past the limit, or given up because the other connection was waiting on this one), or on
    // a server that did not answer, given up by the operator.
    enum class Wait { None, Cancelled, TimedOut, Deadlock, ServerCancelled };

    // message is the engine's own text.
    explicit DbError(const QString &message, std::vector<intptr_t> codes = {}, Wait wait = Wait::None);
    // Our words first, then the engine's: see db::operatorText below.
    QString operatorText() const override;
    const std::vector<intptr_t> &codes() const { return m_codes; }
    bool hasCode(intptr_t code) const;
    bool isUpdateConflict() const;   // another transaction changed the row we waited on
    bool isConnectionLost() const;   // the attachment is gone (server down, network, shutdown)
    bool isLockTimeout() const;      // the engine gave up waiting on a row another connection holds
    // Any of the engine's answers for a row or table another transaction holds or changed
    // (update conflict, deadlock, lock conflict, lock time-out).
    bool isConflict() const;
    Wait wait() const { return m_wait; }
    // The operator cancelled a wait on a held row, it ran out, or this connection was the one of
    // two waiting on each other that gave up: the whole work is given up and rolled back.
    bool waitEnded() const { return m_wait == Wait::Cancelled || m_wait == Wait::TimedOut || m_wait == Wait::Deadlock; }
    // The transaction the engine named as holding or having changed the row (0: none named).
    int64_t concurrentTransaction() const { return m_concurrentTransaction; }
    void setConcurrentTransaction(int64_t id) { m_concurrentTransaction = id; }
    // The same failure, ended as `wait` says.
    DbError endedAs(Wait wait) const;

private:
    std::vector<intptr_t> m_codes;
    Wait m_wait = Wait::None;
    int64_t m_concurrentTransaction = 0;
};

// Said first when the link to the database is gone or the server cannot be reached.
inline const QString kConnectionLostMessage = QStringLiteral(
    "A conexão com o servidor de banco de dados foi perdida. Verifique se o servidor está ligado e se a rede "
    "está funcionando e repita a operação: o programa se conecta de novo na próxima vez.");

// Said first when a statement names a table or column the database does not have.
inline const QString kStructureMismatchMessage = QStringLiteral(
    "O banco de dados não tem uma tabela ou coluna que esta operação usa, e a operação não foi feita. A estrutura do "
    "banco de dados não corresponde a esta versão do programa: avise o suporte técnico e informe a mensagem técnica "
    "abaixo.");
// Said first for any other failure the database reports.
inline const QString kDatabaseRefusedMessage = QStringLiteral(
    "O banco de dados recusou a operação, e ela não foi concluída. Repita a operação; se o erro continuar, avise o "
    "suporte técnico e informe a mensagem técnica abaixo.");

// Said first when two workstations waited on each other's records and this one gave up.
inline const QString kDeadlockMessage = QStringLiteral(
    "Esta estação e outra estavam esperando uma pela outra para gravar os mesmos registros. A operação desta "
    "estação foi desfeita e nada foi gravado: os dados continuam como estavam. Repita a operação.");
// Said when the operator gave up waiting for a server that did not answer.
inline const QString kServerWaitCancelledMessage = QStringLiteral(
    "A espera pela resposta do servidor de banco de dados foi cancelada e a conexão com ele foi desfeita. Repita a "
    "operação: o programa se conecta de novo na próxima vez.");
// What happened, said after the lead-in of a wait that ended.
inline const QString kHeldRowReason = QStringLiteral("Motivo: o registro continuou em uso por outra estação.");
inline const QString kCancelledReason =
    QStringLiteral("Motivo: a espera foi cancelada nesta estação antes de o registro ser liberado.");
inline const QString kDeadlockReason =
    QStringLiteral("Motivo: cada estação aguardava um registro que a outra estava alterando.");
inline const QString kServerCancelledReason =
    QStringLiteral("Motivo: o servidor não respondeu e a espera foi cancelada nesta estação.");

// The text the operator reads for a database failure: what failed and what to do in our words,
// then the engine's own text; for a wait that ended, what happened in our words instead (the
// engine's text goes to the diagnostic output, see logDiagnostic).
QString operatorText(const DbError &e);

// Writes a line for the technician to the program's diagnostic output (standard error).
void logDiagnostic(const QString &line);

} // namespace db
