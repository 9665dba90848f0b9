#include "stocktakepanel.h"

#include "common/textfold.h"
#include "core/activitylog.h"
#include "core/runstate.h"
#include "data/fieldinput.h"
#include "data/ui/panelfocus.h"
#include "db/connection.h"
#include "db/dberror.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/numberformat.h"
#include "platform/operator.h"
#include "platform/passwordecho.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSet>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace stocktake_ui {

namespace {

QString qty(stocktake::Qty q)
{
    return platform::FormatNumber(QStringLiteral("#,##0.########"), double(q) / 1e8);
}

QString when(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy hh:mm")) : QString();
}

QStringList splitList(const QString &text)
{
    QStringList out;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!part.trimmed().isEmpty())
            out << part.trimmed();
    return out;
}

QPushButton *button(const QString &caption, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

// The count's lines as the list shows them: all, those not counted, or those with a difference.
class LineModel : public QAbstractTableModel {
public:
    enum Column { Local, Produto, Lote, Fornecedor, Unid, Sistema, Contado, Diferenca, Motivo, Aprovado, Nota,
                  ColumnCount };
    LineModel(const std::vector<stocktake::Line> &lines, QObject *parent)
        : QAbstractTableModel(parent), m_lines(lines) {}

    void reset(int filter)
    {
        beginResetModel();
        m_filter = filter;
        m_rows.clear();
        for (size_t i = 0; i < m_lines.size(); ++i)
            if (passes(m_lines[i]))
                m_rows.push_back(int(i));
        endResetModel();
    }
    // The line at index `at` of the lines changed or was added: its row, or -1 when not shown.
    int changed(int at)
    {
        if (m_filter != 0) {
            reset(m_filter);
        } else if (at >= int(m_rows.size())) {
            beginInsertRows({}, int(m_rows.size()), int(m_rows.size()));
            m_rows.push_back(at);
            endInsertRows();
        } else {
            Q_EMIT dataChanged(index(at, 0), index(at, ColumnCount - 1));
        }
        const auto it = std::find(m_rows.begin(), m_rows.end(), at);
        return it == m_rows.end() ? -1 : int(it - m_rows.begin());
    }
    int lineAt(int row) const { return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)] : -1; }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        static const char *const names[ColumnCount] = {"Local", "Produto", "Lote", "Fornecedor", "Unid.",
                                                       "No sistema", "Contado", "Diferença", "Motivo",
                                                       "Aprovado por", "Observação"};
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
            return QString::fromUtf8(names[section]);
        return {};
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const int at = index.isValid() ? lineAt(index.row()) : -1;
        if (at < 0)
            return {};
        const stocktake::Line &l = m_lines[size_t(at)];
        const int c = index.column();
        if (role == Qt::TextAlignmentRole)
            return c >= Sistema && c <= Diferenca ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
        if (role != Qt::DisplayRole)
            return {};
        switch (c) {
        case Local: return l.laboratorio;
        case Produto: return l.descricao;
        case Lote: return l.lote;
        case Fornecedor: return l.fornecedor;
        case Unid: return l.unidade;
        case Sistema: return qty(l.snapshot);
        case Contado: return l.counted ? qty(*l.counted) : QString();
        case Diferenca: return l.counted ? qty(l.difference()) : QString();
        case Motivo:
            return l.motivo + (l.observacao.isEmpty() ? QString() : QStringLiteral(": ") + l.observacao);
        case Aprovado: return l.aprovadoPor;
        case Nota: {
            QStringList n;
            if (!l.inSnapshot)
                n << QStringLiteral("fora da foto");
            if (!l.counted)
                n << QStringLiteral("não contado");
            else if (l.hasDifference() && l.controlled() && l.aprovadoPor.isEmpty())
                n << QStringLiteral("controlado: falta aprovação");
            return n.join(QStringLiteral(", "));
        }
        default: return {};
        }
    }

private:
    bool passes(const stocktake::Line &l) const
    {
        return m_filter == 0 || (m_filter == 1 && !l.counted) || (m_filter == 2 && l.hasDifference());
    }
    const std::vector<stocktake::Line> &m_lines;
    std::vector<int> m_rows;
    int m_filter = 0;
};

// ---- Dialogs ---------------------------------------------------------------------------------------

