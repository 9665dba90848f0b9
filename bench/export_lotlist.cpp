// The spreadsheet exports at 10 000 and 100 000 lots against a direct formatter: the same values
// taken beforehand into packed Windows-1252 bytes and numbers, quoting checked on bytes, numbers
// formatted with to_chars, the same file write. Lot list (from the grid's cached rows, in a
// client sort's order), the two staged reports (from their rows) and the expiry file (from its
// summary); the lot list also the old way, every text through QString and a line of its own.
// Prints figures only; medians of three.
#include "benchfigures.h"

#include "core/runstate.h"
#include "data/cacheddataset.h"
#include "db/connection.h"
#include "common/csvexport.h"
#include "expiry/expiry.h"
#include "expiry/expiryoutput.h"
#include "platform/cp1252.h"
#include "platform/operator.h"
#include "platform/winpath.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// ---- the direct formatter: packed cells, bytes out

struct Cell {
    enum Kind : unsigned char { Null, Text, Plain, Fixed, Date, Integer, Real, RealFixed, Literal } kind = Null;
    int decimals = 0;          // Fixed, RealFixed
    std::string text;          // Text, Literal: Windows-1252
    int64_t mantissa = 0;      // Plain, Fixed (with scale), Integer
    int scale = 0;
    double real = 0;
    int y = 0, m = 0, d = 0;   // Date
};

Cell packed(const db::Value &v, Cell::Kind numberKind = Cell::Plain, int decimals = 0)
{
    Cell c;
    switch (v.kind()) {
    case db::Value::Kind::Null:
        c.kind = numberKind == Cell::Fixed ? Cell::Fixed : Cell::Null;
        c.decimals = decimals;
        break;
    case db::Value::Kind::Text:
        c.kind = Cell::Text;
        c.text = platform::toCp1252(v.toString()).toStdString();
        break;
    case db::Value::Kind::Integer:
    case db::Value::Kind::Decimal: {
        const db::Decimal dec = v.toDecimal();
        c.kind = numberKind;
        c.decimals = decimals;
        c.mantissa = dec.mantissa;
        c.scale = dec.scale;
        break;
    }
    case db::Value::Kind::Date:
        c.kind = Cell::Date;
        v.toDate().getDate(&c.y, &c.m, &c.d);
        break;
    case db::Value::Kind::Double:
        c.kind = numberKind == Cell::Fixed ? Cell::RealFixed : Cell::Real;
        c.decimals = decimals;
        c.real = v.toDouble();
        break;
    default:
        c.kind = Cell::Literal;
        c.text = platform::toCp1252(v.toString()).toStdString();
        break;
    }
    return c;
}

Cell literal(const QString &t)
{
    Cell c;
    c.kind = Cell::Literal;
    c.text = platform::toCp1252(t).toStdString();
    return c;
}

void number(std::string &out, int64_t v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, size_t(r.ptr - buf));
}

void format(std::string &out, const Cell &c)
{
    switch (c.kind) {
    case Cell::Null:
        return;
    case Cell::Literal:
        out += c.text;
        return;
    case Cell::Text:
        if (c.text.find_first_of(";\"\r\n") == std::string::npos) {
            out += c.text;
        } else {
            out += '"';
            for (char ch : c.text) {
                if (ch == '"')
                    out += '"';
                out += ch;
            }
            out += '"';
        }
        return;
    case Cell::Integer:
        number(out, c.mantissa);
        return;
    case Cell::Plain:
    case Cell::Fixed: {
        int64_t m = c.mantissa;
        int scale = c.scale;
        if (c.kind == Cell::Fixed) {
            for (; scale > c.decimals; --scale) {
                const int64_t r = m % 10;
                m /= 10;
                if (scale == c.decimals + 1 && (r >= 5 || r <= -5))
                    m += m < 0 || (m == 0 && r < 0) ? -1 : 1;
            }
            for (; scale < c.decimals; ++scale)
                m *= 10;
        } else {
            while (scale > 0 && m % 10 == 0) {
                m /= 10;
                --scale;
            }
        }
        if (m < 0) {
            out += '-';
            m = -m;
        }
        int64_t p = 1;
        for (int i = 0; i < scale; ++i)
            p *= 10;
        number(out, m / p);
        if (scale > 0) {
            out += ',';
            char buf[24];
            int64_t f = m % p;
            for (int i = scale - 1; i >= 0; --i) {
                buf[i] = char('0' + f % 10);
                f /= 10;
            }
            out.append(buf, size_t(scale));
        }
        return;
    }
    case Cell::Date: {
        const char buf[10] = {char('0' + c.d / 10), char('0' + c.d % 10), '/', char('0' + c.m / 10), char('0' + c.m % 10),
                              '/', char('0' + c.y / 1000), char('0' + c.y / 100 % 10), char('0' + c.y / 10 % 10),
                              char('0' + c.y % 10)};
        out.append(buf, 10);
        return;
    }
    case Cell::Real: {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, c.real, std::chars_format::general, 15);
        for (char *p = buf; p < r.ptr; ++p)
            out += *p == '.' ? ',' : *p;
        return;
    }
    case Cell::RealFixed: {
        // The shortest decimal text rounded half away from zero at the wanted place.
        char buf[400];
        const auto r = std::to_chars(buf + 1, buf + sizeof buf, c.real < 0 ? -c.real : c.real, std::chars_format::fixed);
        buf[0] = '0';
        char *end = r.ptr;
        char *point = std::find(buf + 1, end, '.');
        if (point == end) {
            *end++ = '.';
        }
        while (end - point - 1 < c.decimals + 1)
            *end++ = '0';
        char *cut = point + 1 + c.decimals;
        if (*cut >= '5') {
            for (char *q = cut - 1; q >= buf; --q) {
                if (*q == '.')
                    continue;
                if (*q == '9') {
                    *q = '0';
                } else {
                    ++*q;
                    break;
                }
            }
        }
        const char *begin = buf[0] == '0' && point > buf + 1 ? buf + 1 : buf;
        bool zero = true;
        for (const char *q = begin; q < cut; ++q)
            zero = zero && (*q == '0' || *q == '.');
        if (c.real < 0 && !zero)
            out += '-';
        for (const char *q = begin; q < (c.decimals ? cut : point); ++q)
            out += *q == '.' ? ',' : *q;
        return;
    }
    }
}

