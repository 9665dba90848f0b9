// The book's pages are rows of fixed height: a substance's page count follows from its lots'
// line counts, so the whole book is numbered before any page is made, and a page is made only
// when the preview, the printer or a file asks for it.
#include "bookoutput.h"

#include "common/csvexport.h"
#include "platform/operator.h"

#include <QCollator>
#include <algorithm>

namespace controlled {

namespace {

using reports_engine::Align;
using reports_engine::Page;
using reports_engine::PageItem;

QString day(const QDate &d)
{
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

QString withUnit(Qty q, const QString &unit)
{
    return FormatQty(q) + QLatin1Char(' ') + unit;
}

// Text broken into lines of at most `width` characters at blanks.
QStringList wrap(const QString &text, int width)
{
    QStringList out;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            out << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty() || out.isEmpty())
        out << line;
    return out;
}

// A4 landscape, millimetres.
constexpr double kWidth = 297, kHeight = 210, kMargin = 10;
constexpr double kBodyWidth = kWidth - 2 * kMargin;
constexpr double kHeadHeight = 20;
constexpr double kRow = 4.6;
constexpr double kBodyTop = kMargin + kHeadHeight + 2;
constexpr double kFootTop = kHeight - kMargin - 4;
const int kRowsPerPage = int((kFootTop - 1 - kBodyTop) / kRow);

struct Cell {
    double x, w;
    QString text;
    Align align = Align::Left;
    bool bold = false;
};
using Row = std::vector<Cell>;

Row line(const QString &text, bool bold = false)
{
    return {Cell{0, kBodyWidth, text, Align::Left, bold}};
}

// The movement table: date, movement, document, as recorded, entry, exit, balance.
const double kMoveX[] = {0, 20, 68, 170, 197, 222, 247, kBodyWidth};
Row moveRow(const QStringList &cells, bool bold = false)
{
    Row r;
    for (int i = 0; i < 7; ++i)
        r.push_back({kMoveX[i], kMoveX[i + 1] - kMoveX[i] - (i >= 3 ? 1.5 : 1), cells.value(i),
                     i >= 4 ? Align::Right : Align::Left, bold});
    return r;
}

// The period balance: substance, DCB, unit, start, entries, exits, losses, adjustments, end.
const double kBalX[] = {0, 80, 102, 114, 141, 168, 195, 222, 249, kBodyWidth};
Row balanceRow(const QStringList &cells, bool bold = false)
{
    Row r;
    for (int i = 0; i < 9; ++i)
        r.push_back({kBalX[i], kBalX[i + 1] - kBalX[i] - 1.5, cells.value(i), i >= 3 ? Align::Right : Align::Left, bold});
    return r;
}

// The differences: date, substance, lot, cause, quantity, detail.
const double kDiffX[] = {0, 20, 75, 100, 150, 180, kBodyWidth};
Row differenceRow(const QStringList &cells, bool bold = false)
{
    Row r;
    for (int i = 0; i < 6; ++i)
        r.push_back({kDiffX[i], kDiffX[i + 1] - kDiffX[i] - 1.5, cells.value(i), i == 4 ? Align::Right : Align::Left, bold});
    return r;
}

Row differenceHead()
{
    return differenceRow({QStringLiteral("Data"), QStringLiteral("Substância"), QStringLiteral("Lote"),
                          QStringLiteral("Causa"), QStringLiteral("Quantidade"), QStringLiteral("Detalhe")},
                         true);
}

Row differenceOf(const Substance &s, const Difference &d)
{
    return differenceRow({day(d.date), s.name, d.lote, CauseKindText(d.cause),
                          d.quantity ? withUnit(*d.quantity, s.unit) : QStringLiteral("-"), d.detail});
}

// What a lot's lines brought in and took out in the period, adjustments included, so that
// start + in - out = end on the line that closes the lot.
std::pair<Qty, Qty> inAndOut(const BookLot &l)
{
    Qty in = 0, out = 0;
    for (const BookLine &m : l.lines)
        (m.quantity > 0 ? in : out) += m.quantity > 0 ? m.quantity : -m.quantity;
    return {in, out};
}

QStringList moveCells(const BookLine &l)
{
    return {day(l.date), LineKindText(l.kind), l.document, l.original,
            l.quantity > 0 ? FormatQty(l.quantity) : QString(), l.quantity < 0 ? FormatQty(-l.quantity) : QString(),
            FormatQty(l.balance)};
}

// One part of the book: a title kept at the top of each of its pages, then its rows.
class Section {
public:
    virtual ~Section() = default;
    virtual std::vector<Row> heading() const = 0;   // repeated on each page of the section
    virtual int rowCount() const = 0;
    virtual Row row(int index) const = 0;
    int pages() const
    {
        const int per = std::max(1, kRowsPerPage - int(heading().size()));
        return std::max(1, (rowCount() + per - 1) / per);
    }
    int perPage() const { return std::max(1, kRowsPerPage - int(heading().size())); }
};

// Rows made in advance: the summary and the period balance are short.
class FixedSection : public Section {
public:
    std::vector<Row> head, rows;
    std::vector<Row> heading() const override { return head; }
    int rowCount() const override { return int(rows.size()); }
    Row row(int index) const override { return rows[size_t(index)]; }
};

// A substance: per lot its head, start, lines, end and check; then the substance's totals and
// differences. Rows are found from the lots' line counts, never listed.
class SubstanceSection : public Section {
public:
    explicit SubstanceSection(const Substance &s) : m_s(s)
    {
        int at = 0;
        for (const BookLot &l : s.lots) {
            m_lotStart.push_back(at);
            at += int(l.lines.size()) + kLotExtra;
        }
        m_tail = at;
        m_count = at + 2 + (s.differences.empty() ? 0 : 2 + int(s.differences.size()));
    }
    std::vector<Row> heading() const override
    {
        QString title = QStringLiteral("SUBSTÂNCIA: ") + m_s.name;
        if (!m_s.dcb.isEmpty())
            title += QStringLiteral("   DCB: ") + m_s.dcb;
        title += QStringLiteral("   Unidade: ") + m_s.unit + QStringLiteral("   Produtos: ") + m_s.codes.join(QStringLiteral(", "));
        return {line(title, true),
                moveRow({QStringLiteral("Data"), QStringLiteral("Movimento"), QStringLiteral("Documento"),
                         QStringLiteral("Registrado"), QStringLiteral("Entrada"), QStringLiteral("Saída"),
                         QStringLiteral("Saldo")},
                        true)};
    }
    int rowCount() const override { return m_count; }
    Row row(int index) const override
    {
        if (index < m_tail) {
            const auto it = std::upper_bound(m_lotStart.begin(), m_lotStart.end(), index) - 1;
            const BookLot &l = m_s.lots[size_t(it - m_lotStart.begin())];
            const int k = index - *it;
            const int n = int(l.lines.size());
            if (k == 0)
                return line(QStringLiteral("Lote ") + l.lote + QStringLiteral(" - ") + l.fornecedor + QStringLiteral(" - ")
                                + l.descricao + QStringLiteral(" (") + l.codigo + QLatin1Char(')'),
                            true);
            if (k == 1)
                return moveRow({day(m_bookStart), QStringLiteral("Saldo inicial"), {}, {}, {}, {}, FormatQty(l.start)}, true);
            if (k - 2 < n)
                return moveRow(moveCells(l.lines[size_t(k - 2)]));
            if (k - 2 == n) {
                const auto [in, out] = inAndOut(l);
                return moveRow({day(m_bookEnd), QStringLiteral("Saldo final"), {}, {}, FormatQty(in), FormatQty(out),
                                FormatQty(l.end)},
                               true);
            }
            if (k - 2 == n + 1) {
                QString check = QStringLiteral("Conferência: estoque agora ") + withUnit(l.held, m_s.unit)
                    + QStringLiteral("; saldo final + entradas - saídas após o período ") + withUnit(l.expected(), m_s.unit);
                check += l.checkDifference() == 0 ? QStringLiteral("; confere.")
                                                  : QStringLiteral("; diferença ") + withUnit(l.checkDifference(), m_s.unit)
                                                        + QStringLiteral(" (ver diferenças).");
                return line(check);
            }
            return line(QString());
        }
        const int k = index - m_tail;
        if (k == 0)
            return balanceRow({QStringLiteral("Total da substância"), {}, m_s.unit, FormatQty(m_s.start),
                               FormatQty(m_s.entries), FormatQty(m_s.exits), FormatQty(m_s.losses),
                               FormatQty(m_s.adjustments), FormatQty(m_s.end)},
                              true);
        if (k == 1)
            return line(QString());
        if (k == 2)
            return line(QStringLiteral("Diferenças desta substância: ") + QString::number(m_s.differences.size()), true);
        if (k == 3)
            return differenceHead();
        return differenceOf(m_s, m_s.differences[size_t(k - 4)]);
    }
    QDate m_bookStart, m_bookEnd;

private:
    static constexpr int kLotExtra = 5;   // head, start, end, check, blank
    const Substance &m_s;
    std::vector<int> m_lotStart;
    int m_tail = 0, m_count = 0;
};

class BookMaker : public reports_engine::PageMaker {
public:
    BookMaker(const Book &book, const Pharmacy &pharmacy) : m_book(book), m_head(pharmacy.lines())
    {
        m_heading = PeriodHeading(book);
        m_issued = QStringLiteral("Emitido em ") + day(book.today);
        // The summary.
        auto front = std::make_unique<FixedSection>();
        front->head = {line(QStringLiteral("RESUMO"), true)};
        int lots = 0;
        for (const Substance &s : book.substances)
            lots += int(s.lots.size());
        front->rows.push_back(line(QStringLiteral("Substâncias: ") + QString::number(book.substances.size())
                                   + QStringLiteral("   Lotes: ") + QString::number(lots)));
        front->rows.push_back(line(ClosingSentence(book), true));
        front->rows.push_back(line(QString()));
        front->rows.push_back(line(QStringLiteral("Como o saldo inicial foi obtido"), true));
        for (const QString &p : StartBalanceNote(book))
            for (const QString &l : wrap(p, 170))
                front->rows.push_back(line(l));
        front->rows.push_back(line(QString()));
        front->rows.push_back(line(QStringLiteral("Diferenças entre o livro e o estoque: ")
                                       + QString::number(book.differenceCount()),
                                   true));
        if (book.differenceCount() > 0) {
            front->rows.push_back(differenceHead());
            for (const Substance &s : book.substances)
                for (const Difference &d : s.differences)
                    front->rows.push_back(differenceOf(s, d));
        }
        front->rows.push_back(line(QString()));
        front->rows.push_back(line(QStringLiteral("Inconsistências de cadastro: ") + QString::number(book.inconsistencies.size()),
                                   true));
        for (const InconsistentProduct &p : book.inconsistencies)
            front->rows.push_back(line(p.codigo + QStringLiteral(" - ") + p.componente + QStringLiteral(": ")
                                       + InconsistencyText(p.kind) + QStringLiteral(" (lotes ")
                                       + p.lots.join(QStringLiteral(", ")) + QLatin1Char(')')));
        m_sections.push_back(std::move(front));
        // The period balance.
        auto balance = std::make_unique<FixedSection>();
        balance->head = {line(BalanceHeading(book), true),
                         balanceRow({QStringLiteral("Substância"), QStringLiteral("DCB"), QStringLiteral("Unid."),
                                     QStringLiteral("Saldo inicial"), QStringLiteral("Entradas"), QStringLiteral("Saídas"),
                                     QStringLiteral("Perdas"), QStringLiteral("Acertos"), QStringLiteral("Saldo final")},
                                    true)};
        for (const BalanceLine &b : PeriodBalance(book)) {
            const bool total = b.name.startsWith(QStringLiteral("Total ("));
            balance->rows.push_back(balanceRow({b.name, b.dcb, b.unit, FormatQty(b.start), FormatQty(b.entries),
                                                FormatQty(b.exits), FormatQty(b.losses), FormatQty(b.adjustments),
                                                FormatQty(b.end)},
                                               total));
        }
        m_sections.push_back(std::move(balance));
        for (const Substance &s : book.substances) {
            auto sec = std::make_unique<SubstanceSection>(s);
            sec->m_bookStart = book.start;
            sec->m_bookEnd = book.end;
            m_sections.push_back(std::move(sec));
        }
        int at = 0;
        for (const auto &s : m_sections) {
            m_firstPage.push_back(at);
            at += s->pages();
        }
        m_pages = at;
    }