NewCountDialog::NewCountDialog(const QStringList &storeLaboratories, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("NovoInventario"));
    setWindowTitle(QStringLiteral("Novo inventário"));
    ListaLocais = new QListWidget(this);
    ListaLocais->setObjectName(QStringLiteral("ListaLocais"));
    ListaLocais->setAccessibleName(QStringLiteral("Locais contados"));
    for (const QString &l : storeLaboratories) {
        auto *item = new QListWidgetItem(l, ListaLocais);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    ListaLocais->setMaximumHeight(110);
    edGrupos = new QLineEdit(this);
    edGrupos->setObjectName(QStringLiteral("edGrupos"));
    edGrupos->setPlaceholderText(QStringLiteral("todos (ou separados por vírgula: MP, REV)"));
    chkControlados = new QCheckBox(QStringLiteral("Somente produtos &controlados"), this);
    chkControlados->setObjectName(QStringLiteral("chkControlados"));
    edProdutoDe = new QLineEdit(this);
    edProdutoAte = new QLineEdit(this);
    edLoteDe = new QLineEdit(this);
    edLoteAte = new QLineEdit(this);
    edProdutoDe->setObjectName(QStringLiteral("edProdutoDe"));
    edProdutoAte->setObjectName(QStringLiteral("edProdutoAte"));
    edLoteDe->setObjectName(QStringLiteral("edLoteDe"));
    edLoteAte->setObjectName(QStringLiteral("edLoteAte"));
    edProdutoDe->setAccessibleName(QStringLiteral("Produtos de"));
    edProdutoAte->setAccessibleName(QStringLiteral("Produtos até"));
    edLoteDe->setAccessibleName(QStringLiteral("Lotes de"));
    edLoteAte->setAccessibleName(QStringLiteral("Lotes até"));
    edGrupos->setAccessibleName(QStringLiteral("Grupos"));
    for (QLineEdit *e : {edProdutoDe, edProdutoAte})
        e->setMaxLength(70);
    for (QLineEdit *e : {edLoteDe, edLoteAte})
        e->setMaxLength(30);
    edGrupos->setMaxLength(200);
    chkCega = new QCheckBox(QStringLiteral("Contagem ce&ga (folhas e digitação sem a quantidade do sistema)"), this);
    chkCega->setObjectName(QStringLiteral("chkCega"));
    btnIniciar = button(QStringLiteral("&Iniciar contagem"), "btnIniciar", this);
    btnCancelar = button(QStringLiteral("Ca&ncelar"), "btnCancelar", this);
    btnIniciar->setDefault(true);

    auto *form = new QFormLayout;
    auto *locais = new QLabel(QStringLiteral("&Locais:"), this);
    locais->setBuddy(ListaLocais);
    form->addRow(locais, ListaLocais);
    form->addRow(QStringLiteral("&Grupos:"), edGrupos);
    form->addRow(QString(), chkControlados);
    auto pair = [this](QLineEdit *a, QLineEdit *b) {
        auto *row = new QHBoxLayout;
        row->addWidget(a);
        row->addWidget(new QLabel(QStringLiteral("até"), this));
        row->addWidget(b);
        return row;
    };
    auto *produtos = new QLabel(QStringLiteral("&Produtos de:"), this);
    produtos->setBuddy(edProdutoDe);
    form->addRow(produtos, pair(edProdutoDe, edProdutoAte));
    auto *lotes = new QLabel(QStringLiteral("Lo&tes de:"), this);
    lotes->setBuddy(edLoteDe);
    form->addRow(lotes, pair(edLoteDe, edLoteAte));
    form->addRow(QString(), chkCega);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnIniciar);
    buttons->addWidget(btnCancelar);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(btnIniciar, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    QWidget::setTabOrder(ListaLocais, edGrupos);
    QWidget::setTabOrder(edGrupos, chkControlados);
    QWidget::setTabOrder(chkControlados, edProdutoDe);
    QWidget::setTabOrder(edProdutoDe, edProdutoAte);
    QWidget::setTabOrder(edProdutoAte, edLoteDe);
    QWidget::setTabOrder(edLoteDe, edLoteAte);
    QWidget::setTabOrder(edLoteAte, chkCega);
    QWidget::setTabOrder(chkCega, btnIniciar);
    QWidget::setTabOrder(btnIniciar, btnCancelar);
}

stocktake::Scope NewCountDialog::scope() const
{
    stocktake::Scope s;
    for (int i = 0; i < ListaLocais->count(); ++i)
        if (ListaLocais->item(i)->checkState() == Qt::Checked)
            s.locations << ListaLocais->item(i)->text();
    s.groups = splitList(edGrupos->text());
    s.controlledOnly = chkControlados->isChecked();
    s.productFrom = edProdutoDe->text().simplified();
    s.productTo = edProdutoAte->text().simplified();
    s.lotFrom = edLoteDe->text().simplified();
    s.lotTo = edLoteAte->text().simplified();
    s.blind = chkCega->isChecked();
    return s;
}

ReasonDialog::ReasonDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MotivoDiferenca"));
    setWindowTitle(QStringLiteral("Motivo da diferença"));
    cbMotivo = new QComboBox(this);
    cbMotivo->setObjectName(QStringLiteral("cbMotivo"));
    cbMotivo->addItems(stocktake::Reasons());
    edTexto = new QLineEdit(this);
    edTexto->setObjectName(QStringLiteral("edTexto"));
    edTexto->setMaxLength(stocktake::kObservationWidth);
    btnOk = button(QStringLiteral("&OK"), "btnOk", this);
    btnCancelar = button(QStringLiteral("Ca&ncelar"), "btnCancelar", this);
    btnOk->setDefault(true);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Motivo:"), cbMotivo);
    form->addRow(QStringLiteral("&Texto:"), edTexto);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancelar);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

