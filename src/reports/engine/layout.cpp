#include "layout.h"

#include "platform/numberformat.h"

#include <QRegularExpression>
#include <algorithm>
#include <memory>

namespace reports_engine {

namespace {

const QRegularExpression &templateToken()
{
    static const QRegularExpression re(QStringLiteral("\\{([^{}]+)\\}"));
    return re;
}

bool isNumber(const db::Value &v)
{
    using K = db::Value::Kind;
    return v.kind() == K::Integer || v.kind() == K::Decimal || v.kind() == K::Double;
}

// The pages are planned first, without formatting a row: where each page's rows start and which
// page takes the summary. A page is then laid out alone when it is asked for, the same way it
// would be in a walk through every row.
class PlannedLayout : public PageMaker {
public:
    PlannedLayout(const ReportDef &r, const ConnectionMap &c, const QDateTime &now)
        : m_r(r), m_conns(c), m_now(now)
    {
        m_detail = connection(r.detailConnection);
        if (m_detail) {
            for (const Column &col : r.columns)
                m_fields.push_back(m_detail->fieldIndex(col.field));
        }
        m_rows = m_detail ? m_detail->rowCount() : 0;
        m_bottom = m_r.pageHeight - m_r.marginBottom - m_r.pageFooter.height;
        plan();
    }

    int pageCount() const override { return int(m_firstRow.size()); }

    Page page(int index) const override
    {
        Page page;
        m_page = &page;
        m_pageNumber = index + 1;
        double y = startPage(index == 0);
        const int end = index + 1 < pageCount() ? m_firstRow[size_t(index + 1)] : m_rows;
        for (int row = m_firstRow[size_t(index)]; row < end; ++row)
            y = placeRow(row, y);
        if (index == m_summaryPage)
            placeSummary(y);
        placeBand(m_r.pageFooter, m_r.pageHeight - m_r.marginBottom - m_r.pageFooter.height);
        m_page = nullptr;
        return page;
    }

    PageModel model(std::shared_ptr<const PageMaker> self) const
    {
        PageModel m;
        m.reportName = m_r.name;
        m.title = m_r.title;
        m.widthMm = m_r.pageWidth;
        m.heightMm = m_r.pageHeight;
        m.landscape = m_r.landscape;
        m.marginLeft = m_r.marginLeft;
        m.marginTop = m_r.marginTop;
        m.marginRight = m_r.marginRight;
        m.marginBottom = m_r.marginBottom;
        m.fontFamily = m_r.fontFamily;
        m.maker = std::move(self);
        return m;
    }

private:
    // Where the rows start on a page: below the title (first page only), the page header and the
    // column captions.
    double contentTop(bool firstPage) const
    {
        double y = m_r.marginTop;
        if (firstPage && m_r.titleBand.present())
            y += m_r.titleBand.height;
        y += m_r.pageHeader.height;
        if (!m_r.columns.empty())
            y += m_r.captionHeight;
        return y;
    }

    bool rowFits(double y) const { return y + m_r.rowHeight <= m_bottom + 1e-9; }

    // Rows that fit from y on (at most limit), and y after them, added up row by row as the page
    // itself does.
    int fitFrom(double &y, int limit) const
    {
        int n = 0;
        while (n < limit && rowFits(y)) {
            y += m_r.rowHeight;
            ++n;
        }
        return n;
    }

    double summaryHeight() const
    {
        bool sums = false;
        for (const Column &c : m_r.columns)
            sums = sums || c.sum;
        return (sums ? m_r.rowHeight + 1 : 0) + m_r.summary.height;
    }
    bool hasSummary() const { return summaryHeight() > 0 || !m_r.summary.items.empty(); }

    // A row that does not fit starts a page, and takes its first place whether it fits or not.
    void plan()
    {
        double y = contentTop(true);
        int placed = fitFrom(y, m_rows);
        m_firstRow = {0};
        if (placed < m_rows) {
            double full = contentTop(false) + m_r.rowHeight;
            const int perPage = 1 + fitFrom(full, m_rows - placed - 1);
            while (placed < m_rows) {
                m_firstRow.push_back(placed);
                placed += std::min(perPage, m_rows - placed);
            }
            y = contentTop(false) + m_r.rowHeight;
            fitFrom(y, m_rows - m_firstRow.back() - 1);
        }
        m_summaryPage = -1;
        if (hasSummary()) {
            if (y + summaryHeight() > m_bottom + 1e-9)
                m_firstRow.push_back(m_rows);
            m_summaryPage = int(m_firstRow.size()) - 1;
        }
    }

