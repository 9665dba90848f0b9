// A failure reported by the database engine or server, with its text and status codes.
#pragma once
#include <QString>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace db {

class DbError : public std::runtime_error {
public:
    // How a wait on a row another connection held ended, when it did not go through.
    enum class Wait { None, Cancelled, TimedOut };

    explicit DbError(const QString &message, std::vector<intptr_t> codes = {}, Wait wait = Wait::None);
    const QString &message() const { return m_message; }
    const std::vector<intptr_t> &codes() const { return m_codes; }
    bool hasCode(intptr_t code) const;
    bool isUpdateConflict() const;   // another transaction changed the row we waited on
    bool isConnectionLost() const;   // the attachment is gone (server down, network, shutdown)
    bool isLockTimeout() const;      // the engine gave up waiting on a row another connection holds
    Wait wait() const { return m_wait; }

private:
    QString m_message;
    std::vector<intptr_t> m_codes;
    Wait m_wait = Wait::None;
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

// The text the operator reads for a database failure: what failed and what to do in our words
// (a wait on a held row that was cancelled or ran out says so), then the engine's own text.
QString operatorText(const DbError &e);

} // namespace db
