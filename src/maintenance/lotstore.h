// The lots a maintenance operation works on, read once and held in memory: found the way the
// server's lookup finds them, changed in memory in the order the operation decides, and written
// back only where they changed, through prepared statements in one transaction.
#pragma once
#include "packedrows.h"

#include "db/connection.h"
#include "db/value.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace core {
struct RunState;
}

namespace maintenance {

// The ESTLOTE columns the operations read or write, in the order of the lot column list.
enum LotCol {
    DESCRICAO, LOTE, FORNECEDOR, CODIGO, SALDOPREVISTO, SALDOCORRENTE, UNIDADE, CODIGOEAN, FABRICANTE,
    VALIDADE, SITUACAO, DENSIDADE, FATORCORRECAO, LABORATORIO, CONTROLADA, kLotCols
};
const QStringList &lotColumnNames();

using LotValues = std::array<db::Value, kLotCols>;

// A text as the server's equality sees it: trailing blanks do not count.
QString serverText(const QString &text);
// The value a cleared field holds: an empty text is stored as null.
db::Value fieldValue(const db::Value &v);

// A row the server refused, or one the operation would not write, with the reason.
struct Refusal {
    QString descricao, lote, fornecedor, reason;
};

// The shared locations every lookup admits besides the store's laboratories.
QString scopeCondition(const QString &labScopeClause);

// Single-row updates of ESTLOTE found by the key columns (their values as read), with a
// statement prepared once for each set of columns and each pattern of null keys.
class KeyedUpdater {
public:
    explicit KeyedUpdater(db::Transaction &tx) : m_tx(tx) {}
    // Rows the statement changed (0: the row is no longer there under that key).
    uint64_t update(const std::vector<int> &columns, const LotValues &values, const LotValues &key);

private:
    db::Transaction &m_tx;
    std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<db::Prepared>> m_statements;
};

// Lots found by a text: the first lot of each text, as lot numbers in an open-addressed table
// (a few bytes a lot, where a map of strings costs a few hundred).
class FirstLotIndex {
public:
    // The first lot entered under a text of this hash for which same(lot) holds; -1 when none.
    template <class Same>
    int find(size_t hash, Same same) const
    {
        if (m_slots.empty())
            return -1;
        const size_t mask = m_slots.size() - 1;
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot &s = m_slots[at];
            if (s.lot < 0)
                return -1;
            if (s.hash == uint32_t(hash) && same(s.lot))
                return s.lot;
        }
    }
    // Enters a lot whose text is not there yet.
    void add(size_t hash, int lot);

private:
    struct Slot {
        uint32_t hash = 0;
        int32_t lot = -1;
    };
    std::vector<Slot> m_slots;
    size_t m_used = 0;
};

class LotStore {
public:
    // Reads the lots the lot lookup sees: the store's laboratories and the shared locations.
    // Throws db::DbError when the server refuses the statement (an empty scope among others).
    LotStore(db::Transaction &tx, const core::RunState &run);
    // The statement of that read.
    static QString scopeStatement(const QString &labScopeClause);

    int size() const { return int(m_lots.size()); }
    // A lot's current values (only the columns read are filled).
    LotValues values(int i) const;
    db::Value value(int i, LotCol column) const { return m_rows.at(i, column); }
    // Source rows that posted a lot since the last write, all lots together.
    int posts() const;

    // The first lot of the given name, lot and supplier, as DESCRICAO = .. and LOTE = .. and
    // FORNECEDOR = .. finds it; -1 when there is none.
    int find(const QString &name, const QString &lot, const QString &supplier) const;
    // The first lot of that name whose density is 1, 0 or unset at this moment; -1 when none.
    int firstUnsetDensity(const QString &name) const;

    // Adds a lot at the run's laboratory. A lot whose key (code, lot, supplier, laboratory)
    // already exists is not added: the refusal is recorded and -1 returned.
    int insert(LotValues values);
    // Sets a value of a lot (empty text stored as null); marks it changed when it differs. The
    // columns that find a lot (name, lot, supplier, code, laboratory) are never set: a lot keeps
    // the key it was read or inserted with.
    void set(int i, LotCol column, const db::Value &value);
    void posted(int i) { ++m_lots[size_t(i)].posts; }

    struct Written {
        int refusedPosts = 0;           // posts of lots whose write the server refused
        std::vector<Refusal> refusals;  // every refusal of this write and of the inserts before it
    };
    // Writes what changed, inserts first then updates, in lot order; a row the server refuses
    // is skipped and recorded, the others are written. progress(done, total) after each row.
    Written write(db::Transaction &tx, const std::function<void(int, int)> &progress = {});

private:
    struct Lot {
        uint32_t changed = 0;   // columns changed since read or last written
        int32_t posts = 0;      // source rows that posted this lot since the last write
        bool isNew = false;
    };

    static QString lookupKey(const QString &name, const QString &lot, const QString &supplier);
    QString lookupKeyOf(int i) const;
    QString nameOf(int i) const;
    QString codeKeyOf(int i) const;
    int atLaboratory(const QString &codeKey) const;
    bool inScope(const QString &laboratory) const;
    void index(int i);

    PackedRows m_rows{kLotCols};
    std::vector<Lot> m_lots;
    FirstLotIndex m_byLookup;                  // name, lot, supplier
    FirstLotIndex m_byName;                    // the first lot of a name; the others follow it
    std::vector<int32_t> m_nextOfName;         // by lot: the next lot of its name, or -1
    std::vector<int32_t> m_lastOfName;         // by the first lot of a name: the last one
    FirstLotIndex m_atLaboratory;              // code, lot, supplier of the lots at the run's laboratory
    std::unordered_set<QString> m_scope;       // upper-case names of the admitted locations
    QString m_laboratory;
    std::vector<Refusal> m_refusals;
};

// "Registros recusados ..." with one line per refused row (the first 20), empty for none.
QString RefusalSummary(const std::vector<Refusal> &refusals);

} // namespace maintenance
