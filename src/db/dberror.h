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
    // The operator cancelled a wait on a held row, or it ran out: the whole work is given up.
    bool waitEnded() const { return m_wait != Wait::None; }

private:
    QString m_message;
    std::vector<intptr_t> m_codes;
    Wait m_wait = Wait::None;
};

// Said first when the link to the database is gone or the server cannot be reached.
inline const QString kConnectionLostMessage = QStringLiteral(
    "A conexão com o servidor de banco de dados foi perdida. Verifique se o servidor está ligado e se a rede "
    "está funcionando e repita a operação: o programa se conecta de novo na próxima vez.");

// The text the operator reads for a database failure: ours first when the link is gone or a wait
// on a held row was cancelled or ran out, then the engine's own.
QString operatorText(const DbError &e);

} // namespace db
