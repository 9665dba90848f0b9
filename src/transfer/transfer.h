// Moving a quantity of a lot from its location to another: one transaction on the central
// database, balances changed relative to what is stored, the lot's rows locked in a fixed order.
#pragma once
#include "data/lotlock.h"
#include "db/connection.h"
#include "db/value.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>

namespace platform {
class Operator;
}

namespace transfer {

inline const QString kQuantityMessage =
    QStringLiteral("A quantidade a ser transferida está maior que a quantidade disponível. Favor corrigir...");
inline const QString kOwnLocationMessage =
    QStringLiteral("Não é necessário transferir o estoque para o próprio local de origem.");
inline const QString kNotPositiveMessage = QStringLiteral("A quantidade a ser transferida deve ser maior que zero.");
inline const QString kNoDestinationMessage = QStringLiteral("Informe o local para onde o estoque será transferido.");

// "(1)": the destination lookup (the lot's rows read and locked) failed.
QString LookupFailedMessage(const QString &command);
// "(2)": crediting an existing destination lot failed.
QString CreditFailedMessage(const QString &descricao);
// "(3)": creating the lot at the destination failed.
QString InsertFailedMessage(const QString &lote, const QString &fornecedor, const QString &destination,
                            const QString &statement);

// Balances are DECIMAL(18,8): a quantity is held with 8 decimals, rounded once.
inline constexpr int kQuantityScale = 8;

// A quantity box text that is not a number; reaches the general error display.
class QuantityFormatError : public std::runtime_error {
public:
    explicit QuantityFormatError(const QString &text);
    const QString &text() const { return m_text; }

private:
    QString m_text;
};

// The lot the form was opened on: the key that finds its row at every attempt.
struct SourceLot {
    db::Value codigo, lote, fornecedor, laboratorio;
    QString descricao;   // for message (2) when the stored row cannot be read
};

// A well-formed quantity too large for the balance column: no lot holds that much.
struct QuantityTooLarge {};

// The quantity as typed with Brazilian settings (decimal comma, blanks around allowed, no
// thousands separator), rounded half away from zero to 8 decimals. Throws QuantityFormatError,
// or QuantityTooLarge for a number the column cannot hold.
db::Decimal ParseQuantity(const QString &text);

// The destination lookup as message (1) shows it, with the source lot's key and the destination
// written in (single quotes doubled).
QString LookupStatementText(const SourceLot &source, const QString &destination);

// ComboBox1's items: "Almoxarifado", every TABLAB.LABORATORIO as the server returns them,
// "EmTransito", "Terceiros".
QStringList DestinationList(db::Connection &central);

// Location names compared as the server compares them (the data layer's rule).
using data::SameLocation;


// ConnectionLost: the link to the server went (or the server stopped answering); the operator
// was told so, in place of any other meaning of the failure.
enum class Step { Done, NotPositive, NoDestination, Quantity, OwnLocation, Lookup, Credit, Insert, ConnectionLost };

struct Outcome {
    Step step = Step::Done;
    // The source row as stored when the attempt read it (LotColumnList order), when it was found.
    std::optional<std::vector<db::Value>> storedSource;
};

// Test seam: called inside the transaction after the destination is credited or created and
// before the source is debited; a throw there must leave every row as it was.
using BetweenCreditAndDebit = std::function<void()>;

// The transfer of "Transferir". Quantity text is parsed first (QuantityFormatError goes to the
// caller); refusals, the failures (1) to (3) and a lost link are told to the operator and leave the
// database as it was (a link lost on the commit itself may leave it done). A transaction that
// fails to start on a link found gone is started once more on a new attachment. A wait on a row
// another workstation held that was cancelled or ran out, and any other failure of the debit or
// of the commit, are rolled back and go to the caller.
Outcome Transfer(db::Connection &central, const SourceLot &source, const QString &quantityText,
                 const QString &destinationText, platform::Operator &op,
                 const BetweenCreditAndDebit &betweenHook = {});

// The lock rule of every write that could add a location to a lot: the lot's rows at all its
// locations read and locked in byte order of the location's name, inside the caller's
// transaction, so no other transfer (or such write) of the lot gets between this read and the
// commit. The rows in LotColumnList order. Throws db::DbError when they cannot be locked.
db::Rows LockLotRows(db::Transaction &tx, const db::Value &codigo, const db::Value &lote, const db::Value &fornecedor);

// The statements the transfer issues (bound values), exposed for the tests and the benchmark.
QString LockStatement();
QString CreditStatement();
QString InsertStatement();
QString DebitStatement();

} // namespace transfer
