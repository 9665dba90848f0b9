// A failure reported by the database engine or server, with its text and status codes.
#pragma once
#include <QString>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace db {

class DbError : public std::runtime_error {
public:
    explicit DbError(const QString &message, std::vector<intptr_t> codes = {});
    const QString &message() const { return m_message; }
    const std::vector<intptr_t> &codes() const { return m_codes; }
    bool hasCode(intptr_t code) const;
    bool isUpdateConflict() const;   // another transaction changed the row we waited on
    bool isConnectionLost() const;   // the attachment is gone (server down, network, shutdown)

private:
    QString m_message;
    std::vector<intptr_t> m_codes;
};

} // namespace db