    DataConnection *connection(const QString &name) const
    {
        const auto it = m_conns.find(name.toUpper());
        return it == m_conns.end() ? nullptr : it->second;
    }

    double sumOf(const QString &field) const
    {
        const auto it = m_sums.find(field.toUpper());
        if (it != m_sums.end())
            return it->second;
        double total = 0;
        const int f = m_detail ? m_detail->fieldIndex(field) : -1;
        if (f >= 0) {
            for (int row = 0, n = m_detail->rowCount(); row < n; ++row)
                total += m_detail->value(row, f).toDouble();
        }
        m_sums[field.toUpper()] = total;
        return total;
    }

    QString resolve(const QString &text) const
    {
        QString out;
        qsizetype last = 0;
        auto it = templateToken().globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            out += text.mid(last, m.capturedStart() - last);
            last = m.capturedEnd();
            const QString token = m.captured(1);
            const qsizetype bar = token.indexOf(QLatin1Char('|'));
            const QString name = (bar >= 0 ? token.left(bar) : token).trimmed();
            const QString format = bar >= 0 ? token.mid(bar + 1) : QString();
            out += field(name, format);
        }
        out += text.mid(last);
        return out;
    }

    QString field(const QString &name, const QString &format) const
    {
        if (name == QLatin1String("page"))
            return QString::number(m_pageNumber);
        if (name == QLatin1String("pages"))
            return QString::number(pageCount());
        if (name == QLatin1String("now"))
            return FormatValue(db::Value::timestamp(m_now), format.isEmpty() ? QStringLiteral("d:dd/MM/yyyy hh:mm") : format);
        if (name == QLatin1String("title"))
            return m_r.title;
        if (name == QLatin1String("count"))
            return QString::number(m_rows);
        if (name.startsWith(QLatin1String("sum:")))
            return FormatValue(db::Value::real(sumOf(name.mid(4))), format);
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot > 0) {
            DataConnection *c = connection(name.left(dot));
            if (!c || c->rowCount() == 0)
                return {};
            const int f = c->fieldIndex(name.mid(dot + 1));
            return f < 0 ? QString() : FormatValue(c->value(0, f), format);
        }
        return {};
    }

    void placeBand(const Band &band, double top) const
    {
        for (const BandItem &b : band.items) {
            PageItem item;
            item.fontSize = b.fontSize > 0 ? b.fontSize : m_r.fontSize;
            item.bold = b.bold;
            item.align = b.align;
            if (b.kind == BandItem::Kind::Line) {
                item.kind = PageItem::Kind::Line;
                item.rect = QRectF(m_r.marginLeft + b.x, top + b.y, b.width, b.height);
                item.lineWidth = b.lineWidth;
            } else {
                const double h = b.height > 0 ? b.height : item.fontSize * 0.3528 * 1.45;
                item.rect = QRectF(m_r.marginLeft + b.x, top + b.y, b.width, h);
                item.text = resolve(b.text);
            }
            m_page->items.push_back(std::move(item));
        }
    }

    void text(double x, double y, double w, double h, const QString &s, Align align, bool bold) const
    {
        PageItem item;
        item.rect = QRectF(x, y, w, h);
        item.text = s;
        item.align = align;
        item.bold = bold;
        item.fontSize = m_r.fontSize;
        m_page->items.push_back(std::move(item));
    }

    void line(double x1, double y, double x2) const
    {
        PageItem item;
        item.kind = PageItem::Kind::Line;
        item.rect = QRectF(x1, y, x2 - x1, 0);
        m_page->items.push_back(std::move(item));
    }

    double columnsRight() const
    {
        double x = m_r.marginLeft;
        for (const Column &c : m_r.columns)
            x += c.width;
        return x;
    }