// Rows of packed cells, formatted and written the way the export writes its file.
struct Packed {
    std::string header;
    std::vector<std::vector<Cell>> rows;
};

QByteArray formatDirect(const Packed &t, size_t expected)
{
    std::string out;
    out.reserve(expected);
    out += t.header;
    out += "\r\n";
    for (const auto &row : t.rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i)
                out += ';';
            format(out, row[i]);
        }
        out += "\r\n";
    }
    return QByteArray(out.data(), qsizetype(out.size()));
}

struct Quiet : platform::Operator {
    void inform(const QString &) override {}
    void warn(const QString &) override {}
    platform::Answer ask(const QString &) override { return platform::Answer::No; }
};

double medianMs(int runs, const std::function<void()> &f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        f();
        t.push_back(bench::ms(clock));
    }
    return bench::median(t);
}

QByteArray fileBytes(const QString &local)
{
    QFile f(local);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

struct Line {
    double exportMs, directMs;
};

// One export against the direct formatter: prints the line and checks both made the same bytes.
Line compare(const char *what, int n, const std::function<QByteArray()> &exportFile, const Packed &packed,
             const platform::WinPaths &paths, const QString &directTarget)
{
    QByteArray exported;
    const double exportMs = medianMs(3, [&] { exported = exportFile(); });
    QByteArray direct;
    const double directMs = medianMs(3, [&] {
        direct = formatDirect(packed, size_t(exported.size()));
        exports::WriteCsvBytes(paths, directTarget, direct);
    });
    std::printf("  %-16s %7d rows %6.1f MB  export %8.1f ms  direct %8.1f ms  ratio %5.2f  %s\n", what, n,
                double(exported.size()) / 1048576.0, exportMs, directMs, exportMs / directMs,
                exported == direct ? "same bytes" : "BYTES DIFFER");
    return {exportMs, directMs};
}

} // namespace

const char kUsage[] = "usage: bench_export_lotlist --sql DIR\n"
                      "  DIR: the folder of the central tables' script (sql, holding central.sql); the fixture\n"
                      "  is built in a new database in a temporary folder\n";

static int measure(const QString &script);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return bench::run(kUsage, [] {
        QCommandLineParser p;
        p.addOption({QStringLiteral("sql"), QStringLiteral("folder of central.sql"), QStringLiteral("DIR")});
        bench::parseArguments(p);
        return measure(bench::centralScript(p));
    });
}

