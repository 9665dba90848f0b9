// The seven maintenance operations of the main window's context menu: lot imports from the
// product register and the purchase invoices, the controlled mark, the unit correction and
// the two deletions. Each reads its sources once, decides in memory in the order the rows
// come, and writes only what changes in one transaction.
#pragma once
#include "maintenanceview.h"

#include <QString>

namespace maintenance {

inline const QString kCr = QStringLiteral("\r");
inline const QString kDoneSuccessDot = QStringLiteral("Procedimento concluído com sucesso!.");
inline const QString kDoneSuccess = QStringLiteral("Procedimento concluído com sucesso!");
inline const QString kDoneFailure = QStringLiteral("Não foi possível executar o procedimento.");
inline const QString kCaptionFromProducts =
    QStringLiteral("  Posição do Estoque por Lote - Trazendo Densidade e Fator de Correção da Tabela de Componentes");
inline const QString kCaptionFromPurchases =
    QStringLiteral("  Posição do Estoque por Lote - Trazendo Densidade e Fator de Correção da Tabela de Notas Fiscais");
inline const QString kCaptionPlain = QStringLiteral("  Posição do Estoque por Lote");
inline const QString kDeleteZeroBalanceSql = QStringLiteral("DELETE FROM ESTLOTE WHERE SALDOCORRENTE = 0");
inline const QString kDeleteInactiveSql =
    QStringLiteral("DELETE from estlote where CODIGO IN ( select CODIGO FROM componen where grupo = 'REVI' ) ");

// "Pronto. n registros foram incluídos na tabela de Lotes a partir da tabela de Componentes" (or Compras).
QString FromProductsMessage(int count);
QString FromPurchasesMessage(int count);
// "select <lot columns> from ESTLOTE": every lot of every store, as the imports leave the grid.
QString AllLotsStatement();
// The statement the unit correction leaves the grid on: the run's laboratory and the shared locations.
QString UnitCorrectionGridStatement(const QString &laboratory);

// An apostrophe in first position is removed, every other one becomes a blank.
QString NeutraliseApostrophes(const QString &text);

// Counts as the operator is told them; -1 when the operation stopped before its message.
struct Counts {
    int first = -1;    // the only count, or the product register's in BringProductData
    int second = -1;   // the purchases' count in BringProductData
};

Counts ImportProductLots(Context &ctx);                 // tag 2
Counts BringProductData(Context &ctx);                  // tag 3
Counts ImportPurchaseLots(Context &ctx);                // tag 4
// Marks "Sim" the lots of the grid's current rows whose product is controlled.
void ImportarindicaodeCONTROLADA(Context &ctx);
Counts CorrectUnits(Context &ctx);
void DeleteZeroBalanceLots(Context &ctx);               // tag 5
void DeleteInactiveProductLots(Context &ctx);           // tag 6

} // namespace maintenance
