// The stocktake: a count of the store's lots in a chosen scope, its snapshot of every lot's
// balance at the start, the counted quantities stored line by line as they are typed (several
// workstations at once), the reasons and approvals of the differences, and the posting that adds
// each difference (counted - snapshot) to the balance the lot holds at that moment, so whatever
// moved during the count is kept. Kept in the central tables INVENTARIO and INVENTARIOITEM.
#pragma once
#include "db/value.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace db {
class Connection;
class Transaction;
}
namespace core {
class ActivityLog;
}

namespace stocktake {

// Quantities are held exactly, with the balances' 8 decimals (12,5 is 1 250 000 000).
using Qty = int64_t;
inline constexpr int kScale = 8;
Qty QtyOf(const db::Value &v);   // a null counts as 0
db::Value ValueOf(Qty q);
// "12,5", "-3", "0,00000001": the pt-BR form without thousands.
QString QtyText(Qty q);

// ---- The tables ----------------------------------------------------------------------------

// The two tables as sql/central.sql defines them, the technician's script.
QString TablesScript();
// Both tables are in the central database.
bool TablesPresent(db::Connection &central);
inline const QString kTablesMissingText = QStringLiteral(
    "O banco central não tem as tabelas do inventário (INVENTARIO e INVENTARIOITEM). Peça ao técnico que as crie "
    "uma vez, executando no banco central o comando abaixo (também no README, em \"As tabelas do inventário\"). "
    "O resto do programa funciona como antes.");

// ---- The count and its scope ---------------------------------------------------------------

struct Scope {
    QStringList locations;        // the store's locations counted; empty: all of them
    QStringList groups;           // product groups (COMPONEN.GRUPO); empty: every group
    bool controlledOnly = false;  // CONTROLADA "Sim" in any letter case
    QString productFrom, productTo;   // descriptions; "até" takes every description it begins
    QString lotFrom, lotTo;           // lot numbers, the same way
    bool blind = false;           // sheets and entry never show the system's quantity
};

// What the count list shows and the report heads with.
QString ScopeText(const Scope &scope, const QStringList &storeLaboratories);

inline const QString kOpen = QStringLiteral("Aberto");
inline const QString kPosted = QStringLiteral("Postado");
inline const QString kKeepNotCounted = QStringLiteral("Manter");

struct Count {
    int numero = 0;
    QString loja, escopo, abertoPor, postadoPor, situacao, naoContados;
    QDateTime abertoEm, postadoEm;
    bool blind = false;
    bool posted() const { return situacao == kPosted; }
};

// The store's counts, newest first (one statement).
std::vector<Count> ListCounts(db::Connection &central, const QString &store);
std::optional<Count> ReadCount(db::Connection &central, int numero);

// Starts a count: its number (the largest plus one) and, in the same transaction and one
// statement, a line for every lot row in the scope with its balance now, ordered by location,
// product and lot. The scope's locations are the store's (compared in upper case without
// trailing blanks); none chosen means all of them. Returns the number.
struct Started {
    int numero = 0;
    int lines = 0;
};
Started StartCount(db::Connection &central, const Scope &scope, const QStringList &storeLaboratories,
                   const QString &store, const QString &user, const QDateTime &now);
// The snapshot statement and its values, for the benchmark.
QString SnapshotStatement(const Scope &scope, const QStringList &storeLaboratories, std::vector<db::Value> &params);

// ---- The lines ------------------------------------------------------------------------------

struct Line {
    int linha = 0;
    QString codigo, descricao, lote, fornecedor, laboratorio, unidade, grupo, controlada;
    bool inSnapshot = true;       // false: found during the count, its snapshot taken then
    Qty snapshot = 0;
    std::optional<Qty> counted;   // none: not counted
    QString contadoPor, estacao;
    QDateTime contadoEm;
    QString motivo, observacao, aprovadoPor;
    QDateTime aprovadoEm;
    std::optional<Qty> saldoAntes, saldoDepois;   // as posted
    bool controlled() const;
    Qty difference() const { return counted ? *counted - snapshot : 0; }
    bool hasDifference() const { return counted && *counted != snapshot; }
};

std::vector<Line> ReadLines(db::Connection &central, int numero);
std::optional<Line> ReadLine(db::Connection &central, int numero, int linha);

// The reasons a difference can be given.
QStringList Reasons();   // "Perda", "Quebra", "Vencido", "Erro de lançamento", "Outro"
inline constexpr int kObservationWidth = 200;

// ---- Entry ----------------------------------------------------------------------------------

// A place at a location where a typed lot number was found: a line of the count, or a row of the
// lot table (another location of the lot) that would give a new line at this location.
struct Found {
    std::optional<int> linha;   // the count's line; none: a new line
    QString codigo, descricao, lote, fornecedor, unidade;
};

// The lot number as typed (or scanned) at a location: the count's lines at that location whose
// lot is that number, letter case and accents aside, as the recall's search compares them; when
// none, the lot's rows anywhere in the store (one statement through the index on the lot number
// in upper case), each product and supplier once, as new lines at the location.
std::vector<Found> FindLot(db::Connection &central, const std::vector<Line> &lines, const QString &location,
                           const QString &typed, const QStringList &storeLaboratories);

// The quantity as typed, in the lot's unit: pt-BR ("12,5"; no exponents), 0 or more, within the
// balances' digits. Throws data::FieldInputError with the operator's message.
Qty ParseCounted(const QString &text);

enum class EntryMode { First, Add, Replace };
enum class EntryStep { Stored, AlreadyCounted, Posted, Gone };

struct Entry {
    int numero = 0;
    QString location;   // where the lot was found
    Found found;
    Qty quantity = 0;
    EntryMode mode = EntryMode::First;
    QString user, station;
    QDateTime at;
};

struct EntryResult {
    EntryStep step = EntryStep::Gone;
    int linha = 0;
    std::optional<Qty> before;   // what the line held (AlreadyCounted: what to add to or replace)
    Qty counted = 0;             // what it holds now
    bool newLine = false;
};

// Stores one typed quantity at once, in its own transaction, committed before it returns, so a
// program ended at any point keeps every line typed before. First: a line already counted (by
// this or another workstation) is not touched and AlreadyCounted says what it holds; Add adds to
// what the line holds when written; Replace sets it. A new line takes the row's balance at this
// moment as its snapshot (0 when the location has no row of the lot). The count's row is locked
// first, so entries and the posting follow one another; a posted count takes nothing (Posted).
// A change of quantity drops the line's approval.
EntryResult EnterCount(db::Connection &central, const Entry &entry);

// Reason for the lines (a difference's "motivo" and its text, cut to its width).
// False when the count was posted meanwhile.
bool SetReason(db::Connection &central, int numero, const std::vector<int> &linhas, const QString &motivo,
               const QString &observacao);

// The lines never counted counted as zero, by the user now; their number.
int ZeroNotCounted(db::Connection &central, int numero, const QString &user, const QString &station,
                   const QDateTime &at);

// ---- Approval ------------------------------------------------------------------------------

inline const QString kApprovalSameUserMessage =
    QStringLiteral("A aprovação deve ser de outro usuário, não de quem está postando o inventário.");
QString ApprovalRefusedMessage(int check);   // the text of a common::UserCheck that is not Admitted
inline const QString kApprovalNothingMessage =
    QStringLiteral("Não há diferença de produto controlado esperando aprovação.");

struct ApprovalResult {
    bool approved = false;
    int lines = 0;
    QString message;
};
// The second user's name and password, checked as the login checks them (and not the user
// posting); on success every controlled line with a difference not yet approved is approved by
// that user now.
ApprovalResult ApproveControlled(db::Connection &central, int numero, const QString &approver, const QString &password,
                                 const QString &currentUser, const QDateTime &at);

// ---- Posting --------------------------------------------------------------------------------

enum class NotCountedChoice { Ask, Keep };
enum class PostStep { Posted, AlreadyPosted, NeedsReasons, NeedsApproval, NotCountedLeft, WouldGoNegative,
                      Duplicate, Failed };

struct PostResult {
    PostStep step = PostStep::Failed;
    QString message;
    int differences = 0, equal = 0, notCounted = 0, newRows = 0;
    QStringList logLines;   // as written (or as they would have been)
};

// Test seam: called inside the posting's transaction after every write and before the commit.
using BeforeCommit = std::function<void()>;

// The count posted in one transaction: the count's row locked (entries wait), the lines checked
// (every difference with its reason, "Outro" with its text; every controlled difference
// approved; lines never counted left as they are only by the pharmacist's choice), then the
// rows of the lots with a difference. A lot with no row left at the location gets one (the lot's
// rows locked by the lot lock rule for a new row first), the others are written set-based in one
// statement, relative to what each row holds when written, in the lot lock rule's order:
// new balance = current + (counted - snapshot). A row that would go below zero, or a key held by
// two rows, stops the whole posting with nothing written. A conflict with another workstation
// starts the posting over on what it left. The log gets, for each lot with a difference, the lot
// edit's change line and its justification (the reason and the count's number), after the commit.
PostResult PostCount(db::Connection &central, int numero, NotCountedChoice notCounted, const QString &user,
                     const QDateTime &at, core::ActivityLog *log, const BeforeCommit &beforeCommit = {});

// The log lines of one posted line.
QString BalanceLogLine(const Line &line, int numero);
QString ReasonLogLine(const Line &line, int numero);

} // namespace stocktake
