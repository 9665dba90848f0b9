#include "previewdialog.h"

#include "platform/operator.h"
#include "platform/winpath.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace reports_engine {

StatusWindow::StatusWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("StatusWindow"));
    setWindowTitle(kStatusTitle);
    label = new QLabel(this);
    label->setMinimumWidth(260);
    label->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
}

void StatusWindow::showStatus(const QString &pattern, int page)
{
    QString text = pattern;
    label->setText(text.replace(QStringLiteral("%p"), QString::number(page)));
    if (!isVisible())
        show();
    label->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

OutputOptionsDialog::OutputOptionsDialog(const std::vector<FileRenderer> &renderers, QWidget *parent)
    : QDialog(parent), m_renderers(renderers)
{
    setObjectName(QStringLiteral("OutputOptionsDialog"));
    setWindowTitle(kOptionsTitle);
    formatBox = new QComboBox(this);
    for (const FileRenderer &r : renderers)
        formatBox->addItem(r.description);
    fileEdit = new QLineEdit(this);
    auto *browseButton = new QPushButton(QStringLiteral("..."), this);
    browseButton->setAutoDefault(false);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    auto *file = new QHBoxLayout;
    file->addWidget(fileEdit, 1);
    file->addWidget(browseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Formato:"), this));
    layout->addWidget(formatBox);
    layout->addWidget(new QLabel(QStringLiteral("Arquivo:"), this));
    layout->addLayout(file);
    layout->addWidget(buttons);
    connect(browseButton, &QPushButton::clicked, this, &OutputOptionsDialog::browse);
    connect(formatBox, &QComboBox::currentIndexChanged, this, &OutputOptionsDialog::formatChanged);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!fileName().isEmpty() && chosen())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(420, sizeHint().height());
}

const FileRenderer *OutputOptionsDialog::chosen() const
{
    const int i = formatBox->currentIndex();
    return i >= 0 && i < int(m_renderers.size()) ? &m_renderers[size_t(i)] : nullptr;
}

QString OutputOptionsDialog::fileName() const
{
    QString name = fileEdit->text().trimmed();
    const FileRenderer *r = chosen();
    if (!name.isEmpty() && r && QFileInfo(name).suffix().isEmpty())
        name += r->pattern.mid(1);
    return name;
}

void OutputOptionsDialog::browse()
{
    const FileRenderer *r = chosen();
    if (!r)
        return;
    const QString name = QFileDialog::getSaveFileName(this, kOptionsTitle, fileEdit->text(), FileFilter(*r));
    if (!name.isEmpty())
        fileEdit->setText(name);
}

void OutputOptionsDialog::formatChanged()
{
    const FileRenderer *r = chosen();
    const QString name = fileEdit->text().trimmed();
    if (r && !name.isEmpty()) {
        const QFileInfo info(name);
        fileEdit->setText(info.path() == QLatin1String(".") && !name.contains(QLatin1Char('/'))
                              ? info.completeBaseName() + r->pattern.mid(1)
                              : info.path() + QLatin1Char('/') + info.completeBaseName() + r->pattern.mid(1));
    }
}

PreviewDialog::PreviewDialog(const PageModel &model, const std::vector<FileRenderer> &renderers, platform::Operator *op,
                             QWidget *parent, const platform::WinPaths *paths)
    : QDialog(parent),
      m_model(model),
      m_renderers(renderers),
      m_op(op),
      m_paths(paths),
      m_printer(std::make_unique<QPrinter>())
{
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowTitle(kPreviewTitle);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    SetUpPrinter(*m_printer, model);

    preview = new QPrintPreviewWidget(m_printer.get(), this);
    preview->setObjectName(QStringLiteral("preview"));
    connect(preview, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter *printer) {
                PrintPages(*printer, m_model, m_first + 1, std::min<int>(m_first + kPagesAtATime, m_model.pageCount()));
            });

    auto *printButton = new QPushButton(QStringLiteral("&Imprimir"), this);
    printButton->setObjectName(QStringLiteral("printButton"));
    auto *saveButton = new QPushButton(QStringLiteral("&Salvar"), this);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    saveButton->setEnabled(!renderers.empty());
    auto *firstButton = new QPushButton(QStringLiteral("|<"), this);
    auto *priorButton = new QPushButton(QStringLiteral("<"), this);
    auto *nextButton = new QPushButton(QStringLiteral(">"), this);
    auto *lastButton = new QPushButton(QStringLiteral(">|"), this);
    auto *zoomOut = new QPushButton(QStringLiteral("-"), this);
    auto *zoom100 = new QPushButton(QStringLiteral("100 %"), this);
    auto *zoomIn = new QPushButton(QStringLiteral("+"), this);
    auto *fitButton = new QPushButton(QStringLiteral("Página inteira"), this);
    auto *closeButton = new QPushButton(QStringLiteral("&Fechar"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    pageLabel = new QLabel(this);
    for (QPushButton *b : {printButton, saveButton, firstButton, priorButton, nextButton, lastButton, zoomOut, zoom100, zoomIn,
                           fitButton, closeButton})
        b->setAutoDefault(false);
    // The arrows and the zoom signs as narrow as their text, so the bar, "Fechar" with it, fits a
    // 1024-pixel screen; each says what it does to a screen reader.
    for (const auto &[b, name] : {std::pair{firstButton, "Primeira página"}, {priorButton, "Página anterior"},
                                  {nextButton, "Próxima página"}, {lastButton, "Última página"},
                                  {zoomOut, "Diminuir"}, {zoomIn, "Aumentar"}}) {
        b->setMaximumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 24);
        b->setAccessibleName(QString::fromUtf8(name));
        b->setToolTip(b->accessibleName());
    }

    auto *bar = new QHBoxLayout;
    bar->addWidget(printButton);
    bar->addWidget(saveButton);
    bar->addSpacing(16);
    bar->addWidget(firstButton);
    bar->addWidget(priorButton);
    bar->addWidget(pageLabel);
    bar->addWidget(nextButton);
    bar->addWidget(lastButton);
    bar->addSpacing(16);
    bar->addWidget(zoomOut);
    bar->addWidget(zoom100);
    bar->addWidget(zoomIn);
    bar->addWidget(fitButton);
    bar->addStretch(1);
    bar->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(preview, 1);

    connect(printButton, &QPushButton::clicked, this, &PreviewDialog::print);
    connect(saveButton, &QPushButton::clicked, this, &PreviewDialog::save);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(firstButton, &QPushButton::clicked, this, [this] { goToPage(1); });
    connect(priorButton, &QPushButton::clicked, this, [this] { goToPage(currentPage() - 1); });
    connect(nextButton, &QPushButton::clicked, this, [this] { goToPage(currentPage() + 1); });
    connect(lastButton, &QPushButton::clicked, this, [this] { goToPage(pageCount()); });
    connect(zoomIn, &QPushButton::clicked, this, [this] { preview->zoomIn(); });
    connect(zoomOut, &QPushButton::clicked, this, [this] { preview->zoomOut(); });
    connect(zoom100, &QPushButton::clicked, this, [this] {
        preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
        preview->setZoomFactor(1.0);
    });
    connect(fitButton, &QPushButton::clicked, this, [this] { preview->fitInView(); });
    connect(preview, &QPrintPreviewWidget::previewChanged, this, &PreviewDialog::updatePageLabel);

    preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
    preview->setZoomFactor(1.0);
    // Maximised; the whole screen as well, for desktops whose window manager ignores the state.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    setWindowState(windowState() | Qt::WindowMaximized);
}

PreviewDialog::~PreviewDialog() = default;

int PreviewDialog::pageCount() const
{
    return m_model.pageCount();
}

int PreviewDialog::currentPage() const
{
    return m_first + std::max(1, preview->currentPage());
}

void PreviewDialog::goToPage(int page)
{
    page = std::clamp(page, 1, std::max(1, pageCount()));
    const int first = (page - 1) / kPagesAtATime * kPagesAtATime;
    if (first != m_first) {
        m_first = first;
        preview->updatePreview();
    }
    preview->setCurrentPage(page - m_first);
    updatePageLabel();
}

void PreviewDialog::updatePageLabel()
{
    pageLabel->setText(QStringLiteral("Página %1 de %2").arg(currentPage()).arg(pageCount()));
}

void PreviewDialog::print()
{
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, m_model);
    printer.setFromTo(1, m_model.pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    StatusWindow status(this);
    const bool range = printer.printRange() == QPrinter::PageRange;
    PrintPages(printer, m_model, range ? printer.fromPage() : 0, range ? printer.toPage() : 0,
               [&status](int page) { status.showStatus(QStringLiteral("Printing page %p"), page); });
}

void PreviewDialog::save()
{
    OutputOptionsDialog options(m_renderers, this);
    if (options.exec() != QDialog::Accepted || !options.chosen())
        return;
    saveAs(options.chosen()->format, options.fileName());
}

bool PreviewDialog::saveAs(FileFormat format, const QString &localPath)
{
    QString error;
    bool written;
    {
        StatusWindow status(this);
        written = WriteFile(m_model, format, localPath, &error, [&status](int page) {
            // Every page would cost more painting the label than making the page.
            if (page <= 5 || page % 25 == 0)
                status.showStatus(QStringLiteral("Generating page %p"), page);
        });
    }
    if (written)
        return true;
    if (m_op)
        m_op->warn(QStringLiteral("Não foi possível gravar o arquivo ")
                   + (m_paths ? m_paths->windowsFolderOf(QFileInfo(localPath).absolutePath()) + QFileInfo(localPath).fileName()
                              : localPath)
                   + QStringLiteral(": ") + error);
    return false;
}

namespace {

class PreviewView : public RunView {
public:
    PreviewView(platform::Operator *op, const platform::WinPaths *paths) : m_op(op), m_paths(paths) {}
    void present(const PageModel &model, const std::vector<FileRenderer> &renderers) override
    {
        PreviewDialog dialog(model, renderers, m_op, QApplication::activeWindow(), m_paths);
        dialog.exec();
    }

private:
    platform::Operator *m_op;
    const platform::WinPaths *m_paths;
};

} // namespace

std::unique_ptr<RunView> MakePreviewView(platform::Operator *op, const platform::WinPaths *paths)
{
    return std::make_unique<PreviewView>(op, paths);
}

} // namespace reports_engine
