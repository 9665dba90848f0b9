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

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
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

// What becomes of each byte of a stored text on its way through QString and back: the code page
// leaves most as they are; a byte it does not define may come back otherwise, and the file must
// hold what the conversion would have written.
struct ByteMap {
    std::array<unsigned char, 256> to{};
    std::array<bool, 256> special{};   // quoting byte, or a byte the round trip changes
    ByteMap()
    {
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const QByteArray back = platform::toCp1252(platform::fromCp1252(&c, 1));
            to[size_t(b)] = back.size() == 1 ? static_cast<unsigned char>(back[0]) : static_cast<unsigned char>('?');
            special[size_t(b)] = back != QByteArray(1, c) || c == ';' || c == '"' || c == '\r' || c == '\n';
        }
    }
};

const ByteMap &byteMap()
{
    static const ByteMap map;
    return map;
}

// Windows-1252 of each character up to U+00FF, as the converter gives it.
struct CharMap {
    std::array<unsigned char, 256> to{};
    CharMap()
    {
        for (int u = 0; u < 256; ++u) {
            const QByteArray b = platform::toCp1252(QString(QChar(char16_t(u))));
            to[size_t(u)] = b.size() == 1 ? static_cast<unsigned char>(b[0]) : static_cast<unsigned char>('?');
        }
    }
};

const CharMap &charMap()
{
    static const CharMap map;
    return map;
}

void appendRaw(QByteArray &out, const char *p, size_t n)
{
    out.append(p, qsizetype(n));
}

template <typename T>
void appendNumber(QByteArray &out, T v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    appendRaw(out, buf, size_t(r.ptr - buf));
}

// Decimal::toString with a comma: trailing zeros dropped.
void appendPlainDecimal(QByteArray &out, db::Decimal d)
{
    if (d.scale <= 0) {
        int64_t m = d.mantissa;
        for (int i = d.scale; i < 0; ++i)
            m *= 10;
        appendNumber(out, m);
        return;
    }
    const bool negative = d.mantissa < 0;
    const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(d.mantissa) : uint64_t(d.mantissa);
    uint64_t p = 1;
    for (int i = 0; i < d.scale; ++i)
        p *= 10;
    uint64_t frac = magnitude % p;
    int digits = d.scale;
    while (digits > 0 && frac % 10 == 0) {
        frac /= 10;
        --digits;
    }
    if (negative)
        out.append('-');
    appendNumber(out, magnitude / p);
    if (digits > 0) {
        char buf[24];
        for (int i = digits - 1; i >= 0; --i) {
            buf[i] = char('0' + frac % 10);
            frac /= 10;
        }
        out.append(',');
        appendRaw(out, buf, size_t(digits));
    }
}

// fixedFromDecimal on bytes.
void appendFixedDecimal(QByteArray &out, db::Decimal d, int decimals)
{
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
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, uint64_t(negative ? uint64_t(0) - uint64_t(m) : uint64_t(m)));
    std::string_view digits(buf, size_t(r.ptr - buf));
    std::string padded;
    if (int(digits.size()) < decimals + 1) {
        padded.assign(size_t(decimals + 1) - digits.size(), '0');
        padded.append(digits);
        digits = padded;
    }
    if (negative)
        out.append('-');
    appendRaw(out, digits.data(), digits.size() - size_t(decimals));
    if (decimals > 0) {
        out.append(',');
        appendRaw(out, digits.data() + digits.size() - size_t(decimals), size_t(decimals));
    }
}

