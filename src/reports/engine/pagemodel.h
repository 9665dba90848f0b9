// The laid-out pages of one run, device-independent (millimetres from the paper's top-left
// corner): what the preview, the printer, PDF, RTF and plain text all draw from.
#pragma once
#include "project.h"

#include <QRectF>
#include <QString>
#include <memory>
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

// Lays out one page when it is asked for: the page count is known before any page is made.
class PageMaker {
public:
    virtual ~PageMaker() = default;
    virtual int pageCount() const = 0;
    virtual Page page(int index) const = 0;   // 0-based
};

struct PageModel {
    QString reportName;
    QString title;          // the report's own title: print job and default file name
    double widthMm = 210, heightMm = 297;
    bool landscape = false;
    double marginLeft = 10, marginTop = 10, marginRight = 10, marginBottom = 10;
    QString fontFamily = QStringLiteral("Arial");
    // Pages are made by the maker when there is one (it reads the run's data, so only while the
    // run presents the model); otherwise these are the pages.
    std::shared_ptr<const PageMaker> maker;
    std::vector<Page> pages;

    int pageCount() const { return maker ? maker->pageCount() : int(pages.size()); }
    Page page(int index) const { return maker ? maker->page(index) : pages[size_t(index)]; }
    // The same model with every page made now, to keep after the run.
    PageModel laidOut() const
    {
        PageModel out = *this;
        out.maker.reset();
        out.pages.clear();
        out.pages.reserve(size_t(pageCount()));
        for (int i = 0, n = pageCount(); i < n; ++i)
            out.pages.push_back(page(i));
        return out;
    }
};

} // namespace reports_engine
