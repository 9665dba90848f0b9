#include "expirychart.h"

#include "expiry/expiryoutput.h"
#include "platform/numberformat.h"

#include <QPainter>
#include <algorithm>

namespace expiry_ui {

ExpiryChart::ExpiryChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("GraficoVencimentos"));
    setMinimumHeight(140);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void ExpiryChart::setSummary(const expiry::Summary *summary)
{
    m_summary = summary;
    update();
}

QColor ExpiryChart::locationColour(int n)
{
    static const QColor colours[] = {QColor(0x2f, 0x6f, 0xb5), QColor(0xe0, 0x8a, 0x1e), QColor(0x3a, 0x9a, 0x4a),
                                     QColor(0xc0, 0x39, 0x2b), QColor(0x8e, 0x5e, 0xa8), QColor(0x7f, 0x8c, 0x8d),
                                     QColor(0x16, 0xa0, 0x85), QColor(0xd3, 0x54, 0x9a)};
    return colours[n % int(std::size(colours))];
}

void ExpiryChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics fm = p.fontMetrics();
    const int legendWidth = 170;
    const QRect plot = rect().adjusted(8, fm.height() + 6, -legendWidth, -(fm.height() + 8));
    if (!m_summary || plot.width() < 50 || plot.height() < 20)
        return;
    // Every row that adds up to the grand total, stacked: own locations, quarantine, shared.
    std::vector<expiry::TableRow> parts;
    for (const expiry::TableRow &t : expiry::TableRows(*m_summary))
        if (!t.total && t.cells != &m_summary->leftover)
            parts.push_back(t);
    double top = 0;
    for (const expiry::Cell &c : m_summary->total)
        top = std::max(top, c.cost);
    p.setPen(palette().color(QPalette::Text));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    const int slot = plot.width() / expiry::kHorizonCount;
    const int barWidth = std::max(8, slot * 3 / 5);
    for (int h = 0; h < expiry::kHorizonCount; ++h) {
        const int x = plot.left() + h * slot + (slot - barWidth) / 2;
        double below = 0;
        for (size_t n = 0; n < parts.size(); ++n) {
            const double v = (*parts[n].cells)[size_t(h)].cost;
            if (!(v > 0) || !(top > 0))
                continue;
            const int y0 = plot.bottom() - int(below / top * plot.height());
            below += v;
            const int y1 = plot.bottom() - int(below / top * plot.height());
            p.fillRect(QRect(QPoint(x, y1), QPoint(x + barWidth - 1, y0)), locationColour(int(n)));
        }
        const QString caption = expiry::HorizonName(h);
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(plot.left() + h * slot, plot.bottom() + 3, slot, fm.height()), Qt::AlignHCenter, caption);
        const QString value = platform::FormatNumber(QStringLiteral("#,##0.00"), m_summary->total[size_t(h)].cost);
        const int yTop = top > 0 ? plot.bottom() - int(below / top * plot.height()) : plot.bottom();
        p.drawText(QRect(plot.left() + h * slot, yTop - fm.height() - 2, slot, fm.height()), Qt::AlignHCenter, value);
    }
    // Legend
    int y = plot.top();
    const int lx = width() - legendWidth + 10;
    p.drawText(QPoint(lx, y - 4), QStringLiteral("Valor de custo por local"));
    for (size_t n = 0; n < parts.size() && y + fm.height() < height(); ++n) {
        p.fillRect(QRect(lx, y + 2, 10, 10), locationColour(int(n)));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(lx + 14, y, legendWidth - 28, fm.height()), Qt::AlignVCenter | Qt::AlignLeft,
                   fm.elidedText(parts[n].name, Qt::ElideRight, legendWidth - 28));
        y += fm.height() + 2;
    }
}

} // namespace expiry_ui