// A floating point value rounded half away from zero on its shortest decimal text, as the
// "0.00" picture of FormatNumber rounds it.
void appendFixedReal(QByteArray &out, double value, int decimals)
{
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
    std::string text(buf, size_t(res.ptr - buf));
    const size_t point = text.find('.');
    std::string intDigits = point == std::string::npos ? text : text.substr(0, point);
    std::string decDigits = point == std::string::npos ? std::string() : text.substr(point + 1);
    if (int(decDigits.size()) > decimals) {
        const bool up = decDigits[size_t(decimals)] >= '5';
        decDigits.resize(size_t(decimals));
        if (up) {
            std::string all = intDigits + decDigits;
            int i = int(all.size()) - 1;
            for (; i >= 0; --i) {
                if (all[size_t(i)] == '9') {
                    all[size_t(i)] = '0';
                } else {
                    ++all[size_t(i)];
                    break;
                }
            }
            if (i < 0) {
                std::string carried(1, '1');
                carried += all;
                all.swap(carried);
            }
            intDigits = all.substr(0, all.size() - size_t(decimals));
            decDigits = all.substr(all.size() - size_t(decimals));
        }
    }
    decDigits.resize(size_t(decimals), '0');
    size_t lead = 0;
    while (lead < intDigits.size() && intDigits[lead] == '0')
        ++lead;
    intDigits.erase(0, lead);
    if (intDigits.empty())
        intDigits.push_back('0');
    const auto nonZero = [](const std::string &d) { return d.find_first_of("123456789") != std::string::npos; };
    if (value < 0 && (nonZero(intDigits) || nonZero(decDigits)))
        out.append('-');
    appendRaw(out, intDigits.data(), intDigits.size());
    if (decimals > 0) {
        out.append(',');
        appendRaw(out, decDigits.data(), decDigits.size());
    }
}

// A floating point value as the grids show it: 15 significant digits, "1,5E20", "1E-7"; false
// for zero and values that are no number, left to the display text.
bool appendGeneral(QByteArray &out, double v)
{
    if (!std::isfinite(v) || v == 0)
        return false;
    char buf[64];
    // The display text rounds a tie at the fifteenth digit away from zero, the C library to
    // even: a value whose sixteenth digit may be such a tie keeps the display's own text.
    const auto sixteen = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 15);
    const size_t lastDigit = v < 0 ? 17 : 16;
    if (sixteen.ptr - buf > std::ptrdiff_t(lastDigit) && buf[lastDigit] == '5')
        return false;
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    const std::string_view t(buf, size_t(r.ptr - buf));
    const size_t e = t.find('e');
    const std::string_view mantissa = t.substr(0, e);
    for (const char c : mantissa)
        out.append(c == '.' ? ',' : c);
    if (e != std::string_view::npos) {
        out.append('E');
        std::string_view exponent = t.substr(e + 1);
        if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) {
            if (exponent[0] == '-')
                out.append('-');
            exponent.remove_prefix(1);
        }
        while (!exponent.empty() && exponent[0] == '0')
            exponent.remove_prefix(1);
        appendRaw(out, exponent.data(), exponent.size());
    }
    return true;
}

// dd/MM/yyyy of a date of years 1 to 9999; false for any other.
bool appendDate(QByteArray &out, const QDate &date)
{
    int y, m, d;
    date.getDate(&y, &m, &d);
    if (!date.isValid() || y < 1 || y > 9999)
        return false;
    const char buf[10] = {char('0' + d / 10), char('0' + d % 10), '/', char('0' + m / 10), char('0' + m % 10), '/',
                          char('0' + y / 1000), char('0' + y / 100 % 10), char('0' + y / 10 % 10), char('0' + y % 10)};
    appendRaw(out, buf, 10);
    return true;
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

CsvBuilder::CsvBuilder(qsizetype expectedBytes)
{
    if (expectedBytes > 0)
        m_out.reserve(expectedBytes);
}

void CsvBuilder::separator()
{
    if (!m_lineStart)
        m_out.append(';');
    m_lineStart = false;
}

CsvBuilder &CsvBuilder::text(std::string_view cp1252)
{
    separator();
    const ByteMap &map = byteMap();
    bool quote = false, translate = false;
    for (const char c : cp1252) {
        if (map.special[static_cast<unsigned char>(c)]) {
            if (c == ';' || c == '"' || c == '\r' || c == '\n')
                quote = true;
            else
                translate = true;
        }
    }
    if (!quote && !translate) {
        appendRaw(m_out, cp1252.data(), cp1252.size());
        return *this;
    }
    if (quote)
        m_out.append('"');
    for (const char c : cp1252) {
        if (c == '"')
            m_out.append('"');
        m_out.append(char(map.to[static_cast<unsigned char>(c)]));
    }
    if (quote)
        m_out.append('"');
    return *this;
}

void CsvBuilder::appendText(const QString &text, bool quoteWhenNeeded)
{
    const CharMap &map = charMap();
    bool quote = false;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u > 0xFF) {
            // Beyond Latin-1 (the euro sign, curly quotes...): the converter's own answer.
            const QString field = quoteWhenNeeded ? CsvField(text) : text;
            m_out += platform::toCp1252(field);
            return;
        }
        if (u == ';' || u == '"' || u == '\r' || u == '\n')
            quote = quoteWhenNeeded;
    }
    if (quote)
        m_out.append('"');
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (quote && u == '"')
            m_out.append('"');
        m_out.append(char(map.to[u]));
    }
    if (quote)
        m_out.append('"');
}

