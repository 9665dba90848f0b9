// The controlled-substance book: per substance and lot, the balance at the start of a period,
// every entry and exit with its running balance, the balance at the end, and the check of that
// balance against the stock held now. Plain structs and free functions; reading is apart
// (bookread.h), so the arithmetic is tested on rows made by hand.
#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace controlled {

// A quantity in millionths of the substance's unit (micrograms of a substance kept in grams):
// exact sums, whatever the unit a movement was weighed in.
using Qty = int64_t;
inline constexpr Qty kQtyOne = 1000000;

// An exact decimal as the database stores it ("1.5", "-0.25"); nothing when it is not a number.
std::optional<Qty> QtyInUnit(const QString &decimal, const QString &from, const QString &to);
// "1.500,000", "0,0005", "-12,250": at least three decimals, up to six, thousands grouped.
QString FormatQty(Qty q);
// "1500,000": the same without grouping, for a CSV field.
QString PlainQty(Qty q);

// The unit a substance is kept in: "g" for mass, "mL" for volume, "UN" for counted units; a
// product whose unit the table does not know keeps its own code.
QString SubstanceUnit(const QString &productUnit);

// ---- What is read -------------------------------------------------------------------------

struct ProductRow {
    QString codigo, componente, unid, controlada, dcb, nomeCientifico;
};

// One ESTLOTE row of the scope's locations or the shared ones.
struct LotRow {
    QString codigo, descricao, lote, fornecedor, laboratorio, unidade, controlada, saldo;   // saldo as "12.5"
};

struct PurchaseRow {
    QString estacao, codcompra, notaFiscal, fornecedor, codigo, componente, lote, unidade, quantidade;
    QDate data;
};

// A MOVEST row dated on or after the period's start.
struct MovementRow {
    qint64 codmovest = 0;
    QDate data;
    QString estacao, npedido, nformula, codperda, codigocq, codcompra, codprod, descricao, lote, fornecedor, unidade,
        laboratorio, quantidade;
};

// The MOVEST rows before the period's start, summed per lot, unit and kind.
struct MovementSum {
    QString codprod, descricao, lote, fornecedor, unidade, quantidade;
    bool purchase = false;   // rows that record a purchase (its COMPRAS line is the entry)
};

// An order component line of a dispensed order no movement deducted.
struct UndeductedLine {
    QString estacao, npedido, nformula, codigo, componente, lote, fornecedor, unid, quantidade;
    QDate data;
};

// A balance change the activity log holds for a lot: the lot edit form (opened, changed, saved)
// or a count's posting (a change line outside any edit of the form).
struct LoggedChange {
    enum class Source { LotEdit, Stocktake } source = Source::LotEdit;
    QDateTime at;
    QString user, descricao, lote, justification;
    QString from, to;   // the balance texts as the log has them ("1.500,5", "12")
};

struct BookInput {
    QDate start, end, today;
    std::vector<ProductRow> products;
    std::vector<LotRow> lots;
    std::vector<PurchaseRow> purchases;        // every purchase of the substances, any date
    std::vector<MovementRow> movements;        // on or after the start
    std::vector<MovementSum> earlier;          // before the start, summed
    std::vector<UndeductedLine> undeducted;    // on or after the start
    std::vector<LoggedChange> changes;         // on or after the start
    QStringList logMonthsMissing;              // "2024-02": log files not found
};

// ---- The book ------------------------------------------------------------------------------

enum class LineKind { Purchase, Order, Loss, QualityControl, Other, LotEdit, Stocktake, Zeroed };
// "Compra", "Pedido", "Perda", "Controle de qualidade", "Outra saída", "Alteração no cadastro do lote",
// "Lançamento de inventário", "Saldo zerado na inicialização"
QString LineKindText(LineKind kind);
// Lines that change the stock without a document: they are differences as well as book lines.
bool IsAdjustment(LineKind kind);

struct BookLine {
    LineKind kind = LineKind::Other;
    QDate date;
    QString document;   // "NF 123 - QUÍMICA ÁVILA", "Pedido 01.100 fórmula 2", "Perda 7", ...
    QString lote;
    Qty quantity = 0;   // signed: entries positive, exits negative
    QString original;   // the quantity as recorded, with its unit ("250 MG")
    Qty balance = 0;    // the lot's running balance after the line
    qint64 order = 0;   // place among the lines of one day
};

enum class CauseKind { NotDeducted, Unconvertible, Zeroed, LotEdit, Stocktake, Unexplained };
// "Linha de pedido sem baixa", "Unidade sem conversão", "Saldo zerado na inicialização",
// "Alteração no formulário do lote", "Lançamento de inventário", "Sem causa registrada"
QString CauseKindText(CauseKind kind);

struct Difference {
    CauseKind cause = CauseKind::Unexplained;
    QDate date;
    QString lote, detail;
    std::optional<Qty> quantity;   // in the substance's unit; nothing when it cannot be expressed
};

struct BookLot {
    QString codigo, descricao, lote, fornecedor;
    Qty start = 0, end = 0;
    Qty entries = 0, exits = 0, losses = 0, adjustments = 0;   // within the period (exits without losses)
    std::vector<BookLine> lines;                                 // within the period, in date order
    // The check: what ESTLOTE holds now against the end balance plus what was documented after.
    Qty held = 0;            // scope's locations and the shared ones, now
    Qty afterEntries = 0, afterExits = 0, afterAdjustments = 0;
    bool originKnown = false;   // the lot's purchase is on record: the documents alone give its balance
    Qty expected() const { return end + afterEntries - afterExits; }
    Qty checkDifference() const { return held - expected(); }
};

struct Substance {
    QString key;         // the DCB code folded, or the product code
    QString dcb, name;   // name: the DCB's product name, or the product's
    QString unit;        // "g", "mL", "UN" or the product's own code
    QStringList codes;   // its products
    std::vector<BookLot> lots;
    std::vector<Difference> differences;
    Qty start = 0, entries = 0, exits = 0, losses = 0, adjustments = 0, end = 0;
};

enum class Inconsistency { ProductOnly, LotsOnly };
struct InconsistentProduct {
    Inconsistency kind = Inconsistency::ProductOnly;
    QString codigo, componente;
    QStringList lots;   // the lots whose mark differs from the register's
};
// "Cadastro marcado como controlado, lotes não", "Lotes marcados como controlados, cadastro não"
QString InconsistencyText(Inconsistency kind);

struct Book {
    QDate start, end, today;
    std::vector<Substance> substances;   // by name
    std::vector<InconsistentProduct> inconsistencies;
    QStringList logMonthsMissing;
    int differenceCount() const;
    bool closes() const { return differenceCount() == 0; }
};

// Builds the book from what was read. The start balance of each lot is worked back from what
// the locations hold now through every purchase, movement and logged change since the start;
// where the lot's purchase is on record, the documents alone are run forward from it too, and a
// balance that went below zero is the start-up's zeroing (it sets negative balances to zero).
Book BuildBook(const BookInput &in);

// How the start balance was obtained, for the first page.
QStringList StartBalanceNote(const Book &book);

// The period balance: one line per substance, totals per unit.
struct BalanceLine {
    QString name, dcb, unit;
    Qty start = 0, entries = 0, exits = 0, losses = 0, adjustments = 0, end = 0;
};
std::vector<BalanceLine> PeriodBalance(const Book &book);   // substances, then one "Total (g)" line per unit

// Folded key of a lot: product code, lot number and supplier compared as people type them.
QString LotKey(const QString &codigo, const QString &lote, const QString &fornecedor);

} // namespace controlled
