// The data module: both connections, every cached dataset and query of the program, and the
// hooks that run on the lot dataset.
#pragma once
#include "cacheddataset.h"
#include "query.h"

#include "core/activitylog.h"
#include "core/connections.h"
#include "core/runstate.h"
#include "platform/operator.h"

#include <functional>

namespace data {

// The first line of the box that shows a change the server refused; the server's own text
// follows on the next line.
inline const QString kRefusedChangeMessage =
    QStringLiteral("O banco de dados recusou a alteração, que não foi gravada.");

// A save whose link to the server was lost on the way: once the link is back the row is read to
// tell what became of it.
inline const QString kConfirmedAfterReconnectionMessage =
    QStringLiteral("A conexão com o servidor voltou e o registro foi conferido: a alteração está gravada.");
inline const QString kNotSavedAfterReconnectionMessage = QStringLiteral(
    "A conexão com o servidor voltou e o registro foi conferido: a alteração não está nele. Nada foi gravado.");
inline const QString kUnconfirmedSaveMessage = QStringLiteral(
    "Não foi possível conferir se a alteração foi gravada: a conexão com o servidor não voltou. "
    "O que você digitou foi mantido; confira o registro quando a conexão voltar.");
// Appended to the activity-log lines of a save known only from reading the row again.
inline const QString kConfirmedAfterReconnectionMark = QStringLiteral(" (confirmado após a reconexão)");

// What reading a row again says of a change whose link was lost while it was being saved.
enum class SaveFound { Stored, NotStored, Unknown };
// The row found by the change's new key holds every value the change wrote (Stored), does not
// (NotStored), or cannot be read because the link is still gone (Unknown).
SaveFound FindSavedChange(db::Connection &conn, const CachedDataset &ds, const std::vector<db::Value> &before,
                          const std::vector<db::Value> &after);
// The same, read again while the link stays gone, a pause between two reads, until `boundMs` has
// passed since the first: a link that comes back meanwhile still tells what became of the change.
SaveFound CheckSavedChange(db::Connection &conn, const CachedDataset &ds, const std::vector<db::Value> &before,
                           const std::vector<db::Value> &after, int boundMs, const std::function<void(int)> &pause);
// How long a save whose link was lost is checked again: the server's answer bound, at most 10 s.
int SaveCheckBoundMs();
// The pause between two checks: the window keeps repainting, user input waits.
void PauseKeepingWindowAlive(int ms);

// The lot edit window, while it is open; the data module reaches it only through this.
class LotEditFormView {
public:
    virtual ~LotEditFormView() = default;
    virtual bool isActiveWindow() const = 0;
    virtual void setDescriptionEnabled(bool enabled) = 0;
    virtual void focusDescription() = 0;            // when visible; failures ignored
    virtual QString descriptionText() const = 0;    // DBEdit1
    virtual QString lotText() const = 0;            // DBEdit2
    virtual QString balanceText() const = 0;        // DBEdit6
    virtual void hideJustification() = 0;           // Bevel2, Label27, Label29, Memo1; sets JustificationDone
    // The posted row reached the database: the form writes the audit lines of what it saved.
    virtual void rowSaved() {}
    // The same, known only by reading the row again after the link to the server came back: the
    // lines are marked so.
    virtual void rowSavedAfterReconnection() { rowSaved(); }
    // The edit of the row was dropped: nothing of it is saved.
    virtual void rowCancelled() {}
    // The posted row was refused because another workstation changed it meanwhile.
    virtual void rowChangedElsewhere() {}
};

// The main window's purchase-invoice panel, as the after-scroll hook sees it.
class InvoicePanelView {
public:
    virtual ~InvoicePanelView() = default;
    virtual bool isShown() const = 0;
    virtual void setInvoiceLabels(const QString &nome, const QString &lote, const QString &numero,
                                  const QString &data) = 0;
};

class TDM {
public:
    TDM(core::RunState &run, core::Connections &connections, core::ActivityLog &log, platform::Operator &op);
    TDM(const TDM &) = delete;
    TDM &operator=(const TDM &) = delete;

    core::RunState &run;
    core::Connections &connections;
    core::ActivityLog &log;
    platform::Operator &op;
    db::Connection &SQLConnection1;
    db::Connection &SQLConnection2;

    // Cached datasets (central unless noted).
    CachedDataset ESTLOTE;
    CachedDataset cds_EstLoteRel;
    CachedDataset Usuarios;
    CachedDataset CompNomes;
    CachedDataset Componen;
    CachedDataset Compras;
    CachedDataset Forneced;
    CachedDataset Estacoes;
    CachedDataset TabLab;
    CachedDataset Ensaios;
    CachedDataset CQporLote;
    CachedDataset Laudo;
    CachedDataset Laudo1;
    CachedDataset DadosGer;
    CachedDataset tbl_pdEstLote;   // workstation
    CachedDataset Periodo;         // workstation

    // Plain queries.
    Query qry_pdEstLote;     // workstation
    Query qry_Vencimentos;   // workstation
    Query qry_Componen;
    Query SQLQuery1;         // scratch, central
    Query SQLQuery2;         // scratch, workstation
    Query SQLQuery3;

    bool BatchInsertMode = false;   // set by the product-register lot import while it runs
    int FetchedMaxKey = 0;          // last maximum read by the certificate key allocation
    // Set by the lot table's after-post hook: the server refused the row just posted (the cache
    // then shows the server's rows again), so the form that posted it can offer it back.
    bool ESTLOTEPostRefused = false;
    // Of that refusal: the row was changed by another workstation after this one read it.
    bool ESTLOTEPostConflict = false;

    // Windows the hooks reach when they are open; null otherwise.
    LotEditFormView *lotEditForm = nullptr;
    InvoicePanelView *invoicePanel = nullptr;
    // Between two checks of a save whose link was lost (PauseKeepingWindowAlive).
    std::function<void(int ms)> pauseBetweenSaveChecks = PauseKeepingWindowAlive;

    // The invoice labels for the current lot (shared by the after-scroll hook and the menu item).
    struct InvoiceLabels { QString nome, lote, numero, data; bool found = false; };
    InvoiceLabels LookUpInvoice(const QString &notFoundNumber);

private:
    void installHooks();
};

} // namespace data
