// Lot traceability for recalls: from a lot to its purchases, its balance at each location and
// every stock movement that used it; from an order to the lots its components took. Read only.
#pragma once
#include "db/value.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace db {
class Connection;
}
namespace platform {
class WinPaths;
}

namespace trace {

// The lot as the grid shows it: product code and name, lot number, supplier, the lot's unit.
struct LotKey {
    QString codigo, descricao, lote, fornecedor, unidade;
};

// A quantity in the lot's unit; nothing when its unit has no conversion to the lot's.
using LotQuantity = std::optional<double>;

struct PurchaseLine {
    QString notaFiscal, unidade, fornecedor;
    QDate data;
    db::Value quantidade;
    LotQuantity inLotUnit;
};

struct LocationBalance {
    QString laboratorio, unidade, fornecedor, situacao;
    db::Value saldo;
    LotQuantity inLotUnit;
};

enum class MovementKind { Order, Loss, QualityControl, Purchase, Other };
// "Pedido", "Perda", "Controle de qualidade", "Compra", "Outro".
QString KindText(MovementKind kind);
// What a movement row says it is: an order number first, then a loss, a quality-control test,
// a purchase; anything else is "Outro".
MovementKind KindOf(const db::Value &npedido, const db::Value &codperda, const db::Value &codigocq,
                    const db::Value &codcompra);

struct LotMovement {
    MovementKind kind = MovementKind::Other;
    QDate data;
    QString estacao, unidade, laboratorio, notaFiscal;
    db::Value npedido, nformula, quantidade;
    LotQuantity inLotUnit;
};

// How an order is known to have taken the lot: its component line and the movement that
// deducted it agree; a line no movement deducted; a movement with no line of the order naming
// the lot; a line and its movement with different quantities.
enum class OrderState { Deducted, NotDeducted, MovementWithoutLine, QuantityDiffers };
// "Baixado", "Baixa não realizada", "Movimento sem linha no pedido", "Quantidades diferentes".
QString StateText(OrderState state);

// One order component line of the lot paired with its movement (either may be missing).
struct OrderLotLine {
    db::Value nformula;
    bool hasLine = false, hasMovement = false;
    db::Value lineQuantity, movedQuantity;
    QString lineUnit, movedUnit;
    QDate movementDate;
    OrderState state = OrderState::Deducted;
};

struct LotOrder {
    QString estacao, tipo;   // tipo as PEDIDOS holds it; empty when the order has no PEDIDOS row
    db::Value npedido;
    QDate data;
    bool found = false;      // PEDIDOS holds the order
    std::vector<OrderLotLine> lines;
    // The worst of its lines' states, in the order of OrderState from the last.
    OrderState state() const;
    // The states of its lines, once each, joined by " / ".
    QString stateText() const;
    // "01.100"
    QString name() const;
};

// Only orders of type "Pedido" (any letter case) were dispensed to a patient.
bool IsDispensed(const QString &tipo);

struct LotTrace {
    LotKey lot;
    std::vector<PurchaseLine> purchases;
    std::vector<LocationBalance> locations;
    std::vector<LotMovement> movements;   // in date order
    std::vector<LotOrder> orders;         // dispensed orders (type "Pedido"), by date and number
    std::vector<LotOrder> otherOrders;    // quotations and every other type, apart
    bool controlled = false;              // a location marks the lot as a controlled substance
    double bought = 0;     // purchase lines, in the lot's unit
    double movedOut = 0;   // every movement but purchases, in the lot's unit
    double held = 0;       // the locations' balances, in the lot's unit
    // Held minus (bought - moved out), rounded to the five decimals shown.
    double difference() const;
    // One sentence when the difference is not zero; empty otherwise.
    QString explanation() const;
    // The rows that explain the balance, one sentence each: units without conversion, a balance
    // that went below zero, and, when the difference is not zero, lines without movement,
    // movements without line, stock with no invoice; then how transfers show.
    QStringList causes;
};

// Quantity in `from` expressed in `to` by the suite's unit table (any letter case); nothing when
// the two units do not convert.
LotQuantity ToLotUnit(double quantity, const QString &from, const QString &to);

// Names compared as people type them: case, accents, apostrophes and repeated blanks folded.
QString NameKey(const QString &name);

// Reads the lot's history in four statements: purchases, locations, movements with their
// orders, and the order component lines naming the lot with their orders. Suppliers and product
// names are compared folded, in the program, on the rows of the lot number.
LotTrace ReadLotTrace(db::Connection &central, const LotKey &lot);

// "1.234,50000": the quantities of the panel.
QString FormatQuantity(double value);

// The trace as CSV lines (header first): one line per purchase, location and movement, then the
// four totals.
inline const QString kLotTraceHeader = QStringLiteral(
    "PRODUTO;LOTE;FORNECEDOR;REGISTRO;DATA;ESTAÇÃO;PEDIDO;FÓRMULA;NOTA FISCAL;LOCAL;QUANTIDADE;UNID.;NA UNID. DO LOTE;"
    "SITUAÇÃO");
// Then one line per order line of the lot ("Pedido dispensado", or "Outro tipo de pedido"), the
// totals, and one "Causa" line per cause of the balance check.
QStringList LotTraceLines(const LotTrace &trace);
// "C:\FORMULIX\RASTROyy.MM.dd_LOTE.CSV": the lot in the name, characters Windows refuses in
// a file name made "_".
QString LotTracePath(const QDate &today, const QString &lote);

// One component line of an order, with the movement that deducted it, if any; or a movement of
// the order that no line names (hasLine false: the line's fields are the movement's).
struct OrderComponent {
    QString componente, lote, fornecedor, unid;
    db::Value nformula, qdeestoque;
    bool hasLine = true;
    bool moved = false;
    OrderState state = OrderState::NotDeducted;
    QDate movementDate;
    db::Value movedQuantity;
    QString movedUnit, laboratorio;
};

struct OrderTrace {
    QString estacao;
    int npedido = 0;
    bool found = false;   // the order exists in PEDIDOS
    QDate data;
    QString tipo;
    std::vector<OrderComponent> components;
    int notMoved() const;
    int lines() const;   // components that are order lines
};

inline const QString kNotMoved = QStringLiteral("Baixa não realizada");
// The order header and its component lines joined with their movements: two statements.
OrderTrace ReadOrderTrace(db::Connection &central, const QString &estacao, int npedido);

inline const QString kOrderTraceHeader = QStringLiteral(
    "ESTAÇÃO;PEDIDO;FÓRMULA;COMPONENTE;LOTE;FORNECEDOR;QUANTIDADE;UNID.;BAIXA;QUANTIDADE BAIXADA;UNID. BAIXADA;LOCAL;"
    "SITUAÇÃO");
// One line per component line and movement; a line without movement says kNotMoved under "BAIXA".
QStringList OrderTraceLines(const OrderTrace &order);
// "C:\FORMULIX\RASTROPEDyy.MM.dd_EE-NNNN.CSV": the order in the name.
QString OrderTracePath(const QDate &today, const QString &estacao, int npedido);

// The path itself when no file has it yet; otherwise the first of "NAME (2).CSV", "NAME (3).CSV",
// ... that is free, so a second export never overwrites the first.
QString FreeFilePath(const platform::WinPaths &paths, const QString &windowsPath);

} // namespace trace