CsvBuilder &CsvBuilder::text(const QString &text)
{
    separator();
    appendText(text, true);
    return *this;
}

CsvBuilder &CsvBuilder::bare(const QString &text)
{
    separator();
    appendText(text, false);
    return *this;
}

CsvBuilder &CsvBuilder::bare(const db::Value &v)
{
    separator();
    switch (v.kind()) {
    case db::Value::Kind::Null:
        return *this;
    case db::Value::Kind::Integer:
        appendNumber(m_out, v.toInt());
        return *this;
    case db::Value::Kind::Decimal:
        appendPlainDecimal(m_out, v.toDecimal());
        return *this;
    case db::Value::Kind::Date:
        if (appendDate(m_out, v.toDate()))
            return *this;
        break;
    case db::Value::Kind::Text:
        appendText(v.toString(), false);
        return *this;
    case db::Value::Kind::Double:
        if (appendGeneral(m_out, v.toDouble()))
            return *this;
        break;
    default:
        break;
    }
    appendText(PlainValue(v), false);
    return *this;
}

CsvBuilder &CsvBuilder::value(const db::Value &v)
{
    if (v.kind() == db::Value::Kind::Text) {
        separator();
        appendText(v.toString(), true);
        return *this;
    }
    if (v.kind() == db::Value::Kind::Blob || v.kind() == db::Value::Kind::Timestamp || v.kind() == db::Value::Kind::Time)
        return text(PlainValue(v));
    return bare(v);   // numbers and dates hold nothing to quote
}

CsvBuilder &CsvBuilder::fixed(const db::Value &v, int decimals)
{
    separator();
    switch (v.kind()) {
    case db::Value::Kind::Null:
        appendFixedDecimal(m_out, db::Decimal{0, 0}, decimals);
        break;
    case db::Value::Kind::Integer:
    case db::Value::Kind::Decimal:
        appendFixedDecimal(m_out, v.toDecimal(), decimals);
        break;
    default:
        if (v.kind() == db::Value::Kind::Double && std::isfinite(v.toDouble()))
            appendFixedReal(m_out, v.toDouble(), decimals);
        else
            appendText(FixedDecimals(v, decimals), false);
        break;
    }
    return *this;
}

CsvBuilder &CsvBuilder::empty()
{
    separator();
    return *this;
}

CsvBuilder &CsvBuilder::endLine()
{
    m_out.append("\r\n", 2);
    m_lineStart = true;
    return *this;
}

CsvBuilder &CsvBuilder::line(const QString &whole)
{
    if (!m_lineStart)
        endLine();
    appendText(whole, false);
    return endLine();
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
    QByteArray bytes;
    qsizetype size = 0;
    for (const QString &l : lines)
        size += l.size() + 2;
    bytes.reserve(size);
    for (const QString &l : lines) {
        bytes += platform::toCp1252(l);
        bytes += "\r\n";
    }
    WriteCsvBytes(paths, windowsPath, bytes);
}

