// Lot traceability for recalls: from a lot to its purchases, its balance at each location and
// every stock movement that used it; from an order to the lots its components took. Read only.
#pragma once
#include "db/value.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <vector>

namespace db {
class Connection;
}

namespace trace {

// The lot as the grid shows it: product code and name, lot number, supplier, the lot's unit.
struct LotKey {
    QString codigo, descricao, lote, fornecedor, unidade;
};

struct PurchaseLine {
    QString notaFiscal, unidade;
    QDate data;
    db::Value quantidade;
    double inLotUnit = 0;
};

struct LocationBalance {
    QString laboratorio, unidade;
    db::Value saldo;
    double inLotUnit = 0;
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
    double inLotUnit = 0;
};

struct LotOrder {
    QString estacao, tipo;
    db::Value npedido;
    QDate data;
};

struct LotTrace {
    LotKey lot;
    std::vector<PurchaseLine> purchases;
    std::vector<LocationBalance> locations;
    std::vector<LotMovement> movements;   // in date order
    std::vector<LotOrder> orders;         // once each, in the order first used
    double bought = 0;     // purchase lines, in the lot's unit
    double movedOut = 0;   // every movement but purchases, in the lot's unit
    double held = 0;       // the locations' balances, in the lot's unit
    // Held minus (bought - moved out), rounded to the five decimals shown.
    double difference() const;
    // One sentence when the difference is not zero; empty otherwise.
    QString explanation() const;
};

// Quantity in `from` expressed in `to`, units compared without regard to letter case.
double ToLotUnit(double quantity, const QString &from, const QString &to);

// Reads the lot's history in three statements: purchases, locations, movements with their orders.
LotTrace ReadLotTrace(db::Connection &central, const LotKey &lot);

// "1.234,50000": the quantities of the panel.
QString FormatQuantity(double value);

// The trace as CSV lines (header first): one line per purchase, location and movement, then the
// four totals.
inline const QString kLotTraceHeader = QStringLiteral(
    "PRODUTO;LOTE;FORNECEDOR;REGISTRO;DATA;ESTAÇÃO;PEDIDO;FÓRMULA;NOTA FISCAL;LOCAL;QUANTIDADE;UNID.;NA UNID. DO LOTE");
QStringList LotTraceLines(const LotTrace &trace);
// "C:\FORMULIX\RASTROyy.MM.dd.CSV".
QString LotTracePath(const QDate &today);

// One component line of an order, with the movement that deducted it, if any.
struct OrderComponent {
    QString componente, lote, fornecedor, unid;
    db::Value nformula, qdeestoque;
    bool moved = false;
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
};

inline const QString kNotMoved = QStringLiteral("Baixa não realizada");
// The order header and its component lines joined with their movements: two statements.
OrderTrace ReadOrderTrace(db::Connection &central, const QString &estacao, int npedido);

inline const QString kOrderTraceHeader = QStringLiteral(
    "ESTAÇÃO;PEDIDO;FÓRMULA;COMPONENTE;LOTE;FORNECEDOR;QUANTIDADE;UNID.;BAIXA;QUANTIDADE BAIXADA;UNID. BAIXADA;LOCAL");
// One line per component line and movement; a line without movement says kNotMoved under "BAIXA".
QStringList OrderTraceLines(const OrderTrace &order);
// "C:\FORMULIX\RASTROPEDyy.MM.dd.CSV".
QString OrderTracePath(const QDate &today);

} // namespace trace
