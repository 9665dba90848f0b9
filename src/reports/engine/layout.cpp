#include "layout.h"

#include "platform/numberformat.h"

#include <QRegularExpression>

namespace reports_engine {

namespace {

const QRegularExpression &templateToken()
{
    static const QRegularExpression re(QStringLiteral("\\{([^{}]+)\\}"));
    return re;
}

// Stands for the page count until every page is made.
const QString kPagesMark = QStringLiteral("\x01PAGES\x01");

bool isNumber(const db::Value &v)
{
    using K = db::Value::Kind;
    return v.kind() == K::Integer || v.kind() == K::Decimal || v.kind() == K::Double;
}

class Layouter {
public:
    Layouter(const ReportDef &r, const ConnectionMap &c, const QDateTime &now, const std::function<void(int)> &made)
        : m_r(r), m_conns(c), m_now(now), m_made(made)
    {
        m_detail = connection(r.detailConnection);
        if (m_detail) {
            for (const Column &col : r.columns)
                m_fields.push_back(m_detail->fieldIndex(col.field));
        }
    }

    PageModel run()
    {
        m_model.reportName = m_r.name;
        m_model.widthMm = m_r.pageWidth;
        m_model.heightMm = m_r.pageHeight;
        m_model.landscape = m_r.landscape;
        m_model.marginLeft = m_r.marginLeft;
        m_model.marginTop = m_r.marginTop;
        m_model.marginRight = m_r.marginRight;
        m_model.marginBottom = m_r.marginBottom;
        m_model.fontFamily = m_r.fontFamily;
        m_bottom = m_r.pageHeight - m_r.marginBottom - m_r.pageFooter.height;

        startPage();
        const int rows = m_detail ? m_detail->rowCount() : 0;
        for (int row = 0; row < rows; ++row) {
            if (m_y + m_r.rowHeight > m_bottom + 1e-9) {
                finishPage();
                startPage();
            }
            placeRow(row);
        }
        placeSummary();
        finishPage();

        const QString pages = QString::number(m_model.pages.size());
        for (Page &p : m_model.pages) {
            for (PageItem &item : p.items) {
                if (item.text.contains(kPagesMark))
                    item.text.replace(kPagesMark, pages);
            }
        }
        return std::move(m_model);
    }

private:
    DataConnection *connection(const QString &name) const
    {
        const auto it = m_conns.find(name.toUpper());
        return it == m_conns.end() ? nullptr : it->second;
    }

    double sumOf(const QString &field)
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

    QString resolve(const QString &text)
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

    QString field(const QString &name, const QString &format)
    {
        if (name == QLatin1String("page"))
            return QString::number(m_model.pages.size());
        if (name == QLatin1String("pages"))
            return kPagesMark;
        if (name == QLatin1String("now"))
            return FormatValue(db::Value::timestamp(m_now), format.isEmpty() ? QStringLiteral("d:dd/MM/yyyy hh:mm") : format);
        if (name == QLatin1String("title"))
            return m_r.title;
        if (name == QLatin1String("count"))
            return QString::number(m_detail ? m_detail->rowCount() : 0);
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

    void placeBand(const Band &band, double top)
    {
        Page &page = m_model.pages.back();
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
            page.items.push_back(std::move(item));
        }
    }

    void text(double x, double y, double w, double h, const QString &s, Align align, bool bold)
    {
        PageItem item;
        item.rect = QRectF(x, y, w, h);
        item.text = s;
        item.align = align;
        item.bold = bold;
        item.fontSize = m_r.fontSize;
        m_model.pages.back().items.push_back(std::move(item));
    }

    void line(double x1, double y, double x2)
    {
        PageItem item;
        item.kind = PageItem::Kind::Line;
        item.rect = QRectF(x1, y, x2 - x1, 0);
        m_model.pages.back().items.push_back(std::move(item));
    }

    double columnsRight() const
    {
        double x = m_r.marginLeft;
        for (const Column &c : m_r.columns)
            x += c.width;
        return x;
    }

    void startPage()
    {
        m_model.pages.emplace_back();
        m_y = m_r.marginTop;
        if (m_model.pages.size() == 1 && m_r.titleBand.present()) {
            placeBand(m_r.titleBand, m_y);
            m_y += m_r.titleBand.height;
        }
        placeBand(m_r.pageHeader, m_y);
        m_y += m_r.pageHeader.height;
        if (!m_r.columns.empty()) {
            double x = m_r.marginLeft;
            for (const Column &c : m_r.columns) {
                text(x + 0.5, m_y, c.width - 1, m_r.captionHeight - 1, c.caption, c.align, true);
                x += c.width;
            }
            line(m_r.marginLeft, m_y + m_r.captionHeight - 0.5, columnsRight());
            m_y += m_r.captionHeight;
        }
    }

    void finishPage()
    {
        placeBand(m_r.pageFooter, m_r.pageHeight - m_r.marginBottom - m_r.pageFooter.height);
        if (m_made)
            m_made(int(m_model.pages.size()));
    }

    void placeRow(int row)
    {
        double x = m_r.marginLeft;
        for (size_t i = 0; i < m_r.columns.size(); ++i) {
            const Column &c = m_r.columns[i];
            const int f = m_fields[i];
            if (f >= 0)
                text(x + 0.5, m_y, c.width - 1, m_r.rowHeight, FormatValue(m_detail->value(row, f), c.format), c.align,
                     false);
            x += c.width;
        }
        m_y += m_r.rowHeight;
    }

    void placeSummary()
    {
        bool sums = false;
        for (const Column &c : m_r.columns)
            sums = sums || c.sum;
        const double needed = (sums ? m_r.rowHeight + 1 : 0) + m_r.summary.height;
        if (needed <= 0 && m_r.summary.items.empty())
            return;
        if (m_y + needed > m_bottom + 1e-9) {
            finishPage();
            startPage();
        }
        if (sums) {
            line(m_r.marginLeft, m_y + 0.3, columnsRight());
            double x = m_r.marginLeft;
            for (const Column &c : m_r.columns) {
                if (c.sum)
                    text(x + 0.5, m_y + 0.8, c.width - 1, m_r.rowHeight, FormatValue(db::Value::real(sumOf(c.field)), c.format),
                         c.align, true);
                x += c.width;
            }
            m_y += m_r.rowHeight + 1;
        }
        placeBand(m_r.summary, m_y);
        m_y += m_r.summary.height;
    }

    const ReportDef &m_r;
    const ConnectionMap &m_conns;
    QDateTime m_now;
    const std::function<void(int)> &m_made;
    DataConnection *m_detail = nullptr;
    std::vector<int> m_fields;
    std::map<QString, double> m_sums;
    PageModel m_model;
    double m_y = 0;
    double m_bottom = 0;
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

PageModel LayOut(const ReportDef &report, const ConnectionMap &connections, const QDateTime &now,
                 const std::function<void(int)> &pageMade)
{
    return Layouter(report, connections, now, pageMade).run();
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