ApprovalDialog::ApprovalDialog(const QString &what, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AprovacaoControlados"));
    setWindowTitle(QStringLiteral("Aprovação de um segundo usuário"));
    Texto = new QLabel(what, this);
    Texto->setWordWrap(true);
    edUsuario = new QLineEdit(this);
    edUsuario->setObjectName(QStringLiteral("edUsuario"));
    edUsuario->setMaxLength(60);
    edSenha = new QLineEdit(this);
    edSenha->setObjectName(QStringLiteral("edSenha"));
    platform::useHashPasswordEcho(edSenha);
    btnOk = button(QStringLiteral("&Aprovar"), "btnOk", this);
    btnCancelar = button(QStringLiteral("Ca&ncelar"), "btnCancelar", this);
    btnOk->setDefault(true);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Usuário:"), edUsuario);
    form->addRow(QStringLiteral("&Senha:"), edSenha);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancelar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Texto);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

// ---- The panel ----------------------------------------------------------------------------------

StocktakePanel::StocktakePanel(db::Connection &central, const core::RunState &run, core::ActivityLog &log,
                               const platform::Clock &clock, const platform::WinPaths &paths, platform::Operator &op,
                               QWidget *window)
    : QFrame(window),
      m_central(central),
      m_run(run),
      m_log(log),
      m_clock(clock),
      m_paths(paths),
      m_op(op),
      m_window(window),
      m_engine(std::make_unique<reports_engine::ReportEngine>(paths, clock, &op))
{
    setObjectName(QStringLiteral("PainelInventario"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    m_engine->makeFileRenderersAvailable();

    Paginas = new QStackedWidget(this);

    // The counts.
    auto *countsPage = new QWidget(Paginas);
    Titulo = new QLabel(kPanelTitle, countsPage);
    QFont bold = Titulo->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() + 1);
    Titulo->setFont(bold);
    AvisoTabelas = new QLabel(stocktake::kTablesMissingText, countsPage);
    AvisoTabelas->setObjectName(QStringLiteral("AvisoTabelas"));
    AvisoTabelas->setWordWrap(true);
    ScriptTabelas = new QPlainTextEdit(countsPage);
    ScriptTabelas->setObjectName(QStringLiteral("ScriptTabelas"));
    ScriptTabelas->setReadOnly(true);
    ScriptTabelas->setAccessibleName(QStringLiteral("Comando que cria as tabelas do inventário"));
    ScriptTabelas->setPlainText(stocktake::TablesScript());
    ListaInventarios = new QTableWidget(countsPage);
    ListaInventarios->setObjectName(QStringLiteral("ListaInventarios"));
    ListaInventarios->setColumnCount(6);
    ListaInventarios->setHorizontalHeaderLabels({QStringLiteral("Nº"), QStringLiteral("Situação"),
                                                 QStringLiteral("Aberto em"), QStringLiteral("Aberto por"),
                                                 QStringLiteral("Postado em"), QStringLiteral("Escopo")});
    ListaInventarios->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListaInventarios->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListaInventarios->setSelectionMode(QAbstractItemView::SingleSelection);
    ListaInventarios->verticalHeader()->hide();
    ListaInventarios->horizontalHeader()->setStretchLastSection(true);
    ListaInventarios->setTabKeyNavigation(false);
    ListaInventarios->installEventFilter(this);
    btnNovo = button(QStringLiteral("&Novo inventário"), "btnNovo", countsPage);
    btnAbrir = button(QStringLiteral("&Abrir"), "btnAbrir", countsPage);
    btnSair = button(QStringLiteral("&Sair"), "btnSair", countsPage);
    btnSair->setAccessibleName(QStringLiteral("Sair do inventário"));
    auto *countButtons = new QHBoxLayout;
    countButtons->addWidget(btnNovo);
    countButtons->addWidget(btnAbrir);
    countButtons->addStretch(1);
    countButtons->addWidget(btnSair);
    auto *countsLayout = new QVBoxLayout(countsPage);
    countsLayout->setContentsMargins(0, 0, 0, 0);
    countsLayout->addWidget(Titulo);
    countsLayout->addWidget(AvisoTabelas);
    countsLayout->addWidget(ScriptTabelas);
    countsLayout->addWidget(ListaInventarios, 1);
    countsLayout->addLayout(countButtons);

    // A count.
    auto *countPage = new QWidget(Paginas);
    Cabecalho = new QLabel(countPage);
    Cabecalho->setObjectName(QStringLiteral("Cabecalho"));
    Cabecalho->setWordWrap(true);
    Cabecalho->setFont(bold);
    cbLocal = new QComboBox(countPage);
    cbLocal->setObjectName(QStringLiteral("cbLocal"));
    cbLocal->setAccessibleName(QStringLiteral("Local contado"));
    edLote = new QLineEdit(countPage);
    edLote->setObjectName(QStringLiteral("edLote"));
    edLote->setAccessibleName(QStringLiteral("Lote"));
    edLote->setMaxLength(30);
    edQuantidade = new QLineEdit(countPage);
    edQuantidade->setObjectName(QStringLiteral("edQuantidade"));
    edQuantidade->setAccessibleName(QStringLiteral("Quantidade contada"));
    edQuantidade->setMaxLength(24);
    lblUnidade = new QLabel(countPage);
    lblUnidade->setObjectName(QStringLiteral("lblUnidade"));
    lblUnidade->setMinimumWidth(40);
    lblUltima = new QLabel(countPage);
    lblUltima->setObjectName(QStringLiteral("lblUltima"));
    lblUltima->setWordWrap(true);
    cbMostrar = new QComboBox(countPage);
    cbMostrar->setObjectName(QStringLiteral("cbMostrar"));
    cbMostrar->addItems({QStringLiteral("Todos os lotes"), QStringLiteral("Não contados"),
                         QStringLiteral("Com diferença")});
    m_model = new LineModel(m_lines, this);
    ListaLinhas = new QTableView(countPage);
    ListaLinhas->setObjectName(QStringLiteral("ListaLinhas"));
    ListaLinhas->setModel(m_model);
    ListaLinhas->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListaLinhas->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListaLinhas->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListaLinhas->setTabKeyNavigation(false);
    ListaLinhas->verticalHeader()->hide();
    ListaLinhas->verticalHeader()->setDefaultSectionSize(ListaLinhas->fontMetrics().height() + 4);
    ListaLinhas->horizontalHeader()->setStretchLastSection(true);
    btnFolhas = button(QStringLiteral("&Folhas"), "btnFolhas", countPage);
    btnFolhasCsv = button(QStringLiteral("Folhas &CSV"), "btnFolhasCsv", countPage);
    btnConferir = button(QStringLiteral("Con&ferência"), "btnConferir", countPage);
    btnConferir->setCheckable(true);
    btnMotivo = button(QStringLiteral("&Motivo..."), "btnMotivo", countPage);
    btnZerar = button(QStringLiteral("&Zerar não contados"), "btnZerar", countPage);
    btnAprovar = button(QStringLiteral("Apro&var controlados..."), "btnAprovar", countPage);
    btnPostar = button(QStringLiteral("&Postar"), "btnPostar", countPage);
    btnRelatorio = button(QStringLiteral("&Relatório"), "btnRelatorio", countPage);
    btnRelatorioCsv = button(QStringLiteral("Relatório C&SV"), "btnRelatorioCsv", countPage);
    btnVoltar = button(QStringLiteral("&Voltar"), "btnVoltar", countPage);

    auto *entry = new QHBoxLayout;
    auto *localLabel = new QLabel(QStringLiteral("L&ocal:"), countPage);
    localLabel->setBuddy(cbLocal);
    auto *loteLabel = new QLabel(QStringLiteral("&Lote:"), countPage);
    loteLabel->setBuddy(edLote);
    auto *qtyLabel = new QLabel(QStringLiteral("&Quantidade:"), countPage);
    qtyLabel->setBuddy(edQuantidade);
    auto *showLabel = new QLabel(QStringLiteral("Mos&trar:"), countPage);
    showLabel->setBuddy(cbMostrar);
    entry->addWidget(localLabel);
    entry->addWidget(cbLocal, 1);
    entry->addWidget(loteLabel);
    entry->addWidget(edLote, 1);
    entry->addWidget(qtyLabel);
    entry->addWidget(edQuantidade, 1);
    entry->addWidget(lblUnidade);
    entry->addSpacing(12);
    entry->addWidget(showLabel);
    entry->addWidget(cbMostrar);
    auto *row1 = new QHBoxLayout;
    for (QPushButton *b : {btnFolhas, btnFolhasCsv, btnConferir, btnMotivo, btnZerar, btnAprovar})
        row1->addWidget(b);
    row1->addStretch(1);
    auto *row2 = new QHBoxLayout;
    for (QPushButton *b : {btnPostar, btnRelatorio, btnRelatorioCsv})
        row2->addWidget(b);
    row2->addStretch(1);
    row2->addWidget(btnVoltar);
    auto *countLayout = new QVBoxLayout(countPage);
    countLayout->setContentsMargins(0, 0, 0, 0);
    countLayout->addWidget(Cabecalho);
    countLayout->addLayout(entry);
    countLayout->addWidget(lblUltima);
    countLayout->addWidget(ListaLinhas, 1);
    countLayout->addLayout(row1);
    countLayout->addLayout(row2);

    Paginas->addWidget(countsPage);
    Paginas->addWidget(countPage);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(Paginas);

    const QList<QWidget *> chain{cbLocal, edLote, edQuantidade, cbMostrar, ListaLinhas, btnFolhas, btnFolhasCsv,
                                 btnConferir, btnMotivo, btnZerar, btnAprovar, btnPostar, btnRelatorio,
                                 btnRelatorioCsv, btnVoltar};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    edLote->installEventFilter(this);
    edQuantidade->installEventFilter(this);

    connect(btnNovo, &QPushButton::clicked, this, &StocktakePanel::btnNovoClick);
    connect(btnAbrir, &QPushButton::clicked, this, &StocktakePanel::btnAbrirClick);
    connect(btnSair, &QPushButton::clicked, this, &StocktakePanel::btnSairClick);
    connect(ListaInventarios, &QTableWidget::cellDoubleClicked, this, [this] { btnAbrirClick(); });
    connect(btnFolhas, &QPushButton::clicked, this, &StocktakePanel::btnFolhasClick);
    connect(btnFolhasCsv, &QPushButton::clicked, this, &StocktakePanel::btnFolhasCsvClick);
    connect(btnConferir, &QPushButton::clicked, this, &StocktakePanel::btnConferirClick);
    connect(btnMotivo, &QPushButton::clicked, this, &StocktakePanel::btnMotivoClick);
    connect(btnZerar, &QPushButton::clicked, this, &StocktakePanel::btnZerarClick);
    connect(btnAprovar, &QPushButton::clicked, this, &StocktakePanel::btnAprovarClick);
    connect(btnPostar, &QPushButton::clicked, this, &StocktakePanel::btnPostarClick);
    connect(btnRelatorio, &QPushButton::clicked, this, &StocktakePanel::btnRelatorioClick);
    connect(btnRelatorioCsv, &QPushButton::clicked, this, &StocktakePanel::btnRelatorioCsvClick);
    connect(btnVoltar, &QPushButton::clicked, this, &StocktakePanel::btnVoltarClick);
    connect(cbMostrar, &QComboBox::currentIndexChanged, this, [this](int i) { m_model->reset(i); });
    connect(edLote, &QLineEdit::textEdited, this, [this] { lblUnidade->clear(); });

    hide();
    data_ui::keepPlace(this, nullptr, true);
    data_ui::closeOnEscape(this, [this] {
        if (Paginas->currentIndex() == 1)
            btnVoltarClick();
        else
            btnSairClick();
    });
}

StocktakePanel::~StocktakePanel() = default;

QString StocktakePanel::station() const
{
    return m_run.WorkstationCode;
}

int StocktakePanel::runDialog(QDialog &dialog)
{
    if (beforeDialog)
        beforeDialog(&dialog);
    const int result = dialog.exec();
    // Back to the typing: the window takes the keys again, whatever the desktop does.
    window()->activateWindow();
    return result;
}

void StocktakePanel::open()
{
    setGeometry(m_window->rect());
    show();
    raise();
    Paginas->setCurrentIndex(0);
    fillCounts();
}

void StocktakePanel::fillCounts()
{
    const bool present = stocktake::TablesPresent(m_central);
    AvisoTabelas->setVisible(!present);
    ScriptTabelas->setVisible(!present);
    ListaInventarios->setVisible(present);
    btnNovo->setEnabled(present);
    btnAbrir->setEnabled(present);
    m_counts = present ? stocktake::ListCounts(m_central, m_run.StoreCnpj) : std::vector<stocktake::Count>{};
    ListaInventarios->setRowCount(int(m_counts.size()));
    for (int r = 0; r < int(m_counts.size()); ++r) {
        const stocktake::Count &c = m_counts[size_t(r)];
        const QStringList cells{QString::number(c.numero), c.situacao, when(c.abertoEm), c.abertoPor,
                                c.posted() ? when(c.postadoEm) + QStringLiteral(" por ") + c.postadoPor : QString(),
                                c.escopo};
        for (int col = 0; col < cells.size(); ++col)
            ListaInventarios->setItem(r, col, new QTableWidgetItem(cells[col]));
    }
    ListaInventarios->resizeColumnsToContents();
    if (!m_counts.empty()) {
        ListaInventarios->selectRow(0);
        ListaInventarios->setFocus();
    } else {
        (present ? btnNovo : btnSair)->setFocus();
    }
}

void StocktakePanel::btnNovoClick()
{
    NewCountDialog dialog(m_run.StoreLaboratories, this);
    if (runDialog(dialog) != QDialog::Accepted)
        return;
    const stocktake::Scope scope = dialog.scope();
    if (scope.locations.isEmpty()) {
        m_op.warn(QStringLiteral("Escolha ao menos um local para contar."));
        return;
    }
    const stocktake::Started s =
        stocktake::StartCount(m_central, scope, m_run.StoreLaboratories, m_run.StoreCnpj, m_run.UserName, m_clock.now());
    if (s.lines == 0)
        m_op.inform(QStringLiteral("O inventário nº %1 foi aberto, mas nenhum lote está no escopo escolhido: os lotes "
                                   "encontrados na contagem entram como novos.")
                        .arg(s.numero));
    openCount(s.numero);
}

void StocktakePanel::btnAbrirClick()
{
    const int row = ListaInventarios->currentRow();
    if (row < 0 || row >= int(m_counts.size()))
        return;
    openCount(m_counts[size_t(row)].numero);
}

void StocktakePanel::openCount(int numero)
{
    const std::optional<stocktake::Count> c = stocktake::ReadCount(m_central, numero);
    if (!c)
        return;
    m_count = *c;
    m_lines = stocktake::ReadLines(m_central, numero);
    // The count's own locations first, then the rest of the store's, where a lot may be found.
    cbLocal->clear();
    QStringList places;
    QSet<QString> seen;
    auto add = [&](const QString &p) {
        const QString key = platform::asciiUpper(p.trimmed());
        if (!seen.contains(key)) {
            seen.insert(key);
            places << p;
        }
    };
    for (const stocktake::Line &l : m_lines)
        add(l.laboratorio);
    for (const QString &l : m_run.StoreLaboratories)
        add(l);
    cbLocal->addItems(places);
    m_reconciling = m_count.posted() || !m_count.blind;
    btnConferir->setChecked(m_reconciling);
    Paginas->setCurrentIndex(1);
    showLines();
    setReadOnly(m_count.posted());
    lblUltima->clear();
    lblUnidade->clear();
    (m_count.posted() ? static_cast<QWidget *>(ListaLinhas) : edLote)->setFocus();
}

void StocktakePanel::showLines()
{
    int counted = 0, differences = 0;
    for (const stocktake::Line &l : m_lines) {
        counted += l.counted ? 1 : 0;
        differences += l.hasDifference() ? 1 : 0;
    }
    QString head = QStringLiteral("Inventário nº %1 - %2 - %3 de %4 lote(s) contado(s)")
                       .arg(m_count.numero)
                       .arg(m_count.posted() ? QStringLiteral("postado em ") + when(m_count.postadoEm)
                                                   + QStringLiteral(" por ") + m_count.postadoPor
                                             : QStringLiteral("aberto"))
                       .arg(counted)
                       .arg(m_lines.size());
    if (m_reconciling)
        head += QStringLiteral(", %1 com diferença").arg(differences);
    Cabecalho->setText(head + QStringLiteral("\n") + m_count.escopo);
    m_model->reset(cbMostrar->currentIndex());
    // A blind count shows the system's quantity only in the conference.
    ListaLinhas->setColumnHidden(LineModel::Sistema, !m_reconciling);
    ListaLinhas->setColumnHidden(LineModel::Diferenca, !m_reconciling);
    ListaLinhas->resizeColumnsToContents();
    for (int c = 0; c < LineModel::ColumnCount; ++c)
        ListaLinhas->setColumnWidth(c, std::min(ListaLinhas->columnWidth(c), c == LineModel::Produto ? 220 : 140));
}

void StocktakePanel::setReadOnly(bool readOnly)
{
    for (QWidget *w : std::initializer_list<QWidget *>{cbLocal, edLote, edQuantidade, btnMotivo, btnZerar,
                                                       btnAprovar, btnPostar})
        w->setEnabled(!readOnly);
    btnConferir->setEnabled(!readOnly && m_count.blind);
}

void StocktakePanel::refreshLine(int linha)
{
    const std::optional<stocktake::Line> fresh = stocktake::ReadLine(m_central, m_count.numero, linha);
    if (!fresh)
        return;
    int at = -1;
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].linha == linha)
            at = int(i);
    if (at < 0) {
        m_lines.push_back(*fresh);
        at = int(m_lines.size()) - 1;
    } else {
        m_lines[size_t(at)] = *fresh;
    }
    const int row = m_model->changed(at);
    if (row >= 0) {
        ListaLinhas->selectRow(row);
        ListaLinhas->scrollTo(m_model->index(row, 0));
    }
}

