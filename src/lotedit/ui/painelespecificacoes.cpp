// The certificate panel's controls and handlers; the statements and rules are in lotedit/certificate.
#include "painelespecificacoes.h"

#include "db/dberror.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/operator.h"
#include "data/ui/panelfocus.h"

#include <QAction>
#include <QCalendarWidget>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace lotedit_ui {

namespace {

constexpr int kTestsInSight = 7;

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

PainelEspecificacoes::PainelEspecificacoes(data::TDM &dm, data::DataSource &lotSource, platform::Operator &op,
                                           const platform::Clock &clock, const platform::WinPaths &paths,
                                           platform::Clipboard &clipboard, QWidget *parent)
    : QFrame(parent),
      DS_Laudo(dm.Laudo, op),
      m_dm(dm),
      m_lot(lotSource),
      m_op(op),
      m_clock(clock),
      m_paths(paths),
      m_clipboard(clipboard)
{
    setObjectName(QStringLiteral("PainelEspecificacoes"));
    setFrameShape(QFrame::Panel);
    setAutoFillBackground(true);
    resize(704, 521);
    DS_Laudo.currentYear = [this] { return m_clock.today().year(); };
    // The result belongs to the test table, not to the header table the display rows are written as.
    if (const auto info = data::FindColumnInfo(QStringLiteral("CQPORLOTE"), QStringLiteral("RESULTADO")))
        DS_Laudo.setColumnInfo(QStringLiteral("RESULTADO"), *info);

    buildControls();
    wireHandlers();
    layOut();
    // The panel lies over the lot's own boxes: while it is shown nothing of the form behind it
    // takes a key, and Tab goes round the panel (and the calendar while it is open).
    data_ui::keepPlace(this, nullptr, true);
    hide();
}

// The controls, each set up as it stays.
void PainelEspecificacoes::buildControls()
{
    Panel2 = new QLabel(kCertificateTitle, this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setAlignment(Qt::AlignCenter);
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Raised);
    QFont titleFont = Panel2->font();
    titleFont.setBold(true);
    Panel2->setFont(titleFont);

    DBText1 = new data_ui::DBText(&m_lot, QStringLiteral("DESCRICAO"), this);
    DBText3 = new data_ui::DBText(&m_lot, QStringLiteral("FORNECEDOR"), this);
    DBText2 = new data_ui::DBText(&m_lot, QStringLiteral("LOTE"), this);
    DBText5 = new data_ui::DBText(&m_lot, QStringLiteral("VALIDADE"), this);
    DBText1->setFont(titleFont);

    DBEdit3 = new data_ui::DBEdit(&DS_Laudo, QStringLiteral("DATA"), this);
    DBEdit3->setEditMask(QStringLiteral("!99/99/00;1;_"));
    DBEdit5 = new data_ui::DBEdit(&DS_Laudo, QStringLiteral("TAMANHOLOTE"), this);
    DBComboBox4 = new data_ui::DBComboBox(&DS_Laudo, QStringLiteral("RESULTADOFINAL"), this);
    DBComboBox4->setItems({QStringLiteral("Aprovado"), QStringLiteral("Reprovado")});
    DBEdit11 = new data_ui::DBEdit(&DS_Laudo, QStringLiteral("ANALISTA"), this);
    DBEdit14 = new data_ui::DBEdit(&DS_Laudo, QStringLiteral("MANIPULADOR"), this);

    m_model = new data_ui::DatasetModel(&m_dm.Laudo,
                                        {{QStringLiteral("Cod. Laudo"), QStringLiteral("CODIGOLAUDO")},
                                         {QStringLiteral("Ensaio"), QStringLiteral("ENSAIO")},
                                         {QStringLiteral("Especificação"), QStringLiteral("ESPECIFICACAO")}},
                                        this);
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setModel(m_model);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setFocusPolicy(Qt::ClickFocus);   // not in the tab order
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    // A certificate's seven tests in sight at once.
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->setMinimumHeight(DBGrid1->horizontalHeader()->sizeHint().height()
                              + kTestsInSight * DBGrid1->verticalHeader()->defaultSectionSize()
                              + 2 * DBGrid1->frameWidth() + 2);

    DBMemo1 = new data_ui::DBMemo(&DS_Laudo, QStringLiteral("ENSAIO"), this);
    DBMemo1->setReadOnly(true);
    DBMemo1->setFocusPolicy(Qt::NoFocus);
    DBMemo2 = new data_ui::DBMemo(&DS_Laudo, QStringLiteral("RESULTADO"), this);

    BitBtn7 = new QPushButton(QStringLiteral("&Sair"), this);
    BitBtn7->setObjectName(QStringLiteral("BitBtn7"));
    BitBtn4 = new QPushButton(this);
    BitBtn4->setObjectName(QStringLiteral("BitBtn4"));
    BitBtn4->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    BitBtn4->setIconSize(QSize(32, 32));
    BitBtn4->setToolTip(QStringLiteral("Imprimir"));
    BitBtn4->setAccessibleName(QStringLiteral("Imprimir laudo"));

    MonthCalendar1 = new QCalendarWidget(this);
    MonthCalendar1->setObjectName(QStringLiteral("MonthCalendar1"));
    MonthCalendar1->hide();

    PopupMenu1 = new QMenu(this);
    Calendrio1 = PopupMenu1->addAction(QStringLiteral("&Calendário"));
}

// What each control's signals and keys do, and the grid kept on the dataset's row.
void PainelEspecificacoes::wireHandlers()
{
    DBEdit3->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBEdit3, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { PopupMenu1->popup(DBEdit3->mapToGlobal(at)); });
    connect(Calendrio1, &QAction::triggered, this, &PainelEspecificacoes::Calendrio1Click);
    connect(MonthCalendar1, &QCalendarWidget::clicked, this, &PainelEspecificacoes::MonthCalendar1Click);
    // From the keyboard: the arrows move the day, Enter picks it, Esc closes the calendar.
    connect(MonthCalendar1, &QCalendarWidget::activated, this, &PainelEspecificacoes::MonthCalendar1Click);
    MonthCalendar1->installEventFilter(this);
    DBGrid1->installEventFilter(this);
    connect(BitBtn7, &QPushButton::clicked, this, &PainelEspecificacoes::BitBtn7Click);
    connect(BitBtn4, &QPushButton::clicked, this, &PainelEspecificacoes::BitBtn4Click);

