// A workstation moving stock between two rows of one product in a single transaction, the two
// rows written in a random order, as the concurrency test runs it beside the transfer workers:
// what it writes meets the transfers' locks in the other order now and then.
// Usage: stock_writer TARGET SEED COUNT
//   TARGET  host:/path of the central database
// Prints one line per attempt ("DONE", "SKIPPED" when the first row no longer covers the
// quantity, "GAVEUP <message>" for a wait the layer gave up, "FAILED <message>" for any other
// failure) and "END <done> <skipped> <gaveup> <failed>". Nothing ends the process but the end.
#include "db/connection.h"
#include "db/dberror.h"

#include <QCoreApplication>

#include <cstdio>
#include <random>

namespace {

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const QString kRow = QStringLiteral(
    "CODIGO = ? and LOTE = ? and FORNECEDOR = ? and LABORATORIO = ?");

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fputs("usage: stock_writer TARGET SEED COUNT\n", stderr);
        return 2;
    }
    db::Connection conn;
    conn.configure(db::Target{args[1], false, true});
    std::mt19937 rnd(args[2].toUInt());
    const int count = args[3].toInt();
    int done = 0, skipped = 0, gaveUp = 0, failed = 0;
    for (int i = 0; i < count; ++i) {
        try {
            const db::Rows rows = conn.query(
                QStringLiteral("select CODIGO, LOTE, FORNECEDOR, LABORATORIO from ESTLOTE order by CODIGO"));
            // Two rows of one product, in either order.
            std::vector<std::pair<size_t, size_t>> pairs;
            for (size_t a = 0; a < rows.rows.size(); ++a)
                for (size_t b = 0; b < rows.rows.size(); ++b)
                    if (a != b && rows.rows[a][0].toString() == rows.rows[b][0].toString())
                        pairs.emplace_back(a, b);
            if (pairs.empty())
                return 3;
            const auto [from, to] = pairs[rnd() % pairs.size()];
            const db::Value q = db::Value::decimal(db::Decimal::fromString(QString::number(1 + rnd() % 3)));
            auto key = [&](size_t r) {
                return std::vector<db::Value>{rows.rows[r][0], rows.rows[r][1], rows.rows[r][2], rows.rows[r][3]};
            };
            db::Transaction tx(conn);
            std::vector<db::Value> p{q, q};
            for (const db::Value &v : key(from))
                p.push_back(v);
            p.push_back(q);
            if (tx.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE - ?, SALDOPREVISTO = "
                                          "SALDOPREVISTO - ? where ") + kRow + QStringLiteral(" and SALDOCORRENTE >= ?"),
                           p) != 1) {
                ++skipped;
                say(QStringLiteral("SKIPPED"));
                continue;
            }
            std::vector<db::Value> c{q, q};
            for (const db::Value &v : key(to))
                c.push_back(v);
            if (tx.execute(QStringLiteral("update ESTLOTE set SALDOCORRENTE = SALDOCORRENTE + ?, SALDOPREVISTO = "
                                          "SALDOPREVISTO + ? where ") + kRow, c) != 1) {
                ++skipped;
                say(QStringLiteral("SKIPPED"));
                continue;
            }
            tx.commit();
            ++done;
            say(QStringLiteral("DONE"));
        } catch (const db::DbError &e) {
            if (e.waitEnded()) {
                ++gaveUp;
                say(QStringLiteral("GAVEUP ") + db::operatorText(e).simplified());
            } else {
                ++failed;
                say(QStringLiteral("FAILED ") + db::operatorText(e).simplified());
            }
        }
    }
    say(QStringLiteral("END %1 %2 %3 %4").arg(done).arg(skipped).arg(gaveUp).arg(failed));
    return 0;
}
