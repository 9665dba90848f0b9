#include "render.h"
#include "platform/systemerror.h"

#include "platform/cp1252.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <map>

namespace reports_engine {

namespace {

constexpr double kMmPerInch = 25.4;

Qt::Alignment qtAlign(Align a)
{
    switch (a) {
    case Align::Right: return Qt::AlignRight;
    case Align::Center: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
    }
}

QPageLayout pageLayout(const PageModel &model)
{
    const QSizeF portrait(std::min(model.widthMm, model.heightMm), std::max(model.widthMm, model.heightMm));
    const bool landscape = model.widthMm > model.heightMm;
    return QPageLayout(QPageSize(portrait, QPageSize::Millimeter), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

} // namespace

void PaintPage(QPainter &painter, const PageModel &model, const Page &page)
{
    QPaintDevice *device = painter.device();
    const double sx = device->logicalDpiX() / kMmPerInch;
    const double sy = device->logicalDpiY() / kMmPerInch;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QFont font(model.fontFamily);
    for (const PageItem &item : page.items) {
        if (item.kind == PageItem::Kind::Line) {
            QPen pen(Qt::black);
            pen.setWidthF(std::max(1.0, item.lineWidth * sx));
            painter.setPen(pen);
            painter.drawLine(QPointF(item.rect.left() * sx, item.rect.top() * sy),
                             QPointF(item.rect.right() * sx, item.rect.bottom() * sy));
            continue;
        }
        if (item.text.isEmpty())
            continue;
        font.setPointSizeF(item.fontSize);
        font.setBold(item.bold);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QRectF r(item.rect.left() * sx, item.rect.top() * sy, item.rect.width() * sx, item.rect.height() * sy);
        const QFontMetricsF fm(font, device);
        const QString shown = fm.horizontalAdvance(item.text) > r.width() ? fm.elidedText(item.text, Qt::ElideRight, r.width())
                                                                            : item.text;
        painter.drawText(r, int(qtAlign(item.align) | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip), shown);
    }
    painter.restore();
}

void SetUpPrinter(QPrinter &printer, const PageModel &model)
{
    printer.setFullPage(true);
    printer.setPageLayout(pageLayout(model));
    printer.setDocName(DocumentName(model));
}

QString DocumentName(const PageModel &model)
{
    QString name = model.title.trimmed().isEmpty() ? model.reportName.trimmed() : model.title.trimmed();
    // Characters Windows refuses in a file name give way to a hyphen ("Físico/Financeiro").
    static const QString refused = QStringLiteral("\\/:*?\"<>|");
    for (QChar &c : name) {
        if (refused.contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('-');
    }
    return name;
}

void PrintPages(QPrinter &printer, const PageModel &model, int from, int to, const std::function<void(int)> &pageDone)
{
    const int first = from > 0 ? from : 1;
    const int last = to > 0 ? std::min<int>(to, model.pageCount()) : model.pageCount();
    QPainter painter(&printer);
    for (int n = first; n <= last; ++n) {
        if (n > first)
            printer.newPage();
        PaintPage(painter, model, model.page(n - 1));
        if (pageDone)
            pageDone(n);
    }
}

bool WritePdf(const PageModel &model, const QString &localPath, QString *error, const std::function<void(int)> &pageDone)
{
    QFile file(localPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = platform::systemErrorText(file.errorString());
        return false;
    }
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(300);
        pdf.setTitle(kJobTitle);
        pdf.setCreator(QStringLiteral("Estoque"));
        pdf.setPageLayout(pageLayout(model));
        QPainter painter(&pdf);
        for (int i = 0, n = model.pageCount(); i < n; ++i) {
            if (i > 0)
                pdf.newPage();
            PaintPage(painter, model, model.page(i));
            if (pageDone)
                pageDone(i + 1);
        }
    }
    return true;
}

namespace {

constexpr double kCharsPerMm = 10 / kMmPerInch;
constexpr double kLinesPerMm = 6 / kMmPerInch;

// A text or a rule of a page on the character grid: its line, its cell [col, col + width) and,
// for a text, where it starts when nothing is in its way.
struct TextCell {
    int line = 0;
    int col = 0;
    int width = 1;
    QString text;
    Align align = Align::Left;
    bool rule = false;
    int start() const
    {
        const int len = int(text.size());
        if (align == Align::Right)
            return col + width - len;
        if (align == Align::Center)
            return col + (width - len) / 2;
        return col;
    }
};

// The page's texts and rules by the line they fall on; a rule never takes the place of the
// text above it.
std::vector<TextCell> textCells(const Page &page)
{
    std::vector<const PageItem *> items;
    for (const PageItem &item : page.items) {
        if (item.kind == PageItem::Kind::Text ? !item.text.isEmpty() : std::abs(item.rect.height()) < 1e-6)
            items.push_back(&item);
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const PageItem *a, const PageItem *b) { return a->rect.top() < b->rect.top() - 1e-6; });
    std::vector<TextCell> cells;
    int lastLine = -1;
    double lastTop = -1e9;
    for (const PageItem *item : items) {
        int line = int(std::lround(item->rect.top() * kLinesPerMm));
        if (std::abs(item->rect.top() - lastTop) < 0.05)
            line = lastLine;
        else if (line <= lastLine)
            line = lastLine + 1;
        TextCell c;
        c.line = line;
        c.col = int(std::lround(item->rect.left() * kCharsPerMm));
        c.width = std::max(1, int(std::floor(item->rect.width() * kCharsPerMm + 1e-6)));
        c.rule = item->kind == PageItem::Kind::Line;
        if (!c.rule) {
            c.text = item->text;
            c.align = item->align;
        }
        cells.push_back(std::move(c));
        lastLine = line;
        lastTop = item->rect.top();
    }
    return cells;
}

// Blanks to insert before a column so that no text on any line runs into its neighbour: at
// each position, the most any line needs there.
using Widening = std::map<int, int>;

void addWidening(std::vector<TextCell> cells, Widening &widening)
{
    std::erase_if(cells, [](const TextCell &c) { return c.rule; });
    std::stable_sort(cells.begin(), cells.end(), [](const TextCell &a, const TextCell &b) {
        return a.line != b.line ? a.line < b.line : a.start() < b.start();
    });
    for (size_t i = 1; i < cells.size(); ++i) {
        const TextCell &prev = cells[i - 1];
        const TextCell &cur = cells[i];
        if (prev.line != cur.line)
            continue;
        const int need = prev.start() + int(prev.text.size()) + 1 - cur.start();
        // Blanks inserted at the start of the next cell move it and leave the text before where
        // it is; cells sharing their room with another are left to the cut below.
        const bool between = cur.col > prev.col && (prev.align == Align::Left || cur.col >= prev.col + prev.width);
        if (need > 0 && between)
            widening[cur.col] = std::max(widening[cur.col], need);
    }
}

// Blanks inserted at or before position x.
int shiftAt(const Widening &widening, int x)
{
    int shift = 0;
    for (auto it = widening.begin(); it != widening.end() && it->first <= x; ++it)
        shift += it->second;
    return shift;
}

} // namespace

QByteArray PlainText(const PageModel &model, const std::function<void(int)> &pageDone)
{
    const int n = model.pageCount();
    // Every column as wide as its widest text on any page, so the columns stay under each other
    // from the first page to the last.
    Widening widening;
    for (int p = 0; p < n; ++p) {
        addWidening(textCells(model.page(p)), widening);
        if (pageDone)
            pageDone(p + 1);
    }
    int totalShift = 0;
    for (const auto &[at, blanks] : widening)
        totalShift += blanks;
    const int pageChars = int(std::floor(model.widthMm * kCharsPerMm + 1e-6)) + totalShift;

    QByteArray out;
    for (int p = 0; p < n; ++p) {
        std::vector<TextCell> cells = textCells(model.page(p));
        if (pageDone)
            pageDone(p + 1);
        // The cells moved and widened by the blanks inserted before them.
        for (TextCell &c : cells) {
            const int end = c.col + c.width;
            c.col += shiftAt(widening, c.col);
            c.width = end + shiftAt(widening, end - 1) - c.col;
        }
        std::map<int, std::vector<TextCell *>> byLine;
        std::map<int, std::pair<int, int>> rules;   // line -> first and last column
        for (TextCell &c : cells) {
            if (c.rule)
                rules[c.line] = {c.col, c.col + c.width};
            else
                byLine[c.line].push_back(&c);
        }
        std::map<int, QString> lines;
        for (auto &[line, list] : byLine) {
            struct Placed {
                int start;
                QString text;
                Align align;
            };
            std::vector<Placed> placed;
            for (const TextCell *c : list)
                placed.push_back({std::max(0, c->start()), c->text, c->align});
            std::stable_sort(placed.begin(), placed.end(), [](const Placed &a, const Placed &b) { return a.start < b.start; });
            // Texts sharing their room with another keep one blank between them: a left-aligned
            // text gives way to the next; after any other the next one starts later.
            for (size_t i = 1; i < placed.size(); ++i) {
                Placed &prev = placed[i - 1];
                Placed &cur = placed[i];
                const int prevEnd = prev.start + int(prev.text.size());
                if (prevEnd < cur.start)
                    continue;
                if (prev.align == Align::Left) {
                    prev.text.truncate(std::max(0, cur.start - 1 - prev.start));
                } else {
                    const int end = cur.start + int(cur.text.size());
                    cur.start = prevEnd + 1;
                    cur.text.truncate(std::max(0, end - cur.start));
                }
            }
            QString &text = lines[line];
            for (const Placed &c : placed) {
                if (c.text.isEmpty() || c.start >= pageChars)
                    continue;
                const QString s = c.text.left(pageChars - c.start);
                if (text.size() < c.start + s.size())
                    text = text.leftJustified(c.start + s.size(), QLatin1Char(' '));
                text.replace(c.start, s.size(), s);
            }
        }
        for (const auto &[line, span] : rules) {
            if (byLine.count(line))
                continue;
            lines[line] = QString(span.first, QLatin1Char(' ')) + QString(std::max(0, span.second - span.first), QLatin1Char('-'));
        }
        if (p > 0)
            out += '\f';
        int next = 0;
        for (const auto &[line, text] : lines) {
            for (; next < line; ++next)
                out += "\r\n";
            QString t = text;
            while (t.endsWith(QLatin1Char(' ')))
                t.chop(1);
            out += platform::toCp1252(t) + "\r\n";
            next = line + 1;
        }
    }
    return out;
}

namespace {

QByteArray rtfText(const QString &text)
{
    QByteArray out;
    const QByteArray bytes = platform::toCp1252(text);
    for (char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c >= 0x80 || c < 0x20) {
            out += "\\'" + QByteArray::number(c, 16).rightJustified(2, '0');
        } else {
            out += char(c);
        }
    }
    return out;
}

int twips(double mm) { return int(std::lround(mm * 1440 / kMmPerInch)); }

} // namespace

QByteArray RichText(const PageModel &model, const std::function<void(int)> &pageDone)
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 " + rtfText(model.fontFamily)
                     + ";}}\r\n";
    out += "\\paperw" + QByteArray::number(twips(model.widthMm)) + "\\paperh" + QByteArray::number(twips(model.heightMm))
           + "\\margl" + QByteArray::number(twips(model.marginLeft)) + "\\margr" + QByteArray::number(twips(model.marginRight))
           + "\\margt" + QByteArray::number(twips(model.marginTop)) + "\\margb" + QByteArray::number(twips(model.marginBottom))
           + (model.landscape ? "\\landscape" : "") + "\r\n";
    for (int p = 0, n = model.pageCount(); p < n; ++p) {
        if (p > 0)
            out += "\\page\r\n";
        const Page page = model.page(p);
        if (pageDone)
            pageDone(p + 1);
        std::vector<const PageItem *> items;
        for (const PageItem &item : page.items) {
            if (item.kind == PageItem::Kind::Text && !item.text.isEmpty())
                items.push_back(&item);
        }
        std::stable_sort(items.begin(), items.end(), [](const PageItem *a, const PageItem *b) {
            if (std::abs(a->rect.top() - b->rect.top()) >= 0.05)
                return a->rect.top() < b->rect.top();
            return a->rect.left() < b->rect.left();
        });
        double previousBottom = model.marginTop;
        for (size_t i = 0; i < items.size();) {
            size_t j = i;
            double size = 0;
            while (j < items.size() && std::abs(items[j]->rect.top() - items[i]->rect.top()) < 0.05) {
                size = std::max(size, items[j]->fontSize);
                ++j;
            }
            const double top = items[i]->rect.top();
            const double height = items[i]->rect.height();
            QByteArray stops, body;
            for (size_t k = i; k < j; ++k) {
                const PageItem &item = *items[k];
                const double left = item.rect.left() - model.marginLeft;
                QByteArray stop;
                if (item.align == Align::Right)
                    stop = "\\tqr\\tx" + QByteArray::number(twips(left + item.rect.width()));
                else if (item.align == Align::Center)
                    stop = "\\tqc\\tx" + QByteArray::number(twips(left + item.rect.width() / 2));
                else if (left > 0.05)
                    stop = "\\tx" + QByteArray::number(twips(left));
                if (!stop.isEmpty()) {
                    stops += stop;
                    body += "\\tab ";
                }
                const QByteArray text = rtfText(item.text);
                body += item.bold ? "{\\b " + text + "}" : text;
            }
            out += "\\pard\\plain\\f0\\fs" + QByteArray::number(int(std::lround(size * 2))) + "\\sb"
                   + QByteArray::number(std::max(0, twips(top - previousBottom))) + "\\sa0\\sl-"
                   + QByteArray::number(std::max(1, twips(height))) + stops + " " + body + "\\par\r\n";
            previousBottom = top + height;
            i = j;
        }
    }
    out += "}\r\n";
    return out;
}

const std::vector<FileRenderer> &FileRenderers()
{
    static const std::vector<FileRenderer> list = {
        {FileFormat::Pdf, QStringLiteral("Adobe Acrobat (PDF)"), QStringLiteral("*.pdf")},
        {FileFormat::Rtf, QStringLiteral("Rich Text Format (RTF)"), QStringLiteral("*.rtf")},
        {FileFormat::Txt, QStringLiteral("Plain Text (TXT)"), QStringLiteral("*.txt")},
    };
    return list;
}

QString FileFilter(const FileRenderer &r)
{
    return r.description + QStringLiteral(" (") + r.pattern + QLatin1Char(')');
}

bool WriteFile(const PageModel &model, FileFormat format, const QString &localPath, QString *error,
               const std::function<void(int)> &pageDone)
{
    if (format == FileFormat::Pdf)
        return WritePdf(model, localPath, error, pageDone);
    const QByteArray bytes = format == FileFormat::Rtf ? RichText(model, pageDone) : PlainText(model, pageDone);
    QFile file(localPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        if (error)
            *error = platform::systemErrorText(file.errorString());
        return false;
    }
    return true;
}

} // namespace reports_engine