void WriteCsvBytes(const platform::WinPaths &paths, const QString &windowsPath, const QByteArray &bytes)
{
    const QString local = paths.toLocal(windowsPath);
    if (local.isEmpty())
        throw ExportError(QStringLiteral("Não foi possível criar o arquivo \"") + windowsPath + QStringLiteral("\"."));
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

QByteArray LotListBytes(const data::CachedDataset &ESTLOTE)
{
    static const char *const columns[] = {"CODIGO", "DESCRICAO", "LOTE", "FORNECEDOR", "LABORATORIO", "SALDOCORRENTE",
                                          "UNIDADE", "VALIDADE", "CONTROLADA", "DENSIDADE", "FATORCORRECAO"};
    int index[std::size(columns)];
    for (size_t i = 0; i < std::size(columns); ++i)
        index[i] = ESTLOTE.fieldIndex(QLatin1String(columns[i]));
    const int rows = ESTLOTE.isOpen() ? ESTLOTE.rowCount() : 0;
    CsvBuilder out(qsizetype(rows) * 96 + 128);
    out.line(kLotListHeader);
    std::string_view bytes;
    for (int r = 0; r < rows; ++r) {
        for (int c : index) {
            if (c < 0)
                out.empty();
            else if (ESTLOTE.textBytesAt(r, c, bytes))
                out.text(bytes);
            else
                out.value(ESTLOTE.valueAt(r, c));
        }
        out.endLine();
    }
    return out.take();
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

QByteArray StockValueBytes(const db::Rows *rows, const std::function<void()> &pump)
{
    CsvBuilder out(rows ? qsizetype(rows->rows.size()) * 80 + 128 : 128);
    out.line(kStockValueHeader);
    if (!rows)
        return out.take();
    const size_t codigo = size_t(rows->indexOf(QStringLiteral("CODIGO")));
    const size_t descricao = size_t(rows->indexOf(QStringLiteral("DESCRICAO")));
    const size_t saldo = size_t(rows->indexOf(QStringLiteral("SALDOCORRENTE")));
    const size_t unidade = size_t(rows->indexOf(QStringLiteral("UNIDADE")));
    const size_t custo = size_t(rows->indexOf(QStringLiteral("PRECOCUSTO")));
    const size_t venda = size_t(rows->indexOf(QStringLiteral("PRECOVENDA")));
    const size_t estCusto = size_t(rows->indexOf(QStringLiteral("ESTOQUECUSTO")));
    const size_t estVenda = size_t(rows->indexOf(QStringLiteral("ESTOQUEVENDA")));
    int n = 0;
    for (const auto &r : rows->rows) {
        out.value(r[codigo]).value(r[descricao]).bare(r[saldo]).value(r[unidade]).fixed(r[custo], 4)
            .fixed(r[venda], 4).fixed(r[estCusto], 2).fixed(r[estVenda], 2).endLine();
        if (pump && ++n % kPumpEvery == 0)
            pump();
    }
    return out.take();
}

QByteArray CostOfSalesBytes(const db::Rows *rows, const std::function<void()> &pump)
{
    CsvBuilder out(rows ? qsizetype(rows->rows.size()) * 64 + 128 : 128);
    out.line(kCostOfSalesHeader);
    if (!rows)
        return out.take();
    const size_t codigo = size_t(rows->indexOf(QStringLiteral("CODIGO")));
    const size_t descricao = size_t(rows->indexOf(QStringLiteral("DESCRICAO")));
    const size_t saldo = size_t(rows->indexOf(QStringLiteral("SALDOCORRENTE")));
    const size_t unidade = size_t(rows->indexOf(QStringLiteral("UNIDADE")));
    const size_t custo = size_t(rows->indexOf(QStringLiteral("PRECOCUSTO")));
    const size_t estCusto = size_t(rows->indexOf(QStringLiteral("ESTOQUECUSTO")));
    int n = 0;
    for (const auto &r : rows->rows) {
        out.value(r[descricao]).value(r[codigo]).bare(r[saldo]).value(r[unidade]).fixed(r[custo], 4)
            .fixed(r[estCusto], 2).endLine();
        if (pump && ++n % kPumpEvery == 0)
            pump();
    }
    return out.take();
}

void ExportLotList(data::CachedDataset &ESTLOTE, const platform::WinPaths &paths, const QDate &today,
                   platform::Operator &op)
{
    // The rows are read without moving: the grid stays on the operator's lot.
    const QByteArray bytes = LotListBytes(ESTLOTE);
    try {
        WriteCsvBytes(paths, LotListPath(today), bytes);
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
    const QByteArray bytes = stock ? StockValueBytes(&rows, pump) : CostOfSalesBytes(&rows, pump);
    try {
        WriteCsvBytes(paths, stock ? StockValuePath(today) : CostOfSalesPath(today), bytes);
    } catch (const ExportError &e) {
        op.error(e.message());
        return;
    }
    op.inform(stock ? StockValueMessage(today) : CostOfSalesMessage(today));
}

} // namespace exports