    DBEdit3->keyPress = [this](QKeyEvent *e) { return enterMovesOn(e, DBEdit5); };
    DBEdit5->keyPress = [this](QKeyEvent *e) { return enterMovesOn(e, DBComboBox4); };
    DBComboBox4->keyPress = [this](QKeyEvent *e) { return enterMovesOn(e, DBEdit11); };
    DBEdit11->keyPress = [this](QKeyEvent *e) { return enterMovesOn(e, DBEdit14); };
    DBEdit14->keyPress = [this](QKeyEvent *e) { return enterMovesOn(e, DBMemo2); };
    DBMemo2->keyPress = [this](QKeyEvent *e) { return DBMemo2KeyPress(e); };

    // The grid follows the dataset, and a row picked in the grid moves the dataset there.
    connect(&m_dm.Laudo, &data::CachedDataset::currentChanged, this, [this](int row) { selectGridRow(row); });
    connect(&m_dm.Laudo, &data::CachedDataset::rowsReset, this, [this] {
        showTestRowsOnly();
        selectGridRow(m_dm.Laudo.currentRow());
    });
    connect(&m_dm.Laudo, &data::CachedDataset::currentChanged, this, [this] { lockResultWithoutTest(); });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_moving && current.isValid())
                    goToRow(current.row());
            });
}

// Where the controls go, under their captions, and the tab order.
void PainelEspecificacoes::layOut()
{
    const auto caption = [this](const QString &text, QWidget *w) {
        auto *box = new QWidget(this);
        auto *l = new QVBoxLayout(box);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(2);
        auto *label = new QLabel(text, box);
        label->setBuddy(w);
        l->addWidget(label);
        w->setParent(box);
        l->addWidget(w);
        return box;
    };

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->addWidget(Panel2);

    auto *lotLine = new QGridLayout;
    lotLine->addWidget(DBText1, 0, 0, 1, 4);
    lotLine->addWidget(new QLabel(QStringLiteral("Fornecedor:"), this), 1, 0);
    lotLine->addWidget(DBText3, 1, 1);
    lotLine->addWidget(new QLabel(QStringLiteral("Lote:"), this), 1, 2);
    lotLine->addWidget(DBText2, 1, 3);
    lotLine->addWidget(new QLabel(QStringLiteral("Validade:"), this), 1, 4);
    lotLine->addWidget(DBText5, 1, 5);
    root->addLayout(lotLine);

    auto *header = new QHBoxLayout;
    header->addWidget(caption(QStringLiteral("Data:"), DBEdit3));
    header->addWidget(caption(QStringLiteral("Tamanho do lote:"), DBEdit5));
    header->addWidget(caption(QStringLiteral("Resultado:"), DBComboBox4));
    header->addWidget(caption(QStringLiteral("Analista:"), DBEdit11));
    header->addWidget(caption(QStringLiteral("Manipulador:"), DBEdit14));
    root->addLayout(header);

    root->addWidget(DBGrid1, 3);
    auto *memos = new QHBoxLayout;
    memos->addWidget(caption(QStringLiteral("Ensaio"), DBMemo1), 1);
    memos->addWidget(caption(QStringLiteral("Resultado"), DBMemo2), 2);
    root->addLayout(memos, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn4);
    buttons->addStretch();
    buttons->addWidget(BitBtn7);
    root->addLayout(buttons);

    setTabOrder(BitBtn7, DBEdit3);
    setTabOrder(DBEdit3, DBEdit5);
    setTabOrder(DBEdit5, DBComboBox4);
    setTabOrder(DBComboBox4, DBEdit11);
    setTabOrder(DBEdit11, DBEdit14);
    setTabOrder(DBEdit14, DBMemo2);
    setTabOrder(DBMemo2, BitBtn4);
    DBMemo2->setTabChangesFocus(true);
}

