// "Recolher lote": the whole balance of a lot at every location of the operator's store (and the
// shared in-transit location) moved into quality control, awaiting its decision, in one
// transaction under the lot lock rule, with guarded writes and one log line per location moved.
#pragma once
#include "db/value.h"
#include "lottrace.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace db {
class Connection;
}
namespace core {
class ActivityLog;
}

namespace trace {

inline const QString kQualityControl = QStringLiteral("Controle Qualidade");
inline const QString kInTransit = QStringLiteral("EmTransito");
inline const QString kAwaiting = QStringLiteral("Aguardando");

// One row of the lot: a location and its balance as stored.
struct RecallRow {
    QString laboratorio, unidade, situacao;
    db::Value saldo;
    db::Value fornecedor;   // as the row stores it: the lot's supplier in any spelling
};

// What a recall of the lot would do now.
struct RecallPlan {
    std::vector<RecallRow> toMove;    // in the scope, a balance above zero, not in quality control
    std::vector<RecallRow> outside;   // locations of other stores: listed, never touched
    std::vector<RecallRow> quarantine; // the lot's rows already in quality control
    bool nothingToMove() const { return toMove.empty(); }
};

// A location the recall may move: one of the store's laboratories (compared as the scope
// statements compare them: ASCII upper case, trailing blanks aside) or the in-transit location.
bool InRecallScope(const QString &laboratorio, const QStringList &storeLaboratories);

// The lot's rows by its key as the grid holds it (code, lot, supplier): one statement.
RecallPlan PlanRecall(db::Connection &central, const LotKey &lot, const QStringList &storeLaboratories);

// The question shown before anything moves: the locations and quantities, and the other stores.
QString RecallQuestion(const LotKey &lot, const RecallPlan &plan);
// Told when nothing in the scope holds a balance (a second recall): nothing moved.
QString NothingToRecallText(const LotKey &lot, const RecallPlan &plan);

// One location moved: its balance before and after, in its unit.
struct RecallMove {
    QString laboratorio, unidade;
    db::Value before, after;
};

enum class RecallStep { Done, Nothing, Changed, NoConversion, Failed };

struct RecallResult {
    RecallStep step = RecallStep::Failed;
    std::vector<RecallMove> moved;
    QString quarantineUnit;
    db::Value quarantineBefore, quarantineAfter;
    QString user, justification;
    QDateTime at;
    QString message;   // what the operator was told
};

// Test seam: called inside the transaction once the lot's rows are locked and checked, before
// the first write.
using AfterLock = std::function<void()>;

// The log line of one location moved (the lot edit's form of a balance change).
QString RecallLogLine(const LotKey &lot, const RecallMove &move, const QString &justification);
inline const QString kRecallDoneLead = QStringLiteral("Lote recolhido para Controle Qualidade (Aguardando):");
QString RecallChangedText(const QString &laboratorio, const db::Value &shown, const db::Value &stored);

// Moves what `confirmed` showed. The lot's rows are locked first; a location whose balance is no
// longer what the operator confirmed (another workstation changed it), or that appeared in the
// scope meanwhile, stops the recall with nothing written and the row named. Each balance is
// debited only from the value it holds, and quality control is credited in its unit (converted
// by the unit table). On success writes one log line per location moved when `log` is given.
RecallResult Recall(db::Connection &central, const LotKey &lot, const QStringList &storeLaboratories,
                    const RecallPlan &confirmed, const QString &justification, const QString &user,
                    const QDateTime &now, core::ActivityLog *log, const AfterLock &afterLock = {});

// A row holding a lot number: the product, supplier and location, with its balance.
struct LotFound {
    LotKey key;
    QString laboratorio;
    db::Value saldo;
};
// Every row whose lot number is `number` (letter case and accents folded), at the store's
// locations, the in-transit one and quality control, by product, supplier and location: one
// statement through the index on the lot number in upper case.
std::vector<LotFound> FindLotsByNumber(db::Connection &central, const QString &number,
                                       const QStringList &storeLaboratories);

// The pharmacy as its report headers name it (DADOSGER of the store's CNPJ).
struct Pharmacy {
    bool found = false;
    QString farmacia, firma, endereco, cnpj;
    // "FARMÁCIA - FIRMA - endereço - CNPJ ..."; a store without its row says so.
    QString identification() const;
};
Pharmacy ReadPharmacy(db::Connection &central, const QString &storeCnpj);

// The recall dossier: the pharmacy, the lot's trace as it stands, and the recall when one was
// done (who, when, why, each location before and after, the other stores).
struct RecallDossier {
    Pharmacy pharmacy;
    LotTrace trace;
    std::optional<RecallResult> recall;
    std::vector<RecallRow> otherStores;
};

// The dossier as CSV lines with the trace's columns: the pharmacy, the recall's lines, then the
// trace's own lines.
QStringList RecallDossierLines(const RecallDossier &dossier);
// "C:\FORMULIX\RECOLHIMENTOyy.MM.dd_LOTE.CSV".
QString RecallDossierPath(const QDate &today, const QString &lote);

} // namespace trace