static int measure(const QString &script)
{
    const int most = 100000;
    bench::ScratchCentral scratch(script);
    QTemporaryDir &dir = scratch.dir;
    db::Connection &conn = scratch.conn;
    const platform::WinPaths paths = platform::WinPaths::parse(QStringLiteral("C: = c\n"), dir.path());
    {
        db::Transaction tx(conn);
        db::Prepared ins(tx, QStringLiteral("insert into ESTLOTE (CODIGO, DESCRICAO, LOTE, FORNECEDOR, LABORATORIO, "
                                            "SALDOCORRENTE, UNIDADE, VALIDADE, CONTROLADA, DENSIDADE, FATORCORRECAO, "
                                            "PRECOCUSTO, PRECOVENDA, ESTOQUECUSTO, ESTOQUEVENDA) "
                                            "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 0; i < most; ++i)
            ins.execute({db::Value::text(QString::number(i % 5000)),
                         db::Value::text(i % 97 == 0 ? QStringLiteral("Cápsula 5\" gel; %1").arg(i % 5000)
                                                     : QStringLiteral("Produto a\u00e7\u00e3o %1").arg(i % 5000)),
                         db::Value::text(QStringLiteral("L%1").arg(i)), db::Value::text(QStringLiteral("Fornecedor %1").arg(i % 40)),
                         db::Value::text(QStringLiteral("Almoxarifado")), db::Value::decimal(db::Decimal{int64_t(i) * 1234, 3}),
                         db::Value::text(QStringLiteral("G")), db::Value::date(QDate(2025, 1, 1).addDays(i % 700)),
                         db::Value::text(QStringLiteral("N")), db::Value::decimal(db::Decimal{105, 2}),
                         db::Value::decimal(db::Decimal{1, 0}), db::Value::decimal(db::Decimal{int64_t(i % 977) * 12345, 4}),
                         db::Value::decimal(db::Decimal{int64_t(i % 131) * 777, 2}),
                         db::Value::decimal(db::Decimal{int64_t(i) * 31, 3}), db::Value::decimal(db::Decimal{int64_t(i) * 57, 3})});
        tx.commit();
    }
    const QDate today(2024, 3, 7);
    Quiet op;
    const QString directTarget = QStringLiteral("C:\\FORMULIX\\DIRECT.CSV");
    std::printf("Exports against a direct formatter (packed bytes, to_chars, same file write); medians of 3.\n"
                "A shared machine: ratios hold better than times.\n\n");
    std::vector<std::pair<int, std::vector<Line>>> sizes;
    for (const int n : {10000, most}) {
        std::printf("== %d lots\n", n);
        std::vector<Line> lines;

        // The lot list from the grid's rows in a client sort's order.
        data::CachedDataset ds(QStringLiteral("ESTLOTE"), &conn);
        ds.setCommandText(QStringLiteral("select first %1 ").arg(n) + core::kLotColumnList
                          + QStringLiteral(" from ESTLOTE order by DESCRICAO"));
        ds.open();
        ds.setIndexFieldNames(QStringLiteral("VALIDADE"));
        Packed lotList{platform::toCp1252(exports::kLotListHeader).toStdString(), {}};
        const char *columns[] = {"CODIGO", "DESCRICAO", "LOTE", "FORNECEDOR", "LABORATORIO", "SALDOCORRENTE",
                                 "UNIDADE", "VALIDADE", "CONTROLADA", "DENSIDADE", "FATORCORRECAO"};
        for (int r = 0; r < ds.rowCount(); ++r) {
            std::vector<Cell> row;
            for (const char *c : columns)
                row.push_back(packed(ds.valueAt(r, ds.fieldIndex(QLatin1String(c)))));
            lotList.rows.push_back(std::move(row));
        }
        const QString local = paths.toLocal(exports::LotListPath(today));
        lines.push_back(compare("lot list", n, [&] {
            exports::ExportLotList(ds, paths, today, op);
            return fileBytes(local);
        }, lotList, paths, directTarget));
        QByteArray old;
        const double oldMs = medianMs(3, [&] {
            exports::WriteCsvFile(paths, exports::LotListPath(today), exports::LotListLines(ds));
        });
        old = fileBytes(local);
        std::printf("  %-16s %7d rows            old way %7.1f ms  (every text through QString, a line each)  %s\n",
                    "lot list", n, oldMs, old == formatDirect(lotList, 0) ? "same bytes" : "BYTES DIFFER");

        // The staged reports from their rows.
        const db::Rows staged = conn.query(QStringLiteral("select first %1 DESCRICAO, CODIGO, SALDOCORRENTE, UNIDADE, "
                                                          "PRECOCUSTO, PRECOVENDA, ESTOQUECUSTO, ESTOQUEVENDA from ESTLOTE "
                                                          "order by DESCRICAO, VALIDADE").arg(n));
        Packed stock{platform::toCp1252(exports::kStockValueHeader).toStdString(), {}};
        Packed cost{platform::toCp1252(exports::kCostOfSalesHeader).toStdString(), {}};
        for (const auto &r : staged.rows) {
            stock.rows.push_back({packed(r[1]), packed(r[0]), packed(r[2]), packed(r[3]), packed(r[4], Cell::Fixed, 4),
                                  packed(r[5], Cell::Fixed, 4), packed(r[6], Cell::Fixed, 2), packed(r[7], Cell::Fixed, 2)});
            cost.rows.push_back({packed(r[0]), packed(r[1]), packed(r[2]), packed(r[3]), packed(r[4], Cell::Fixed, 4),
                                 packed(r[6], Cell::Fixed, 2)});
        }
        lines.push_back(compare("stock value", n, [&] {
            const QByteArray b = exports::StockValueBytes(&staged);
            exports::WriteCsvBytes(paths, exports::StockValuePath(today), b);
            return b;
        }, stock, paths, directTarget));
        lines.push_back(compare("cost of sales", n, [&] {
            const QByteArray b = exports::CostOfSalesBytes(&staged);
            exports::WriteCsvBytes(paths, exports::CostOfSalesPath(today), b);
            return b;
        }, cost, paths, directTarget));

        // The expiry file from a summary of as many lots.
        expiry::Summary s;
        for (size_t i = 0; i < staged.rows.size(); ++i) {
            const auto &r = staged.rows[i];
            expiry::ExpiringLot l;
            l.codigo = r[1].toString();
            l.descricao = r[0].toString();
            l.grupo = QStringLiteral("MP");
            l.lote = QStringLiteral("L%1").arg(i);
            l.fornecedor = QStringLiteral("Fornecedor %1").arg(i % 40);
            l.laboratorio = QStringLiteral("Almoxarifado");
            l.unidade = r[3].toString();
            l.situacao = QStringLiteral("Aprovado");
            l.saldo = double(i % 1000) / 8.0;
            l.validade = today.addDays(int(i % 180));
            l.daysLeft = int(i % 180);
            l.horizon = int(i % 4);
            l.registered = i % 50 != 0;
            l.valued = l.registered && i % 7 != 0;
            l.cost = double(i % 977) * 0.37;
            l.sale = double(i % 977) * 0.91;
            l.projected = i % 3 == 0;
            l.leftover = double(i % 300) / 4.0;
            l.leftoverCost = double(i % 300) * 0.13;
            s.lots.push_back(l);
        }
        Packed exp{platform::toCp1252(expiry::kExpiryCsvHeader).toStdString(), {}};
        const auto yesNo = [](bool b) { return literal(b ? QStringLiteral("Sim") : QStringLiteral("Não")); };
        for (const expiry::ExpiringLot &l : s.lots) {
            std::vector<Cell> row{packed(db::Value::text(expiry::HorizonName(l.horizon))), packed(db::Value::text(l.codigo)),
                                  packed(db::Value::text(l.descricao)), packed(db::Value::text(l.grupo)),
                                  packed(db::Value::text(l.lote)), packed(db::Value::text(l.fornecedor)),
                                  packed(db::Value::text(l.laboratorio)), packed(db::Value::text(l.situacao)),
                                  packed(db::Value::real(l.saldo)), packed(db::Value::text(l.unidade)),
                                  packed(db::Value::date(l.validade)), packed(db::Value::integer(l.daysLeft), Cell::Integer)};
            if (l.valued) {
                row.push_back(packed(db::Value::real(l.cost), Cell::Fixed, 2));
                row.push_back(packed(db::Value::real(l.sale), Cell::Fixed, 2));
            } else {
                row.push_back(literal(l.registered ? expiry::kUnitNotConvertedText : expiry::kNotRegisteredText));
                row.push_back(Cell());
            }
            row.push_back(yesNo(l.quarantine()));
            row.push_back(yesNo(l.shared()));
            row.push_back(l.registered ? yesNo(!l.outsideReports) : Cell());
            row.push_back(l.projected ? packed(db::Value::real(l.leftover)) : Cell());
            row.push_back(l.projected && l.valued ? packed(db::Value::real(l.leftoverCost), Cell::Fixed, 2) : Cell());
            exp.rows.push_back(std::move(row));
        }
        lines.push_back(compare("expiry", n, [&] {
            const QByteArray b = expiry::ExpiryCsvBytes(s);
            exports::WriteCsvBytes(paths, expiry::ExpiryCsvPath(today), b);
            return b;
        }, exp, paths, directTarget));
        sizes.push_back({n, lines});
        std::printf("\n");
    }
    std::printf("Growth from %d to %d lots (export time, direct time):\n", sizes[0].first, sizes[1].first);
    const char *names[] = {"lot list", "stock value", "cost of sales", "expiry"};
    for (size_t i = 0; i < sizes[0].second.size(); ++i)
        std::printf("  %-16s x%5.1f   x%5.1f\n", names[i], sizes[1].second[i].exportMs / sizes[0].second[i].exportMs,
                    sizes[1].second[i].directMs / sizes[0].second[i].directMs);
    return 0;
}
