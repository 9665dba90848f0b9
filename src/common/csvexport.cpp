// Spreadsheet exports: field formats, file names, the safe write and the lines of each export.
#include "csvexport.h"
#include "platform/systemerror.h"

#include "data/cacheddataset.h"
#include "data/fieldtext.h"
#include "data/query.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"
#include "platform/operator.h"
#include "platform/winpath.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace exports {

namespace {

constexpr int kPumpEvery = 500;

QString datePart(const QDate &today)
{
    return today.toString(QStringLiteral("yy.MM.dd"));
}

QString fixedFromDecimal(db::Decimal d, int decimals)
{
    // The exact decimal rounded half away from zero to the wanted places.
    int64_t m = d.mantissa;
    if (d.scale > decimals) {
        int64_t div = 1;
        for (int i = decimals; i < d.scale; ++i)
            div *= 10;
        const int64_t r = m % div;
        m /= div;
        if (2 * (r < 0 ? -r : r) >= div)
            m += d.mantissa < 0 ? -1 : 1;
    } else {
        for (int i = d.scale; i < decimals; ++i)
            m *= 10;
    }
    const bool negative = m < 0;
    const QString digits = QString::number(negative ? -m : m).rightJustified(decimals + 1, QLatin1Char('0'));
    QString out = digits.left(digits.size() - decimals);
    if (decimals > 0)
        out += QLatin1Char(',') + digits.right(decimals);
    if (negative)
        out.prepend(QLatin1Char('-'));
    return out;
}

QStringList stagingLines(const db::Rows *rows, const QString &header,
                         const std::function<QString(const std::vector<db::Value> &)> &line,
                         const std::function<void()> &pump)
{
    QStringList lines{header};
    if (!rows)
        return lines;
    lines.reserve(qsizetype(rows->rows.size()) + 1);
    int n = 0;
    for (const auto &r : rows->rows) {
        lines << line(r);
        if (pump && ++n % kPumpEvery == 0)
            pump();
    }
    return lines;
}

} // namespace

QString CsvField(const QString &text)
{
    for (QChar c : text) {
        if (c == QLatin1Char(';') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            QString quoted = text;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            return QLatin1Char('"') + quoted + QLatin1Char('"');
        }
    }
    return text;
}

QString PlainValue(const db::Value &value)
{
    return data::FieldText(value);
}

QString FixedDecimals(const db::Value &value, int decimals)
{
    switch (value.kind()) {
    case db::Value::Kind::Null:
        return fixedFromDecimal(db::Decimal{0, 0}, decimals);
    case db::Value::Kind::Integer:
    case db::Value::Kind::Decimal:
        return fixedFromDecimal(value.toDecimal(), decimals);
    default:
        // A floating point column is rounded as the decimal number it shows as (31.255 is
        // "31,26", not its binary value's "31,25"), and a value rounding to zero has no sign.
        return platform::FormatNumber(decimals > 0 ? QStringLiteral("0.") + QString(decimals, QLatin1Char('0'))
                                                   : QStringLiteral("0"),
                                      value.toDouble());
    }
}

QString LotListPath(const QDate &today)
{
    return QStringLiteral("c:\\FORMULIX\\LOTVIEW") + datePart(today) + QStringLiteral(".CSV");
}

QString StockValuePath(const QDate &today)
{
    return QStringLiteral("C:\\FORMULIX\\ESTOQFIN") + datePart(today) + QStringLiteral(".CSV");
}

QString CostOfSalesPath(const QDate &today)
{
    return QStringLiteral("C:\\FORMULIX\\CPV") + datePart(today) + QStringLiteral(".CSV");
}

QString LotListMessage(const QDate &today)
{
    return QStringLiteral("O arquivo foi gerado com sucesso na pasta: \rC:\\FORMULIX\\LOTVIEW") + datePart(today)
        + QStringLiteral(".CSV\rAgora, basta abrir esse arquivo criado no excel.");
}

