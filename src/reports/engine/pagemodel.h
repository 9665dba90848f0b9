// The laid-out pages of one run, device-independent (millimetres from the paper's top-left
// corner): what the preview, the printer, PDF, RTF and plain text all draw from.
#pragma once
#include "project.h"

#include <QRectF>
#include <QString>
#include <vector>

namespace reports_engine {

struct PageItem {
    enum class Kind { Text, Line } kind = PageItem::Kind::Text;
    QRectF rect;            // a line runs from rect.topLeft() to rect.bottomRight()
    QString text;
    Align align = Align::Left;
    double fontSize = 8;    // points
    bool bold = false;
    double lineWidth = 0.2; // mm
};

struct Page {
    std::vector<PageItem> items;
};

struct PageModel {
    QString reportName;
    double widthMm = 210, heightMm = 297;
    bool landscape = false;
    double marginLeft = 10, marginTop = 10, marginRight = 10, marginBottom = 10;
    QString fontFamily = QStringLiteral("Arial");
    std::vector<Page> pages;
};

} // namespace reports_engine
