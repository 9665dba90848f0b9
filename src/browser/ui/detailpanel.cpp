// The detail panel: re-read from the lot dataset whenever its row or its rows change while shown.
#include "detailpanel.h"

#include "overlay.h"

#include "data/ui/panelfocus.h"

#include "data/cacheddataset.h"
#include "data/fieldtext.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace browser_ui {

const QStringList DetailPanel::kCaptions = {
    QStringLiteral("Descrição"),      QStringLiteral("Lote"),           QStringLiteral("Fornecedor"),
    QStringLiteral("Validade"),       QStringLiteral("Fabricante"),     QStringLiteral("Saldo Corrente"),
    QStringLiteral("Fator Correção"), QStringLiteral("Densidade"),
};
const QStringList DetailPanel::kFields = {
    QStringLiteral("DESCRICAO"),  QStringLiteral("LOTE"),          QStringLiteral("FORNECEDOR"),
    QStringLiteral("VALIDADE"),   QStringLiteral("FABRICANTE"),    QStringLiteral("SALDOCORRENTE"),
    QStringLiteral("FATORCORRECAO"), QStringLiteral("DENSIDADE"),
};

DetailPanel::DetailPanel(data::CachedDataset &lots, QWidget *grid, QWidget *window)
    : QFrame(window), m_lots(lots), m_grid(grid)
{
    setObjectName(QStringLiteral("pnlDetalha"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    setMinimumWidth(520);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setHorizontalSpacing(16);
    QFont valueFont = font();
    valueFont.setBold(true);
    valueFont.setPointSizeF(valueFont.pointSizeF() * 1.15);
    for (int i = 0; i < kCaptions.size(); ++i) {
        auto *caption = new QLabel(kCaptions.at(i), this);
        caption->setObjectName(QStringLiteral("Label") + kFields.at(i));
        auto *text = new QLabel(this);
        text->setObjectName(QStringLiteral("DBText") + kFields.at(i));
        text->setTextFormat(Qt::PlainText);
        text->setFont(valueFont);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        captions << caption;
        texts << text;
        // The description spans the panel; the rest sit three to a row.
        const int row = i == 0 ? 0 : 2 + 2 * ((i - 1) / 3);
        const int col = i == 0 ? 0 : (i - 1) % 3;
        layout->addWidget(caption, row, col, 1, i == 0 ? 3 : 1);
        layout->addWidget(text, row + 1, col, 1, i == 0 ? 3 : 1);
    }
    btn8 = new QPushButton(QStringLiteral("&Fechar "), this);
    btn8->setObjectName(QStringLiteral("btn8"));
    btn8->setFlat(true);
    btn8->setAutoDefault(false);
    layout->addWidget(btn8, 6, 2, Qt::AlignRight);

    connect(btn8, &QPushButton::clicked, this, &DetailPanel::btn8Click);
    const auto follow = [this] {
        if (!isHidden())
            refresh();
    };
    connect(&m_lots, &data::CachedDataset::currentChanged, this, follow);
    connect(&m_lots, &data::CachedDataset::rowChanged, this, follow);
    connect(&m_lots, &data::CachedDataset::rowsReset, this, follow);
    data_ui::keepPlace(this, grid);
    hide();
}

void DetailPanel::showOverGrid()
{
    refresh();
    showCentredOver(this, m_grid);
}

void DetailPanel::btn8Click()
{
    hide();
    m_grid->setFocus();
}

QString DetailPanel::fieldText(const QString &field) const
{
    if (!m_lots.isOpen() || m_lots.currentRow() < 0 || m_lots.fieldIndex(field) < 0)
        return {};
    return data::FieldText(m_lots.value(field));
}

void DetailPanel::refresh()
{
    for (int i = 0; i < kFields.size(); ++i)
        texts.at(i)->setText(fieldText(kFields.at(i)));
}

} // namespace browser_ui