    int pageCount() const override { return m_pages; }

    Page page(int index) const override
    {
        Page p;
        const auto it = std::upper_bound(m_firstPage.begin(), m_firstPage.end(), index) - 1;
        const Section &sec = *m_sections[size_t(it - m_firstPage.begin())];
        const int within = index - *it;
        auto text = [&](double x, double y, double w, const QString &t, Align a, double size, bool bold) {
            PageItem item;
            item.rect = QRectF(kMargin + x, y, w, kRow);
            item.text = t;
            item.align = a;
            item.fontSize = size;
            item.bold = bold;
            p.items.push_back(item);
        };
        auto rule = [&](double y) {
            PageItem item;
            item.kind = PageItem::Kind::Line;
            item.rect = QRectF(QPointF(kMargin, y), QPointF(kWidth - kMargin, y));
            p.items.push_back(item);
        };
        // Head: the pharmacy and the period.
        double y = kMargin;
        text(0, y, kBodyWidth, m_head.value(0), Align::Left, 10, true);
        text(0, y + 5, kBodyWidth, m_head.value(1), Align::Left, 8, false);
        text(0, y + 11, kBodyWidth, m_heading, Align::Left, 10, true);
        rule(kMargin + kHeadHeight);
        y = kBodyTop;
        auto put = [&](const Row &r) {
            for (const Cell &c : r)
                text(c.x, y, c.w, c.text, c.align, 8, c.bold);
            y += kRow;
        };
        for (const Row &r : sec.heading())
            put(r);
        const int per = sec.perPage();
        for (int i = within * per, n = std::min(sec.rowCount(), (within + 1) * per); i < n; ++i)
            put(sec.row(i));
        // Foot: numbered over the whole book.
        rule(kFootTop - 1);
        text(0, kFootTop, kBodyWidth / 2, m_issued, Align::Left, 8, false);
        text(kBodyWidth / 2, kFootTop, kBodyWidth / 2,
             QStringLiteral("página ") + QString::number(index + 1) + QStringLiteral(" de ") + QString::number(m_pages),
             Align::Right, 8, false);
        return p;
    }

private:
    const Book &m_book;
    QStringList m_head;
    QString m_heading, m_issued;
    std::vector<std::unique_ptr<Section>> m_sections;
    std::vector<int> m_firstPage;
    int m_pages = 0;
};

QString csvDate(const QDate &d)
{
    return day(d);
}

QString CsvText(const QString &text)
{
    return exports::CsvField(text);
}

} // namespace

QString PeriodHeading(const Book &book)
{
    return QStringLiteral("LIVRO DE REGISTRO DE SUBSTÂNCIAS CONTROLADAS - Período: ") + day(book.start)
        + QStringLiteral(" a ") + day(book.end);
}

QString BalanceHeading(const Book &book)
{
    const QDate &s = book.start, &e = book.end;
    if (s.day() == 1 && e == s.addMonths(12).addDays(-1) && s.month() == 1)
        return QStringLiteral("BALANÇO ANUAL DE ") + QString::number(s.year());
    if (s.day() == 1 && (s.month() - 1) % 3 == 0 && e == s.addMonths(3).addDays(-1))
        return QStringLiteral("BALANÇO DO ") + QString::number((s.month() - 1) / 3 + 1) + QStringLiteral("º TRIMESTRE DE ")
            + QString::number(s.year());
    return QStringLiteral("BALANÇO DO PERÍODO");
}

QString ClosingSentence(const Book &book)
{
    const int n = book.differenceCount();
    if (n == 0)
        return QStringLiteral("O livro fecha com o estoque: nenhuma diferença.");
    return QStringLiteral("O livro não fecha com o estoque: ") + QString::number(n)
        + (n == 1 ? QStringLiteral(" diferença.") : QStringLiteral(" diferenças."));
}

reports_engine::PageModel BookPages(const Book &book, const Pharmacy &pharmacy)
{
    reports_engine::PageModel model;
    model.reportName = QStringLiteral("rpt_LivroControlados");
    model.title = kBookTitle + QStringLiteral(" ") + book.start.toString(QStringLiteral("dd-MM-yyyy"))
        + QStringLiteral(" a ") + book.end.toString(QStringLiteral("dd-MM-yyyy"));
    model.widthMm = kWidth;
    model.heightMm = kHeight;
    model.landscape = true;
    model.marginLeft = model.marginTop = model.marginRight = model.marginBottom = kMargin;
    model.maker = std::make_shared<BookMaker>(book, pharmacy);
    return model;
}

QStringList BookCsvLines(const Book &book)
{
    QStringList out;
    out << kBookCsvHeader;
    for (const Substance &s : book.substances) {
        for (const BookLot &l : s.lots) {
            const QStringList lead = {CsvText(s.name), CsvText(s.dcb), CsvText(s.unit), CsvText(l.codigo),
                                      CsvText(l.descricao), CsvText(l.lote), CsvText(l.fornecedor)};
            const QString prefix = lead.join(QLatin1Char(';')) + QLatin1Char(';');
            out << prefix + csvDate(book.start) + QStringLiteral(";Saldo inicial;;;;;") + PlainQty(l.start);
            for (const BookLine &m : l.lines)
                out << prefix + csvDate(m.date) + QLatin1Char(';') + CsvText(LineKindText(m.kind)) + QLatin1Char(';')
                        + CsvText(m.document) + QLatin1Char(';') + CsvText(m.original) + QLatin1Char(';')
                        + (m.quantity > 0 ? PlainQty(m.quantity) : QString()) + QLatin1Char(';')
                        + (m.quantity < 0 ? PlainQty(-m.quantity) : QString()) + QLatin1Char(';') + PlainQty(m.balance);
            const auto [in, outQty] = inAndOut(l);
            out << prefix + csvDate(book.end) + QStringLiteral(";Saldo final;;;") + PlainQty(in) + QLatin1Char(';')
                    + PlainQty(outQty) + QLatin1Char(';') + PlainQty(l.end);
        }
    }
    return out;
}

QString BookCsvPath(const Book &book)
{
    return QStringLiteral("C:\\FORMULIX\\CONTROLADOS") + book.start.toString(QStringLiteral("yyMMdd"))
        + QLatin1Char('-') + book.end.toString(QStringLiteral("yyMMdd")) + QStringLiteral(".CSV");
}

QString BookCsvMessage(const QString &windowsPath)
{
    return QStringLiteral("Arquivo \"") + windowsPath + QStringLiteral("\" gerado com sucesso. \rAbra-o no Excel.");
}

bool ExportBookCsv(const Book &book, const platform::WinPaths &paths, platform::Operator &op)
{
    const QString path = BookCsvPath(book);
    try {
        exports::WriteCsvFile(paths, path, BookCsvLines(book));
    } catch (const exports::ExportError &e) {
        op.error(e.message());
        return false;
    }
    op.inform(BookCsvMessage(path));
    return true;
}

} // namespace controlled