    // Places the bands above the rows; returns where the rows start (contentTop).
    double startPage(bool firstPage) const
    {
        double y = m_r.marginTop;
        if (firstPage && m_r.titleBand.present()) {
            placeBand(m_r.titleBand, y);
            y += m_r.titleBand.height;
        }
        placeBand(m_r.pageHeader, y);
        y += m_r.pageHeader.height;
        if (!m_r.columns.empty()) {
            double x = m_r.marginLeft;
            for (const Column &c : m_r.columns) {
                text(x + 0.5, y, c.width - 1, m_r.captionHeight - 1, c.caption, c.align, true);
                x += c.width;
            }
            line(m_r.marginLeft, y + m_r.captionHeight - 0.5, columnsRight());
            y += m_r.captionHeight;
        }
        return y;
    }

    double placeRow(int row, double y) const
    {
        double x = m_r.marginLeft;
        for (size_t i = 0; i < m_r.columns.size(); ++i) {
            const Column &c = m_r.columns[i];
            const int f = m_fields[i];
            if (f >= 0)
                text(x + 0.5, y, c.width - 1, m_r.rowHeight, FormatValue(m_detail->value(row, f), c.format), c.align,
                     false);
            x += c.width;
        }
        return y + m_r.rowHeight;
    }

    void placeSummary(double y) const
    {
        bool sums = false;
        for (const Column &c : m_r.columns)
            sums = sums || c.sum;
        if (sums) {
            line(m_r.marginLeft, y + 0.3, columnsRight());
            double x = m_r.marginLeft;
            for (const Column &c : m_r.columns) {
                if (c.sum)
                    text(x + 0.5, y + 0.8, c.width - 1, m_r.rowHeight, FormatValue(db::Value::real(sumOf(c.field)), c.format),
                         c.align, true);
                x += c.width;
            }
            y += m_r.rowHeight + 1;
        }
        placeBand(m_r.summary, y);
    }

    const ReportDef m_r;
    const ConnectionMap m_conns;
    const QDateTime m_now;
    DataConnection *m_detail = nullptr;
    std::vector<int> m_fields;
    int m_rows = 0;
    double m_bottom = 0;
    std::vector<int> m_firstRow;   // of each page
    int m_summaryPage = -1;
    mutable std::map<QString, double> m_sums;
    mutable Page *m_page = nullptr;   // the page being made
    mutable int m_pageNumber = 0;
};

} // namespace

QStringList ConnectionsUsed(const ReportDef &report)
{
    QStringList names;
    if (!report.detailConnection.isEmpty())
        names << report.detailConnection.toUpper();
    for (const Band *band : {&report.titleBand, &report.pageHeader, &report.pageFooter, &report.summary}) {
        for (const BandItem &item : band->items) {
            auto it = templateToken().globalMatch(item.text);
            while (it.hasNext()) {
                const QString token = it.next().captured(1);
                const qsizetype dot = token.indexOf(QLatin1Char('.'));
                const qsizetype bar = token.indexOf(QLatin1Char('|'));
                if (dot > 0 && (bar < 0 || dot < bar) && !token.startsWith(QLatin1String("sum:")))
                    names << token.left(dot).trimmed().toUpper();
            }
        }
    }
    names.removeDuplicates();
    return names;
}

PageModel LayOut(const ReportDef &report, const ConnectionMap &connections, const QDateTime &now)
{
    auto layout = std::make_shared<PlannedLayout>(report, connections, now);
    return layout->model(layout);
}

QString FormatValue(const db::Value &value, const QString &format)
{
    using K = db::Value::Kind;
    if (value.isNull())
        return {};
    if (format.startsWith(QLatin1String("d:"))) {
        const QDateTime at = value.kind() == K::Date ? QDateTime(value.toDate(), QTime(0, 0)) : value.toDateTime();
        return at.isValid() ? at.toString(format.mid(2)) : QString();
    }
    if (isNumber(value)) {
        if (format.isEmpty() && value.kind() == K::Integer)
            return QString::number(value.toInt());
        return format.isEmpty() ? platform::GeneralNumber(value.toDouble()) : platform::FormatNumber(format, value.toDouble());
    }
    if (value.kind() == K::Date)
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    if (value.kind() == K::Timestamp)
        return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    return value.toString();
}

} // namespace reports_engine