PainelEspecificacoes::~PainelEspecificacoes()
{
    if (!isHidden())
        m_dm.Laudo.close();
}

bool PainelEspecificacoes::enterMovesOn(QKeyEvent *event, QWidget *next)
{
    if (!isEnter(event))
        return false;
    next->setFocus();
    return true;
}

void PainelEspecificacoes::setFormControlsEnabled(bool enabled)
{
    for (QWidget *w : m_formControls)
        if (w)
            w->setEnabled(enabled);
}

void PainelEspecificacoes::BitBtn3Click()
{
    data::CachedDataset &lot = m_lot.dataset();
    m_key = lotedit::CertificateKeyOf(lot.text(QStringLiteral("CODIGO")), lot.text(QStringLiteral("LOTE")),
                                      lot.text(QStringLiteral("FORNECEDOR")));
    try {
        m_number = lotedit::FindOrCreateCertificate(m_dm.SQLConnection1, m_key).number;
        m_dm.Laudo.close();
        m_dm.Laudo.setCommandText(lotedit::CertificateViewStatement(m_key));
        m_dm.Laudo.open();
        m_shown = lotedit::ReadCertificate(m_dm.SQLConnection1, m_number);
    } catch (const std::exception &e) {
        m_op.error(platform::OperatorText(e));
        return;
    }
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    MonthCalendar1->hide();
    show();
    raise();
    setFormControlsEnabled(false);
    DBEdit3->setFocus();
}

bool PainelEspecificacoes::storeAndCarryHeader()
{
    data::CachedDataset &ds = m_dm.Laudo;
    if (!ds.isOpen() || ds.isEmpty())
        return true;
    if (!DS_Laudo.updateRecord())
        return false;
    if (DS_Laudo.isEditing() && !DS_Laudo.post())
        return false;
    std::vector<lotedit::CertificateRow> rows = shownRows();
    const std::vector<size_t> changed = lotedit::CarryHeader(rows, currentHeader());
    showRows(rows, changed);
    return true;
}

std::vector<lotedit::CertificateRow> PainelEspecificacoes::shownRows() const
{
    const data::CachedDataset &ds = m_dm.Laudo;
    const int date = ds.fieldIndex(QStringLiteral("DATA")), handler = ds.fieldIndex(QStringLiteral("MANIPULADOR")),
              analyst = ds.fieldIndex(QStringLiteral("ANALISTA")), lotSize = ds.fieldIndex(QStringLiteral("TAMANHOLOTE")),
              verdict = ds.fieldIndex(QStringLiteral("RESULTADOFINAL"));
    std::vector<lotedit::CertificateRow> rows;
    for (int row = 0; row < ds.rowCount(); ++row) {
        const db::Value day = ds.valueAt(row, date);
        lotedit::CertificateRow r;
        r.header = {day.isNull() ? QDate() : day.toDate(), ds.valueAt(row, handler).toString(),
                    ds.valueAt(row, analyst).toString(), ds.valueAt(row, lotSize).toString(),
                    ds.valueAt(row, verdict).toString()};
        if (hasTest(row)) {
            const lotedit::TestResult test = testAt(row);
            r.testEntry = test.testEntry;
            r.result = test.result;
        }
        rows.push_back(r);
    }
    return rows;
}

