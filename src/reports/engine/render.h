// The renderers of a page model: one QPainter drawing for the preview, the printer and PDF;
// plain text and RTF written from the same pages.
#pragma once
#include "pagemodel.h"

#include <QByteArray>
#include <QString>
#include <functional>

class QPainter;
class QPagedPaintDevice;
class QPrinter;

namespace reports_engine {

// Title of every PDF document.
inline const QString kJobTitle = QStringLiteral("ReportPrinter Report");

// The report's title (its name when it has none): the print job's name, from which the print
// dialog names a file, and the save dialog's first file name.
QString DocumentName(const PageModel &model);

// Draws one page on a device whose origin is the paper's top-left corner, in the device's own units.
void PaintPage(QPainter &painter, const PageModel &model, const Page &page);

// Sets paper size and orientation of a printer (full page, so the model's coordinates hold).
void SetUpPrinter(QPrinter &printer, const PageModel &model);

// Every page (or pages from..to, 1-based, inclusive) on a printer already set up; pageDone(n) after each.
void PrintPages(QPrinter &printer, const PageModel &model, int from = 0, int to = 0,
                const std::function<void(int)> &pageDone = {});

// The writers below make the pages one after the other; pageDone(n) after each.

// Writes a PDF file; false with the reason in error when the file cannot be written.
bool WritePdf(const PageModel &model, const QString &localPath, QString *error = nullptr,
              const std::function<void(int)> &pageDone = {});

// Plain text at 10 characters and 6 lines per inch, Windows-1252, CR LF; pages after the first
// begin with a form feed. A column whose text would run into the next one is widened on every
// page, so no date or word is cut. The pages are made twice (widths first): pageDone counts both.
QByteArray PlainText(const PageModel &model, const std::function<void(int)> &pageDone = {});

// Rich Text Format (ANSI, code page 1252); one RTF page per page.
QByteArray RichText(const PageModel &model, const std::function<void(int)> &pageDone = {});

// The file renderers the preview can save through.
enum class FileFormat { Pdf, Rtf, Txt };
struct FileRenderer {
    FileFormat format;
    QString description;   // "Adobe Acrobat (PDF)"
    QString pattern;       // "*.pdf"
};
const std::vector<FileRenderer> &FileRenderers();
QString FileFilter(const FileRenderer &r);   // "Adobe Acrobat (PDF) (*.pdf)"
// Writes the model in that format; false with the reason in error.
bool WriteFile(const PageModel &model, FileFormat format, const QString &localPath, QString *error = nullptr,
               const std::function<void(int)> &pageDone = {});

} // namespace reports_engine