void StocktakePanel::enterLine()
{
    if (m_count.posted() || edLote->text().trimmed().isEmpty()) {
        edLote->setFocus();
        return;
    }
    stocktake::Qty quantity = 0;
    try {
        quantity = stocktake::ParseCounted(edQuantidade->text());
    } catch (const data::FieldInputError &e) {
        m_op.warn(e.message());
        edQuantidade->setFocus();
        edQuantidade->selectAll();
        return;
    }
    const QString location = cbLocal->currentText();
    const std::vector<stocktake::Found> found =
        stocktake::FindLot(m_central, m_lines, location, edLote->text(), m_run.StoreLaboratories);
    if (found.empty()) {
        m_op.warn(QStringLiteral("O lote \"%1\" não foi encontrado em nenhum local desta loja.")
                      .arg(edLote->text().simplified()));
        edLote->setFocus();
        edLote->selectAll();
        return;
    }
    size_t chosen = 0;
    if (found.size() > 1) {
        QDialog pick(this);
        pick.setObjectName(QStringLiteral("EscolhaLote"));
        pick.setWindowTitle(QStringLiteral("Qual produto?"));
        auto *list = new QListWidget(&pick);
        list->setObjectName(QStringLiteral("ListaEscolha"));
        for (const stocktake::Found &f : found)
            list->addItem(f.descricao + QStringLiteral(" - ") + f.fornecedor + QStringLiteral(" (") + f.unidade
                          + QLatin1Char(')'));
        list->setCurrentRow(0);
        auto *layout = new QVBoxLayout(&pick);
        layout->addWidget(new QLabel(QStringLiteral("O lote \"%1\" é de mais de um produto ou fornecedor:")
                                         .arg(edLote->text().simplified()),
                                     &pick));
        layout->addWidget(list);
        connect(list, &QListWidget::itemActivated, &pick, &QDialog::accept);
        if (runDialog(pick) != QDialog::Accepted || list->currentRow() < 0)
            return;
        chosen = size_t(list->currentRow());
    }
    stocktake::Entry e{m_count.numero, location, found[chosen], quantity, stocktake::EntryMode::First,
                       m_run.UserName, station(), m_clock.now()};
    stocktake::EntryResult r = stocktake::EnterCount(m_central, e);
    const QString unit = found[chosen].unidade;
    if (r.step == stocktake::EntryStep::AlreadyCounted) {
        const platform::Answer a = m_op.ask(
            QStringLiteral("O lote %1 de %2 já foi contado em %3: %4 %5.\r\rSomar %6 %5 ao que foi contado? (Não: "
                           "substituir por %6 %5)")
                .arg(found[chosen].lote, found[chosen].descricao, location, qty(*r.before), unit, qty(quantity)));
        e.mode = a == platform::Answer::Yes ? stocktake::EntryMode::Add : stocktake::EntryMode::Replace;
        e.at = m_clock.now();
        r = stocktake::EnterCount(m_central, e);
    }
    switch (r.step) {
    case stocktake::EntryStep::Stored:
        break;
    case stocktake::EntryStep::Posted:
        m_op.warn(QStringLiteral("O inventário nº %1 já foi postado: nada foi gravado.").arg(m_count.numero));
        openCount(m_count.numero);
        return;
    default:
        m_op.warn(QStringLiteral("O inventário nº %1 não existe mais: nada foi gravado.").arg(m_count.numero));
        return;
    }
    refreshLine(r.linha);
    lblUnidade->setText(unit);
    lblUltima->setText(QStringLiteral("Gravado: lote %1 de %2 em %3 = %4 %5%6")
                           .arg(found[chosen].lote, found[chosen].descricao, location, qty(r.counted), unit,
                                r.newLine ? QStringLiteral(" (novo: não estava na foto)") : QString()));
    edLote->clear();
    edQuantidade->clear();
    edLote->setFocus();
}

