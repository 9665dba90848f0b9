// Report projects (.rav): XML files holding named reports, each a page set-up and its bands.
// Units are millimetres; texts are templates ({Connection.FIELD|format}, {page}, {pages},
// {now|d:dd/MM/yyyy}, {sum:FIELD|format}, {count}).
#pragma once
#include "platform/error.h"

#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <vector>

namespace reports_engine {

// What the engine raises: the engine's own text, and what the operator reads (our words first).
class ReportError : public platform::Error {
public:
    enum class Kind { MissingProject, InvalidProject };
    ReportError(Kind kind, const QString &message)
        : platform::Error(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }
    // What failed and what to do, then the engine's text (message()).
    QString operatorText() const override;

private:
    Kind m_kind;
};

inline const QString kMissingProjectLeadIn = QStringLiteral(
    "O relatório não foi mostrado: o arquivo de projeto do relatório não foi encontrado. Copie de novo os arquivos da "
    "pasta rpt da instalação para a pasta rpt do programa e repita a operação.");
inline const QString kInvalidProjectLeadIn = QStringLiteral(
    "O relatório não foi mostrado: o arquivo de projeto do relatório está danificado ou incompleto. Copie de novo os "
    "arquivos da pasta rpt da instalação para a pasta rpt do programa e repita a operação.");

enum class Align { Left, Center, Right };

struct BandItem {
    enum class Kind { Text, Line } kind = Kind::Text;
    double x = 0, y = 0, width = 0, height = 0;   // a line runs from (x, y) to (x + width, y + height)
    QString text;                                  // template
    Align align = Align::Left;
    double fontSize = 0;                           // 0: the page's
    bool bold = false;
    double lineWidth = 0.2;
};

struct Band {
    double height = 0;
    std::vector<BandItem> items;
    bool present() const { return height > 0 || !items.empty(); }
};

struct Column {
    QString field;
    QString caption;
    double width = 20;
    Align align = Align::Left;
    QString format;
    bool sum = false;
};

struct ReportDef {
    QString name;
    QString title;
    // Page
    double pageWidth = 210, pageHeight = 297;   // portrait A4; swapped for landscape
    bool landscape = false;
    double marginLeft = 10, marginTop = 10, marginRight = 10, marginBottom = 10;
    QString fontFamily = QStringLiteral("Arial");
    double fontSize = 8;
    // Bands
    Band titleBand;    // first page only, above the page header
    Band pageHeader;
    Band pageFooter;
    Band summary;      // after the last row; the sums of the columns marked total="sum" lead it
    QString detailConnection;
    double rowHeight = 4.5;
    double captionHeight = 5.5;
    std::vector<Column> columns;
};

struct Project {
    std::vector<ReportDef> reports;
    const ReportDef *find(const QString &name) const;   // null when the project has no such report
};

// Throws ReportError on a file that is not a report project.
Project ParseProject(const QByteArray &xml, const QString &fileName);

} // namespace reports_engine
