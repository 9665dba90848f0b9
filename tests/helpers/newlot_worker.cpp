// One workstation saving a new lot through the lot dataset's save (the lot edit form's road), as
// the new-lot race test starts two of it at once.
// Usage: newlot_worker TARGET
//   Reads lines "GO CODE LOT" from its standard input; for each it inserts the lot at "Manipulação"
//   and saves it, with a pause between the save's check and its insert, then prints "SAVED" or
//   "REFUSED <message>" (or "FAILED <message>").
#include "lotedit/lotkey.h"

#include "core/runstate.h"
#include "data/cacheddataset.h"
#include "data/tables.h"
#include "db/connection.h"
#include "db/dberror.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

namespace {

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fputs("usage: newlot_worker TARGET\n", stderr);
        return 2;
    }
    db::Connection conn;
    conn.configure(db::Target{args[1], false, true});
    data::CachedDataset lots(QStringLiteral("ESTLOTE"), &conn, data::tables::ESTLOTE());
    lots.setCommandText(QStringLiteral("select ") + core::kLotColumnList + QStringLiteral(" from ESTLOTE where 1 = 0"));
    // The save's own check, then a pause before the insert: the two workstations' saves overlap
    // for certain, as two clicks at the same moment may make them.
    lots.beforeWrite = [](data::CachedDataset &ds, db::Transaction &tx, const std::vector<db::Value> &before,
                          const std::vector<db::Value> &after) {
        std::optional<QString> refused = lotedit::RefuseSecondLotRow(ds, tx, before, after);
        QThread::msleep(20);
        return refused;
    };
    lots.open();
    say(QStringLiteral("READY"));
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        const QStringList words = QString::fromUtf8(line).trimmed().split(QLatin1Char(' '));
        if (words.size() != 3 || words[0] != QLatin1String("GO"))
            break;
        try {
            lots.insert();
            lots.setValue(QStringLiteral("DESCRICAO"), db::Value::text(QStringLiteral("Vitamina C")));
            lots.setValue(QStringLiteral("CODIGO"), db::Value::text(words[1]));
            lots.setValue(QStringLiteral("LOTE"), db::Value::text(words[2]));
            lots.setValue(QStringLiteral("FORNECEDOR"), db::Value::text(QStringLiteral("Galena")));
            lots.setValue(QStringLiteral("LABORATORIO"), db::Value::text(QStringLiteral("Manipulação")));
            lots.setValue(QStringLiteral("SALDOCORRENTE"), db::Value::integer(5));
            lots.post();
            const std::vector<data::ApplyError> errors = lots.applyUpdates(data::CachedDataset::OnRefusal::Stop);
            if (errors.empty())
                say(QStringLiteral("SAVED"));
            else
                say(QStringLiteral("REFUSED ") + errors.front().message);
            lots.cancelUpdates();
        } catch (const db::DbError &e) {
            say(QStringLiteral("FAILED ") + e.message().simplified());
            lots.cancelUpdates();
        }
    }
    return 0;
}