std::vector<int> StocktakePanel::chosenLines() const
{
    std::vector<int> out;
    for (const QModelIndex &i : ListaLinhas->selectionModel()->selectedRows()) {
        const int at = m_model->lineAt(i.row());
        if (at >= 0)
            out.push_back(m_lines[size_t(at)].linha);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void StocktakePanel::btnConferirClick()
{
    if (btnConferir->isChecked() && m_count.blind
        && m_op.ask(QStringLiteral("A conferência mostra a quantidade do sistema e as diferenças. Mostrar agora?"))
               != platform::Answer::Yes) {
        btnConferir->setChecked(false);
        return;
    }
    m_reconciling = btnConferir->isChecked() || m_count.posted();
    showLines();
}

void StocktakePanel::btnMotivoClick()
{
    const std::vector<int> chosen = chosenLines();
    if (chosen.empty()) {
        m_op.inform(QStringLiteral("Escolha na lista os lotes aos quais dar o motivo."));
        ListaLinhas->setFocus();
        return;
    }
    ReasonDialog dialog(this);
    if (runDialog(dialog) != QDialog::Accepted)
        return;
    const QString text = dialog.edTexto->text().simplified();
    if (dialog.cbMotivo->currentText() == QLatin1String("Outro") && text.isEmpty()) {
        m_op.warn(QStringLiteral("O motivo \"Outro\" pede o texto que o explique."));
        return;
    }
    if (!stocktake::SetReason(m_central, m_count.numero, chosen, dialog.cbMotivo->currentText(), text)) {
        m_op.warn(QStringLiteral("O inventário nº %1 já foi postado: nada foi gravado.").arg(m_count.numero));
        openCount(m_count.numero);
        return;
    }
    for (int l : chosen)
        refreshLine(l);
    ListaLinhas->setFocus();
}

void StocktakePanel::btnZerarClick()
{
    int open = 0;
    for (const stocktake::Line &l : m_lines)
        open += l.counted ? 0 : 1;
    if (open == 0) {
        m_op.inform(QStringLiteral("Todos os lotes do inventário foram contados."));
        return;
    }
    if (m_op.ask(QStringLiteral("Contar como zero os %1 lote(s) não contados? Cada um com saldo no sistema fica com "
                                "diferença e precisa de motivo.")
                     .arg(open))
        != platform::Answer::Yes)
        return;
    stocktake::ZeroNotCounted(m_central, m_count.numero, m_run.UserName, station(), m_clock.now());
    openCount(m_count.numero);
}

void StocktakePanel::btnAprovarClick()
{
    int waiting = 0;
    for (const stocktake::Line &l : m_lines)
        waiting += l.hasDifference() && l.controlled() && l.aprovadoPor.isEmpty() ? 1 : 0;
    if (waiting == 0) {
        m_op.inform(stocktake::kApprovalNothingMessage);
        return;
    }
    ApprovalDialog dialog(QStringLiteral("%1 diferença(s) de produto controlado esperam a aprovação de um segundo "
                                         "usuário (não %2).")
                              .arg(waiting)
                              .arg(m_run.UserName),
                          this);
    if (runDialog(dialog) != QDialog::Accepted)
        return;
    const stocktake::ApprovalResult r = stocktake::ApproveControlled(
        m_central, m_count.numero, dialog.edUsuario->text(), dialog.edSenha->text(), m_run.UserName, m_clock.now());
    (r.approved ? m_op.inform(r.message) : m_op.warn(r.message));
    m_lines = stocktake::ReadLines(m_central, m_count.numero);
    showLines();
}

void StocktakePanel::btnPostarClick()
{
    core::ActivityLog *log = m_run.siteConfig.logOn() ? &m_log : nullptr;
    stocktake::PostResult r = stocktake::PostCount(m_central, m_count.numero, stocktake::NotCountedChoice::Ask,
                                                   m_run.UserName, m_clock.now(), log);
    if (r.step == stocktake::PostStep::NotCountedLeft) {
        if (m_op.ask(r.message) != platform::Answer::Yes)
            return;
        r = stocktake::PostCount(m_central, m_count.numero, stocktake::NotCountedChoice::Keep, m_run.UserName,
                                 m_clock.now(), log);
    }
    if (r.step != stocktake::PostStep::Posted) {
        m_op.warn(r.message);
        if (r.step == stocktake::PostStep::AlreadyPosted)
            openCount(m_count.numero);
        return;
    }
    m_op.inform(r.message);
    openCount(m_count.numero);
    Q_EMIT posted();
}

void StocktakePanel::print(const QString &report, std::unique_ptr<reports_engine::DataConnection> rows,
                           const QString &connection, const stocktake::Report *built)
{
    stocktake::Report plain;
    if (!built) {
        plain.count = m_count;
        built = &plain;
    }
    m_engine->addConnection(stocktake::kHeaderConnection,
                            stocktake::HeaderConnection(*built, stocktake::ReadPharmacy(m_central, m_run.StoreCnpj),
                                                        m_run.UserName));
    m_engine->addConnection(connection, std::move(rows));
    try {
        m_engine->execute(stocktake::kProject, report);
    } catch (const reports_engine::ReportError &e) {
        m_op.warn(e.operatorText());
    }
}

void StocktakePanel::btnFolhasClick()
{
    print(m_count.blind ? QStringLiteral("FolhasCegas") : stocktake::kSheetsReport,
          stocktake::SheetsConnection(m_count, m_lines), stocktake::kSheetsConnection);
}

void StocktakePanel::btnFolhasCsvClick()
{
    stocktake::WriteCsv(m_paths, stocktake::SheetCsvPath(m_count.numero), stocktake::SheetCsvLines(m_count, m_lines),
                        m_op);
}

void StocktakePanel::btnRelatorioClick()
{
    const stocktake::Report rep = stocktake::BuildReport(m_count, m_lines, stocktake::ReadProducts(m_central));
    print(stocktake::kReport, stocktake::ReportConnection(rep), stocktake::kReportConnection, &rep);
}

void StocktakePanel::btnRelatorioCsvClick()
{
    const stocktake::Report rep = stocktake::BuildReport(m_count, m_lines, stocktake::ReadProducts(m_central));
    stocktake::WriteCsv(m_paths, stocktake::ReportCsvPath(m_count.numero), stocktake::ReportCsvLines(rep), m_op);
}

void StocktakePanel::btnVoltarClick()
{
    Paginas->setCurrentIndex(0);
    fillCounts();
}

void StocktakePanel::btnSairClick()
{
    hide();
    Q_EMIT closed();
}

bool StocktakePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter && watched == edLote) {
            if (!edLote->text().trimmed().isEmpty()) {
                // The unit the quantity is typed in, when the count's list already holds the lot here.
                const QString wanted = common::FoldText(edLote->text().trimmed());
                const QString place = platform::asciiUpper(cbLocal->currentText().trimmed());
                lblUnidade->clear();
                for (const stocktake::Line &l : m_lines)
                    if (common::FoldText(l.lote) == wanted && platform::asciiUpper(l.laboratorio.trimmed()) == place) {
                        lblUnidade->setText(l.unidade);
                        break;
                    }
                edQuantidade->setFocus();
                edQuantidade->selectAll();
            }
            return true;
        }
        if (enter && watched == edQuantidade) {
            enterLine();
            return true;
        }
        if (enter && watched == ListaInventarios) {
            btnAbrirClick();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void StocktakePanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (Paginas->currentIndex() == 1)
            btnVoltarClick();
        else
            btnSairClick();
        event->accept();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace stocktake_ui
