#include "tform3.h"

#include "core/runstate.h"
#include "browser/lotgrid.h"
#include "common/stockquery.h"
#include "data/fieldtext.h"
#include "data/tdm.h"
#include "db/dberror.h"
#include "platform/operator.h"
#include "transfer/transfer.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace transfer_ui {

namespace {

QLineEdit *readOnlyEdit(QWidget *parent, const char *name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::ClickFocus);
    return e;
}

QLabel *fieldLabel(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

// The current row of the lot dataset, by upper-case column name.
QMap<QString, db::Value> currentRow(data::CachedDataset &lots)
{
    QMap<QString, db::Value> values;
    if (!lots.isOpen() || lots.currentRow() < 0)
        return values;
    for (const QString &name : lots.fieldNames())
        values.insert(name.toUpper(), lots.value(name));
    return values;
}

} // namespace

TForm3::TForm3(data::TDM &dm, const platform::Clock &clock, platform::Operator &op, MainWindowLink link,
               QWidget *parent)
    : QDialog(parent), m_dm(dm), m_clock(clock), m_op(op), m_link(std::move(link))
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("  Transferência de estoque entre laboratórios e lojas"));
    setModal(true);

    DBEdit1 = readOnlyEdit(this, "DBEdit1");
    QFont large = DBEdit1->font();
    large.setPointSizeF(large.pointSizeF() * 1.4);
    large.setBold(true);
    DBEdit1->setFont(large);
    DBEdit2 = readOnlyEdit(this, "DBEdit2");
    DBText2 = fieldLabel(this, "DBText2");
    DBEdit4 = readOnlyEdit(this, "DBEdit4");
    DBEdit4->setEnabled(false);
    DBEdit8 = readOnlyEdit(this, "DBEdit8");
    DBEdit8->setEnabled(false);
    DBEdit10 = readOnlyEdit(this, "DBEdit10");
    DBText3 = fieldLabel(this, "DBText3");
    DBText4 = fieldLabel(this, "DBText4");
    DBText1 = fieldLabel(this, "DBText1");
    Label7 = fieldLabel(this, "Label7");

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("Quantidade a transferir"));
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);   // the place typed is the place meant
    ComboBox1->setMinimumContentsLength(20);
    BitBtn1 = new QPushButton(QStringLiteral("&Transferir"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2 = new QPushButton(QStringLiteral("&Sair"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));

    m_source.bind(DBEdit1, QStringLiteral("DESCRICAO"));
    m_source.bind(DBEdit2, QStringLiteral("LOTE"));
    m_source.bind(DBText2, QStringLiteral("FORNECEDOR"));
    m_source.bind(DBEdit4, QStringLiteral("CODIGO"));
    m_source.bind(DBEdit8, QStringLiteral("CODIGOEAN"));
    m_source.bind(DBEdit10, QStringLiteral("VALIDADE"));
    m_source.bind(DBText3, QStringLiteral("SITUACAO"));
    m_source.bind(DBText4, QStringLiteral("LABORATORIO"));
    m_source.bind(DBText1, QStringLiteral("UNIDADE"));

    auto caption = [this](const QString &text) { return new QLabel(text, this); };
    auto *fields = new QGridLayout;
    fields->addWidget(caption(QStringLiteral("Descrição")), 0, 0);
    fields->addWidget(DBEdit1, 0, 1, 1, 5);
    fields->addWidget(caption(QStringLiteral("Lote")), 1, 0);
    fields->addWidget(DBEdit2, 1, 1);
    fields->addWidget(caption(QStringLiteral("Fornecedor")), 1, 2);
    fields->addWidget(DBText2, 1, 3, 1, 3);
    fields->addWidget(caption(QStringLiteral("Código")), 2, 0);
    fields->addWidget(DBEdit4, 2, 1);
    fields->addWidget(caption(QStringLiteral("Código EAN")), 2, 2);
    fields->addWidget(DBEdit8, 2, 3);
    fields->addWidget(caption(QStringLiteral("Validade")), 3, 0);
    fields->addWidget(DBEdit10, 3, 1);
    fields->addWidget(caption(QStringLiteral("Situação")), 3, 2);
    fields->addWidget(DBText3, 3, 3);
    fields->addWidget(caption(QStringLiteral("Local")), 4, 0);
    fields->addWidget(DBText4, 4, 1);
    fields->addWidget(caption(QStringLiteral("Saldo Atual")), 4, 2);
    fields->addWidget(Label7, 4, 3);

    auto *sentence = new QHBoxLayout;
    sentence->addWidget(caption(QStringLiteral("Do estoque acima transferir ")));
    sentence->addWidget(Edit1);
    sentence->addWidget(DBText1);
    sentence->addWidget(caption(QStringLiteral("para")));
    sentence->addWidget(ComboBox1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(12);
    layout->addLayout(sentence);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    // Each box says to a screen reader what it holds.
    for (const auto &[box, name] : {std::pair<QWidget *, const char *>{DBEdit1, "Descrição"}, {DBEdit2, "Lote"},
                                    {DBEdit4, "Código"}, {DBEdit8, "Código EAN"}, {DBEdit10, "Validade"},
                                    {ComboBox1, "Transferir para"}})
        box->setAccessibleName(QString::fromUtf8(name));

    Edit1->installEventFilter(this);
    ComboBox1->installEventFilter(this);
    ComboBox1->lineEdit()->installEventFilter(this);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm3::BitBtn2Click);
    connect(this, &QDialog::finished, this, &TForm3::FormClose);

    showSource(currentRow(dm.ESTLOTE));
}

void TForm3::showSource(const QMap<QString, db::Value> &values)
{
    m_source.show(values);
    Label7->setText(data::FieldText(m_source.value(QStringLiteral("SALDOCORRENTE"))) + QLatin1Char(' ')
                    + m_source.value(QStringLiteral("UNIDADE")).toString() + QStringLiteral("  "));
}

void TForm3::readDestinations()
{
    QStringList destinations;
    try {
        destinations = transfer::DestinationList(m_dm.SQLConnection1);
    } catch (const db::DbError &e) {
        // Told once; closing the message activates the form again, which must not ask again.
        m_serverFailed = true;
        m_op.warn(db::operatorText(e));
        return;
    }
    // The typed destination survives the new list.
    const QString typed = ComboBox1->currentText();
    const QSignalBlocker block(ComboBox1);
    ComboBox1->clear();
    ComboBox1->addItems(destinations);
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(typed);
}

void TForm3::FormActivate()
{
    if (!m_serverFailed)
        readDestinations();
    showSource(m_source.values());
    // Coming back from a refusal's message, the operator goes where the message sent him.
    QWidget *target = m_focusAfterMessage ? m_focusAfterMessage : Edit1;
    m_focusAfterMessage = nullptr;
    target->setFocus();
    // The quantity is selected (a refused one too), so what is typed next replaces it.
    if (target == Edit1)
        Edit1->selectAll();
}

void TForm3::BitBtn1Click()
{
    const QMap<QString, db::Value> &s = m_source.values();
    const transfer::SourceLot source{s.value(QStringLiteral("CODIGO")), s.value(QStringLiteral("LOTE")),
                                     s.value(QStringLiteral("FORNECEDOR")), s.value(QStringLiteral("LABORATORIO")),
                                     s.value(QStringLiteral("DESCRICAO")).toString()};
    const transfer::Outcome out =
        transfer::Transfer(m_dm.SQLConnection1, source, Edit1->text(), ComboBox1->currentText(), m_op);
    // The list is read again at the next activation only when this action reached the server.
    if (out.step == transfer::Step::ConnectionLost)
        m_serverFailed = true;
    else if (out.step != transfer::Step::NotPositive && out.step != transfer::Step::NoDestination)
        m_serverFailed = false;
    if (out.storedSource) {
        // What the server holds now for the same lot, e.g. a balance another workstation changed.
        QMap<QString, db::Value> fresh = s;
        const QStringList names = core::kLotColumnList.split(QStringLiteral(", "));
        for (int i = 0; i < names.size() && i < int(out.storedSource->size()); ++i)
            fresh.insert(names[i], (*out.storedSource)[size_t(i)]);
        showSource(fresh);
    }
    switch (out.step) {
    case transfer::Step::Done:
        accept();
        return;
    case transfer::Step::Quantity:
    case transfer::Step::NotPositive:
        focusLater(Edit1);
        return;
    case transfer::Step::OwnLocation:
    case transfer::Step::NoDestination:
        focusLater(ComboBox1);
        return;
    default:
        return;   // (1) to (3): nothing changed, the form stays as it is
    }
}

void TForm3::focusLater(QWidget *target)
{
    m_focusAfterMessage = target;
    target->setFocus();
    if (target == Edit1)
        Edit1->selectAll();
}

void TForm3::BitBtn2Click()
{
    reject();
}

void TForm3::FormClose()
{
    if (m_link.filters && m_link.wait) {
        // The grid comes back to the lot the transfer started from, in the rows read anew.
        QMap<QString, db::Value> lot;
        for (const char *name : {"CODIGO", "LOTE", "FORNECEDOR", "LABORATORIO"})
            lot.insert(QLatin1String(name), m_source.value(QLatin1String(name)));
        const auto [view, mode] = m_link.filters();
        browser::BuildStockQuery(m_dm, view, mode, m_clock, *m_link.wait);
        if (const int row = browser::LotRow(m_dm.ESTLOTE, lot); row >= 0)
            m_dm.ESTLOTE.moveTo(row);
    }
    if (m_link.searchBox)
        m_link.searchBox->setFocus();
}

void TForm3::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

bool TForm3::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == Edit1) {   // Edit1KeyPress
                ComboBox1->setFocus();
                return true;
            }
            if (watched == ComboBox1 || watched == ComboBox1->lineEdit()) {   // ComboBox1KeyPress
                BitBtn1->setFocus();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace transfer_ui