void PainelEspecificacoes::showRows(const std::vector<lotedit::CertificateRow> &rows, const std::vector<size_t> &changed)
{
    data::CachedDataset &ds = m_dm.Laudo;
    const auto dateValue = [](const QDate &d) { return d.isValid() ? db::Value::date(d) : db::Value(); };
    const auto textValue = [](const QString &t) { return t.isEmpty() ? db::Value() : db::Value::text(t); };
    const int current = ds.currentRow();
    const bool wasMoving = m_moving;
    m_moving = true;
    for (const size_t i : changed) {
        const int row = int(i);
        const lotedit::CertificateRow &r = rows[i];
        ds.moveTo(row);
        ds.edit();
        // Only what differs is written: the row keeps its own empty texts where nothing changed.
        const std::pair<QString, db::Value> values[] = {
            {QStringLiteral("DATA"), dateValue(r.header.date)},
            {QStringLiteral("MANIPULADOR"), textValue(r.header.handler)},
            {QStringLiteral("ANALISTA"), textValue(r.header.analyst)},
            {QStringLiteral("TAMANHOLOTE"), textValue(r.header.lotSize)},
            {QStringLiteral("RESULTADOFINAL"), textValue(r.header.verdict)},
            {QStringLiteral("RESULTADO"), textValue(r.result)},
        };
        for (const auto &[field, value] : values) {
            const db::Value now = ds.value(field);
            const bool same = now == value || (value.isNull() && now.toString().isEmpty());
            if (!same && (field != QStringLiteral("RESULTADO") || hasTest(row)))
                ds.setValue(field, value);
        }
        ds.post();
    }
    if (ds.currentRow() != current)
        ds.moveTo(current);
    m_moving = wasMoving;
    selectGridRow(current);
}

lotedit::CertificateHeader PainelEspecificacoes::currentHeader() const
{
    const data::CachedDataset &ds = m_dm.Laudo;
    lotedit::CertificateHeader h;
    h.date = ds.value(QStringLiteral("DATA")).isNull() ? QDate() : ds.value(QStringLiteral("DATA")).toDate();
    h.handler = ds.text(QStringLiteral("MANIPULADOR"));
    h.analyst = ds.text(QStringLiteral("ANALISTA"));
    h.lotSize = ds.text(QStringLiteral("TAMANHOLOTE"));
    h.verdict = ds.text(QStringLiteral("RESULTADOFINAL"));
    return h;
}

bool PainelEspecificacoes::hasTest(int row) const
{
    const data::CachedDataset &ds = m_dm.Laudo;
    return !ds.valueAt(row, ds.fieldIndex(QStringLiteral("CODIGOESPEC"))).isNull();
}

void PainelEspecificacoes::showTestRowsOnly()
{
    // The row of a certificate without tests carries its header: the grid lists no test for it.
    const data::CachedDataset &ds = m_dm.Laudo;
    for (int row = 0; row < m_model->rowCount(); ++row)
        DBGrid1->setRowHidden(row, ds.isOpen() && !hasTest(row));
    lockResultWithoutTest();
}

void PainelEspecificacoes::lockResultWithoutTest()
{
    const data::CachedDataset &ds = m_dm.Laudo;
    DBMemo2->setReadOnly(ds.isOpen() && ds.currentRow() >= 0 && !hasTest(ds.currentRow()));
}

std::vector<lotedit::TestResult> PainelEspecificacoes::testsOf(const std::vector<int> &rows) const
{
    std::vector<lotedit::TestResult> tests;
    for (const int row : rows)
        if (hasTest(row))
            tests.push_back(testAt(row));
    return tests;
}

lotedit::TestResult PainelEspecificacoes::testAt(int row) const
{
    const data::CachedDataset &ds = m_dm.Laudo;
    return {int(ds.valueAt(row, ds.fieldIndex(QStringLiteral("CODIGOESPEC"))).toInt()),
            ds.valueAt(row, ds.fieldIndex(QStringLiteral("RESULTADO"))).toString()};
}

bool PainelEspecificacoes::save(const std::vector<lotedit::TestResult> &tests)
{
    const lotedit::CertificateHeader header = currentHeader();
    try {
        lotedit::SaveCertificate(m_dm.SQLConnection1, m_number, header, tests, &m_clipboard, &m_shown);
    } catch (const lotedit::CertificateChanged &e) {
        m_op.warn(e.message());
        showStoredValues(e.stored());
        m_shown = e.stored();
        return false;
    } catch (const std::exception &e) {
        m_op.error(platform::OperatorText(e));
        return false;
    }
    m_shown.header = header;
    for (const lotedit::TestResult &t : tests)
        m_shown.results[t.testEntry] = t.result;
    return true;
}

