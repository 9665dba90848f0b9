#include "project.h"

#include <QXmlStreamReader>

namespace reports_engine {

namespace {

double number(const QXmlStreamAttributes &a, const char *name, double fallback)
{
    const QString v = a.value(QLatin1String(name)).toString();
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : fallback;
}

Align alignOf(const QXmlStreamAttributes &a)
{
    const QString v = a.value(QLatin1String("align")).toString();
    if (v == QLatin1String("right"))
        return Align::Right;
    if (v == QLatin1String("center"))
        return Align::Center;
    return Align::Left;
}

bool flag(const QXmlStreamAttributes &a, const char *name)
{
    const QString v = a.value(QLatin1String(name)).toString();
    return v == QLatin1String("true") || v == QLatin1String("1") || v == QLatin1String("yes");
}

void readBand(QXmlStreamReader &xml, Band &band)
{
    band.height = number(xml.attributes(), "height", 0);
    while (xml.readNextStartElement()) {
        const QXmlStreamAttributes a = xml.attributes();
        BandItem item;
        item.x = number(a, "x", 0);
        item.y = number(a, "y", 0);
        item.bold = flag(a, "bold");
        item.fontSize = number(a, "size", 0);
        item.align = alignOf(a);
        if (xml.name() == QLatin1String("text")) {
            item.kind = BandItem::Kind::Text;
            item.width = number(a, "width", 50);
            item.height = number(a, "height", 0);
            item.text = xml.readElementText();
        } else if (xml.name() == QLatin1String("line")) {
            item.kind = BandItem::Kind::Line;
            item.x = number(a, "x1", 0);
            item.y = number(a, "y1", 0);
            item.width = number(a, "x2", 0) - item.x;
            item.height = number(a, "y2", item.y) - item.y;
            item.lineWidth = number(a, "width", 0.2);
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
            continue;
        }
        band.items.push_back(item);
    }
}

ReportDef readReport(QXmlStreamReader &xml)
{
    ReportDef r;
    r.name = xml.attributes().value(QLatin1String("name")).toString();
    r.title = xml.attributes().value(QLatin1String("title")).toString();
    while (xml.readNextStartElement()) {
        const QXmlStreamAttributes a = xml.attributes();
        const auto name = xml.name();
        if (name == QLatin1String("page")) {
            r.landscape = a.value(QLatin1String("orientation")) == QLatin1String("landscape");
            r.pageWidth = number(a, "width", 210);
            r.pageHeight = number(a, "height", 297);
            if (r.landscape && r.pageWidth < r.pageHeight)
                std::swap(r.pageWidth, r.pageHeight);
            r.marginLeft = number(a, "left", 10);
            r.marginTop = number(a, "top", 10);
            r.marginRight = number(a, "right", 10);
            r.marginBottom = number(a, "bottom", 10);
            if (a.hasAttribute(QLatin1String("font")))
                r.fontFamily = a.value(QLatin1String("font")).toString();
            r.fontSize = number(a, "fontsize", 8);
            xml.skipCurrentElement();
        } else if (name == QLatin1String("title")) {
            readBand(xml, r.titleBand);
        } else if (name == QLatin1String("pageheader")) {
            readBand(xml, r.pageHeader);
        } else if (name == QLatin1String("pagefooter")) {
            readBand(xml, r.pageFooter);
        } else if (name == QLatin1String("summary")) {
            readBand(xml, r.summary);
        } else if (name == QLatin1String("detail")) {
            r.detailConnection = a.value(QLatin1String("connection")).toString();
            r.rowHeight = number(a, "rowheight", 4.5);
            r.captionHeight = number(a, "captionheight", 5.5);
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("column")) {
                    const QXmlStreamAttributes c = xml.attributes();
                    Column col;
                    col.field = c.value(QLatin1String("field")).toString();
                    col.caption = c.value(QLatin1String("caption")).toString();
                    col.width = number(c, "width", 20);
                    col.align = alignOf(c);
                    col.format = c.value(QLatin1String("format")).toString();
                    col.sum = c.value(QLatin1String("total")) == QLatin1String("sum");
                    r.columns.push_back(col);
                }
                xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return r;
}

} // namespace

const ReportDef *Project::find(const QString &name) const
{
    for (const ReportDef &r : reports) {
        if (r.name.compare(name, Qt::CaseInsensitive) == 0)
            return &r;
    }
    return nullptr;
}

QString ReportError::operatorText() const
{
    return (m_kind == Kind::MissingProject ? kMissingProjectLeadIn : kInvalidProjectLeadIn) + QStringLiteral("\n\n")
           + message();
}

Project ParseProject(const QByteArray &bytes, const QString &fileName)
{
    Project p;
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("ravproject"))
        throw ReportError(ReportError::Kind::InvalidProject, QStringLiteral("Invalid reporting project:\n\"%1\"").arg(fileName));
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("report"))
            p.reports.push_back(readReport(xml));
        else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        throw ReportError(ReportError::Kind::InvalidProject, QStringLiteral("Invalid reporting project:\n\"%1\"\n%2 (line %3)")
                              .arg(fileName, xml.errorString())
                              .arg(xml.lineNumber()));
    return p;
}

} // namespace reports_engine