QString StockValueMessage(const QDate &today)
{
    return QStringLiteral("Arquivo \"") + StockValuePath(today) + QStringLiteral("\" gerado com sucesso. \rAbra-o no Excel.");
}

QString CostOfSalesMessage(const QDate &today)
{
    return QStringLiteral("Arquivo \"") + CostOfSalesPath(today) + QStringLiteral("\" gerado com sucesso. \rAbra-o no Excel.");
}

void WriteCsvFile(const platform::WinPaths &paths, const QString &windowsPath, const QStringList &lines)
{
    const QString local = paths.toLocal(windowsPath);
    if (local.isEmpty())
        throw ExportError(QStringLiteral("Não foi possível criar o arquivo \"") + windowsPath + QStringLiteral("\"."));
    QByteArray bytes;
    qsizetype size = 0;
    for (const QString &l : lines)
        size += l.size() + 2;
    bytes.reserve(size);
    for (const QString &l : lines) {
        bytes += platform::toCp1252(l);
        bytes += "\r\n";
    }
    const auto refuse = [&windowsPath](const QString &reason) {
        return ExportError(QStringLiteral("Não foi possível criar o arquivo \"") + windowsPath + QStringLiteral("\". ")
                           + reason);
    };
    // The file is written only under its own name: a link there would have another file
    // overwritten, wherever it points.
    const QFileInfo target(local);
    if (target.isSymLink())
        throw refuse(QStringLiteral("O nome aponta para outro arquivo (link simbólico); nada foi gravado."));
    if (target.exists() && !target.isFile())
        throw refuse(QStringLiteral("O nome não é de um arquivo comum; nada foi gravado."));
    // Written beside the target and moved over the name only once whole: a failure leaves the old
    // file, and the move replaces the name itself, never what a link made there meanwhile points to.
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        throw refuse(platform::systemErrorText(file.errorString()));
    // The mode a new file would get, or the one of the file replaced.
    struct stat old;
    mode_t mode = 0;
    if (::stat(QFile::encodeName(local).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(file.handle(), mode);
    if (::fsync(file.handle()) != 0 || ::rename(QFile::encodeName(file.fileName()).constData(),
                                                QFile::encodeName(local).constData()) != 0)
        throw refuse(platform::systemErrorText(QString::fromLocal8Bit(std::strerror(errno))));
    file.setAutoRemove(false);
}

QStringList LotListLines(const data::CachedDataset &ESTLOTE)
{
    static const char *const columns[] = {"CODIGO", "DESCRICAO", "LOTE", "FORNECEDOR", "LABORATORIO", "SALDOCORRENTE",
                                          "UNIDADE", "VALIDADE", "CONTROLADA", "DENSIDADE", "FATORCORRECAO"};
    int index[std::size(columns)];
    for (size_t i = 0; i < std::size(columns); ++i)
        index[i] = ESTLOTE.fieldIndex(QLatin1String(columns[i]));
    QStringList lines{kLotListHeader};
    const int rows = ESTLOTE.isOpen() ? ESTLOTE.rowCount() : 0;
    lines.reserve(rows + 1);
    QStringList fields;
    for (int r = 0; r < rows; ++r) {
        fields.clear();
        for (int c : index)
            fields << CsvField(c < 0 ? QString() : PlainValue(ESTLOTE.valueAt(r, c)));
        lines << fields.join(QLatin1Char(';'));
    }
    return lines;
}

QStringList StockValueLines(const data::Query &staging, const std::function<void()> &pump)
{
    return StockValueLines(staging.rows(), pump);
}

QStringList CostOfSalesLines(const data::Query &staging, const std::function<void()> &pump)
{
    return CostOfSalesLines(staging.rows(), pump);
}

QStringList StockValueLines(const db::Rows *rows, const std::function<void()> &pump)
{
    const int codigo = rows ? rows->indexOf(QStringLiteral("CODIGO")) : -1;
    const int descricao = rows ? rows->indexOf(QStringLiteral("DESCRICAO")) : -1;
    const int saldo = rows ? rows->indexOf(QStringLiteral("SALDOCORRENTE")) : -1;
    const int unidade = rows ? rows->indexOf(QStringLiteral("UNIDADE")) : -1;
    const int custo = rows ? rows->indexOf(QStringLiteral("PRECOCUSTO")) : -1;
    const int venda = rows ? rows->indexOf(QStringLiteral("PRECOVENDA")) : -1;
    const int estCusto = rows ? rows->indexOf(QStringLiteral("ESTOQUECUSTO")) : -1;
    const int estVenda = rows ? rows->indexOf(QStringLiteral("ESTOQUEVENDA")) : -1;
    return stagingLines(rows, kStockValueHeader, [&](const std::vector<db::Value> &r) {
        return QStringList{CsvField(PlainValue(r[size_t(codigo)])), CsvField(PlainValue(r[size_t(descricao)])),
                           PlainValue(r[size_t(saldo)]), CsvField(PlainValue(r[size_t(unidade)])),
                           FixedDecimals(r[size_t(custo)], 4), FixedDecimals(r[size_t(venda)], 4),
                           FixedDecimals(r[size_t(estCusto)], 2), FixedDecimals(r[size_t(estVenda)], 2)}
            .join(QLatin1Char(';'));
    }, pump);
}

QStringList CostOfSalesLines(const db::Rows *rows, const std::function<void()> &pump)
{
    const int codigo = rows ? rows->indexOf(QStringLiteral("CODIGO")) : -1;
    const int descricao = rows ? rows->indexOf(QStringLiteral("DESCRICAO")) : -1;
    const int saldo = rows ? rows->indexOf(QStringLiteral("SALDOCORRENTE")) : -1;
    const int unidade = rows ? rows->indexOf(QStringLiteral("UNIDADE")) : -1;
    const int custo = rows ? rows->indexOf(QStringLiteral("PRECOCUSTO")) : -1;
    const int estCusto = rows ? rows->indexOf(QStringLiteral("ESTOQUECUSTO")) : -1;
    return stagingLines(rows, kCostOfSalesHeader, [&](const std::vector<db::Value> &r) {
        return QStringList{CsvField(PlainValue(r[size_t(descricao)])), CsvField(PlainValue(r[size_t(codigo)])),
                           PlainValue(r[size_t(saldo)]), CsvField(PlainValue(r[size_t(unidade)])),
                           FixedDecimals(r[size_t(custo)], 4), FixedDecimals(r[size_t(estCusto)], 2)}
            .join(QLatin1Char(';'));
    }, pump);
}

void ExportLotList(data::CachedDataset &ESTLOTE, const platform::WinPaths &paths, const QDate &today,
                   platform::Operator &op)
{
    // The lines are read without moving: the grid stays on the operator's lot.
    const QStringList lines = LotListLines(ESTLOTE);
    try {
        WriteCsvFile(paths, LotListPath(today), lines);
    } catch (const ExportError &e) {
        op.error(e.message());
        return;
    }
    op.inform(LotListMessage(today));
}

void ExportStagedReport(StagedReport which, data::Query &qry_pdEstLote, const platform::WinPaths &paths,
                        const QDate &today, platform::Operator &op, const std::function<void()> &pump)
{
    qry_pdEstLote.close();
    qry_pdEstLote.setSql(kStagingExportSql);
    qry_pdEstLote.open();
    const db::Rows rows = qry_pdEstLote.takeRows();
    const bool stock = which == StagedReport::StockValue;
    const QStringList lines = stock ? StockValueLines(&rows, pump) : CostOfSalesLines(&rows, pump);
    try {
        WriteCsvFile(paths, stock ? StockValuePath(today) : CostOfSalesPath(today), lines);
    } catch (const ExportError &e) {
        op.error(e.message());
        return;
    }
    op.inform(stock ? StockValueMessage(today) : CostOfSalesMessage(today));
}

} // namespace exports