void PainelEspecificacoes::showStoredValues(const lotedit::CertificateShown &stored)
{
    const data::CachedDataset &ds = m_dm.Laudo;
    if (!ds.isOpen() || ds.isEmpty())
        return;
    std::vector<lotedit::CertificateRow> rows = shownRows();
    const std::vector<size_t> changed = lotedit::TakeStoredValues(rows, m_shown, stored);
    showRows(rows, changed);
}

bool PainelEspecificacoes::DBMemo2KeyPress(QKeyEvent *event)
{
    if (!isEnter(event))
        return false;
    data::CachedDataset &ds = m_dm.Laudo;
    if (!ds.isOpen() || ds.isEmpty() || !storeAndCarryHeader())
        return true;
    if (!save(testsOf({ds.currentRow()})))
        return true;
    if (ds.currentRow() < ds.rowCount() - 1)
        goToRow(ds.currentRow() + 1);
    DBMemo2->setFocus();
    return true;
}

bool PainelEspecificacoes::DBGrid1KeyPress(QKeyEvent *event)
{
    if (!isEnter(event))
        return false;
    DBMemo2->setFocus();
    return true;
}

bool PainelEspecificacoes::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress && DBGrid1KeyPress(static_cast<QKeyEvent *>(event)))
        return true;
    // Esc in the calendar closes it alone, never the panel or the form.
    if (watched == MonthCalendar1 && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        MonthCalendar1->hide();
        DBEdit3->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void PainelEspecificacoes::BitBtn7Click()
{
    data::CachedDataset &ds = m_dm.Laudo;
    if (ds.isOpen() && !ds.isEmpty()) {
        // A date or value the box refuses keeps the panel open with what was typed.
        if (!storeAndCarryHeader())
            return;
        std::vector<int> rows;
        for (int row = 0; row < ds.rowCount(); ++row)
            rows.push_back(row);
        if (!save(testsOf(rows)))
            return;
    }
    ds.close();
    MonthCalendar1->hide();
    hide();
    setFormControlsEnabled(true);
}

void PainelEspecificacoes::BitBtn4Click()
{
    const data::CachedDataset &lot = m_lot.dataset();
    const QString server = m_dm.run.siteConfig.ServerAddress;
    const db::Value validity = lot.value(QStringLiteral("VALIDADE"));
    const QString line = lotedit::CertificateProgramCommandLine(
        server, lot.text(QStringLiteral("CODIGO")), m_key.lot, m_key.supplier,
        validity.isNull() ? QString() : validity.toString(), m_dm.run.UserName);
    lotedit::StartCertificateProgram(m_paths, server, line, m_op);
}

void PainelEspecificacoes::Calendrio1Click()
{
    const db::Value current = m_dm.Laudo.isOpen() ? m_dm.Laudo.value(QStringLiteral("DATA")) : db::Value();
    MonthCalendar1->setSelectedDate(current.isNull() ? m_clock.today() : current.toDate());
    MonthCalendar1->move(DBEdit3->mapTo(this, QPoint(0, DBEdit3->height())));
    MonthCalendar1->adjustSize();
    MonthCalendar1->show();
    MonthCalendar1->raise();
    MonthCalendar1->setFocus();
}

void PainelEspecificacoes::MonthCalendar1Click(const QDate &date)
{
    if (m_dm.Laudo.isOpen() && !m_dm.Laudo.isEmpty())
        DS_Laudo.setFieldValue(QStringLiteral("DATA"), db::Value::date(date));
    MonthCalendar1->hide();
    DBEdit3->setFocus();
}

void PainelEspecificacoes::PainelEspecificacoesClick()
{
    MonthCalendar1->hide();
}

void PainelEspecificacoes::mousePressEvent(QMouseEvent *event)
{
    PainelEspecificacoesClick();
    QFrame::mousePressEvent(event);
}

void PainelEspecificacoes::goToRow(int row)
{
    data::CachedDataset &ds = m_dm.Laudo;
    if (!ds.isOpen() || row < 0 || row >= ds.rowCount())
        return;
    if (row != ds.currentRow()) {
        if (!storeAndCarryHeader()) {
            selectGridRow(ds.currentRow());
            return;
        }
        m_moving = true;
        ds.moveTo(row);
        m_moving = false;
    }
    selectGridRow(row);
}

void PainelEspecificacoes::selectGridRow(int row)
{
    const bool wasMoving = m_moving;
    m_moving = true;
    if (row >= 0 && row < m_model->rowCount())
        DBGrid1->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_moving = wasMoving;
}

} // namespace lotedit_ui
