#include "previewdialog.h"

#include "platform/operator.h"
#include "platform/systemerror.h"
#include "platform/winpath.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QGraphicsItem>
#include <QGraphicsView>
#include <QScrollBar>
#include <QShortcut>
#include <QDir>
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

namespace {

bool isSeparator(QChar c) { return c == QLatin1Char('\\') || c == QLatin1Char('/'); }

// Where the extension of a file name starts (at its dot); -1 when it has none.
qsizetype suffixStart(const QString &name)
{
    for (qsizetype i = name.size() - 1; i > 0; --i) {
        if (isSeparator(name.at(i)))
            return -1;
        if (name.at(i) == QLatin1Char('.'))
            return isSeparator(name.at(i - 1)) ? -1 : i;
    }
    return -1;
}

// A name with a folder: from a drive, a share, the root or with a separator anywhere.
bool namesAFolder(const QString &name)
{
    return (name.size() >= 2 && name.at(1) == QLatin1Char(':')) || std::any_of(name.begin(), name.end(), isSeparator);
}

} // namespace

namespace {

class BrazilianFileTexts : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        auto *files = qobject_cast<QFileSystemModel *>(sourceModel());
        if (role == Qt::DisplayRole && files && (index.column() == 2 || index.column() == 3)) {
            const QModelIndex source = mapToSource(index);
            if (index.column() == 3)
                return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
            if (files->isDir(source))
                return QStringLiteral("Pasta");
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

void UseBrazilianTexts(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new BrazilianFileTexts(&dialog));
    if (auto *nameBox = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        nameBox->setAccessibleName(QStringLiteral("Nome do arquivo"));
}

OutputOptionsDialog::OutputOptionsDialog(const std::vector<FileRenderer> &renderers, QWidget *parent,
                                         const platform::WinPaths *paths, const QString &saveFolder)
    : QDialog(parent), m_renderers(renderers), m_paths(paths), m_saveFolder(saveFolder)
{
    setObjectName(QStringLiteral("OutputOptionsDialog"));
    setWindowTitle(kOptionsTitle);
    formatBox = new QComboBox(this);
    formatBox->setAccessibleName(QStringLiteral("Formato"));
    for (const FileRenderer &r : renderers)
        formatBox->addItem(r.description);
    fileEdit = new QLineEdit(this);
    fileEdit->setAccessibleName(QStringLiteral("Arquivo"));
    auto *browseButton = new QPushButton(QStringLiteral("..."), this);
    browseButton->setAutoDefault(false);
    browseButton->setAccessibleName(QStringLiteral("Procurar pasta"));
    browseButton->setToolTip(browseButton->accessibleName());
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    auto *file = new QHBoxLayout;
    file->addWidget(fileEdit, 1);
    file->addWidget(browseButton);
    auto *formatLabel = new QLabel(QStringLiteral("&Formato:"), this);
    formatLabel->setBuddy(formatBox);
    auto *fileLabel = new QLabel(QStringLiteral("&Arquivo:"), this);
    fileLabel->setBuddy(fileEdit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(formatLabel);
    layout->addWidget(formatBox);
    layout->addWidget(fileLabel);
    layout->addLayout(file);
    layout->addWidget(buttons);
    connect(browseButton, &QPushButton::clicked, this, &OutputOptionsDialog::browse);
    connect(formatBox, &QComboBox::currentIndexChanged, this, &OutputOptionsDialog::formatChanged);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!fileEdit->text().trimmed().isEmpty() && chosen())
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
    if (name.isEmpty())
        return name;
    const FileRenderer *r = chosen();
    if (r && suffixStart(name) < 0)
        name += r->pattern.mid(1);
    if (!namesAFolder(name) && !m_saveFolder.isEmpty())
        name = m_saveFolder + name;
    return name;
}

QString OutputOptionsDialog::localPath() const
{
    const QString name = fileName();
    return m_paths && !name.isEmpty() ? m_paths->toLocal(name) : name;
}

void OutputOptionsDialog::browse()
{
    const FileRenderer *r = chosen();
    if (!r)
        return;
    QFileDialog dialog(this, kOptionsTitle);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(FileFilter(*r));
    const QString local = localPath();
    if (!local.isEmpty()) {
        const QFileInfo info(local);
        if (info.dir().exists())
            dialog.setDirectory(info.dir());
        dialog.selectFile(info.fileName());
    }
    UseBrazilianTexts(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QFileInfo chosenFile(dialog.selectedFiles().constFirst());
    // Shown as Windows names it, as the operator would have typed it.
    fileEdit->setText(m_paths ? m_paths->windowsFolderOf(chosenFile.absolutePath()) + chosenFile.fileName()
                              : chosenFile.absoluteFilePath());
}

void OutputOptionsDialog::formatChanged()
{
    const FileRenderer *r = chosen();
    const QString name = fileEdit->text().trimmed();
    if (r && !name.isEmpty()) {
        const qsizetype dot = suffixStart(name);
        fileEdit->setText((dot < 0 ? name : name.left(dot)) + r->pattern.mid(1));
    }
}

PreviewDialog::PreviewDialog(const PageModel &model, const std::vector<FileRenderer> &renderers, platform::Operator *op,
                             QWidget *parent, const platform::WinPaths *paths, const QString &saveFolder)
    : QDialog(parent),
      m_model(model),
      m_renderers(renderers),
      m_op(op),
      m_paths(paths),
      m_printer(std::make_unique<QPrinter>()),
      m_saveFolder(saveFolder)
{
    setObjectName(QStringLiteral("PreviewDialog"));
    // A bare file name goes where Windows would put it: the program's working folder.
    if (m_saveFolder.isEmpty() && m_paths)
        m_saveFolder = m_paths->windowsFolderOf(QDir::currentPath());
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
    savedLabel = new QLabel(this);
    savedLabel->setObjectName(QStringLiteral("savedLabel"));
    savedLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
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
    bar->addWidget(savedLabel);
    bar->addSpacing(8);
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

    // The pages from the keyboard, wherever the focus is in the preview.
    const auto key = [this](QKeySequence keys, std::function<void()> action) {
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, std::move(action));
    };
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Home), QKeySequence(Qt::CTRL | Qt::Key_Home)})
        key(keys, [this] { goToPage(1); });
    for (const QKeySequence &keys : {QKeySequence(Qt::Key_End), QKeySequence(Qt::CTRL | Qt::Key_End)})
        key(keys, [this] { goToPage(pageCount()); });
    key(QKeySequence(Qt::Key_PageDown), [this] { pageStep(1); });
    key(QKeySequence(Qt::Key_PageUp), [this] { pageStep(-1); });
    firstButton->setToolTip(firstButton->accessibleName() + QStringLiteral(" (Home)"));
    lastButton->setToolTip(lastButton->accessibleName() + QStringLiteral(" (End)"));
    priorButton->setToolTip(priorButton->accessibleName() + QStringLiteral(" (Page Up)"));
    nextButton->setToolTip(nextButton->accessibleName() + QStringLiteral(" (Page Down)"));

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

void PreviewDialog::pageStep(int direction)
{
    auto *view = preview->findChild<QGraphicsView *>();
    QScrollBar *bar = view ? view->verticalScrollBar() : nullptr;
    const int page = currentPage();
    // The pages the preview holds, top to bottom.
    const auto pageItems = [view] {
        QList<QGraphicsItem *> pages;
        if (view && view->scene()) {
            for (QGraphicsItem *item : view->scene()->items())
                if (!item->parentItem())
                    pages << item;
            std::sort(pages.begin(), pages.end(), [](QGraphicsItem *a, QGraphicsItem *b) {
                return a->sceneBoundingRect().top() < b->sceneBoundingRect().top();
            });
        }
        return pages;
    };
    const QList<QGraphicsItem *> pages = pageItems();
    const int index = page - m_first - 1;
    if (!bar || index < 0 || index >= pages.size()) {
        goToPage(page + direction);
        return;
    }
    const QRect shown = view->mapFromScene(pages[index]->sceneBoundingRect()).boundingRect();
    const int height = view->viewport()->height();
    const int rest = direction > 0 ? shown.bottom() - height : -shown.top();   // pixels of the page out of sight
    if (rest > 1) {
        bar->setValue(bar->value() + direction * std::min(rest, bar->pageStep()));
        return;
    }
    const int target = page + direction;
    if (target < 1 || target > pageCount())
        return;
    goToPage(target);
    // Down: the new page from its top; up: from its bottom, so the next Page Up goes on upwards.
    const int newIndex = target - m_first - 1;
    const QList<QGraphicsItem *> now = pageItems();
    if (newIndex >= 0 && newIndex < now.size()) {
        const QRect r = view->mapFromScene(now[newIndex]->sceneBoundingRect()).boundingRect();
        bar->setValue(bar->value() + (direction > 0 ? r.top() : r.bottom() - height));
    }
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
    OutputOptionsDialog options(m_renderers, this, m_paths, m_saveFolder);
    if (!m_renderers.empty())
        options.fileEdit->setText(m_saveFolder + DocumentName(m_model) + m_renderers.front().pattern.mid(1));
    options.fileEdit->selectAll();
    if (options.exec() != QDialog::Accepted || !options.chosen())
        return;
    const QString local = options.localPath();
    if (local.isEmpty()) {
        // A drive or share drives.conf does not map: nothing is written under a made-up name.
        if (m_op)
            m_op->warn(QStringLiteral("Não foi possível gravar o arquivo ") + options.fileName() + QStringLiteral(": ")
                       + platform::systemErrorText(QStringLiteral("No such file or directory")));
        return;
    }
    saveAs(options.chosen()->format, local, options.fileName());
}

bool PreviewDialog::saveAs(FileFormat format, const QString &localPath, const QString &windowsName)
{
    // Where the file is, as Windows names it.
    const QFileInfo file(localPath);
    const QString where = m_paths ? m_paths->windowsFolderOf(file.absolutePath()) + file.fileName() : localPath;
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
    if (written) {
        savedLabel->setText(QStringLiteral("Arquivo gravado em ") + where);
        return true;
    }
    savedLabel->clear();
    if (m_op)
        m_op->warn(QStringLiteral("Não foi possível gravar o arquivo ") + (windowsName.isEmpty() ? where : windowsName)
                   + QStringLiteral(": ") + error);
    return false;
}

namespace {

class PreviewView : public RunView {
public:
    PreviewView(platform::Operator *op, const platform::WinPaths *paths, const QString &saveFolder)
        : m_op(op), m_paths(paths), m_saveFolder(saveFolder)
    {
    }
    void present(const PageModel &model, const std::vector<FileRenderer> &renderers) override
    {
        PreviewDialog dialog(model, renderers, m_op, QApplication::activeWindow(), m_paths, m_saveFolder);
        dialog.exec();
    }

private:
    platform::Operator *m_op;
    const platform::WinPaths *m_paths;
    QString m_saveFolder;
};

} // namespace

std::unique_ptr<RunView> MakePreviewView(platform::Operator *op, const platform::WinPaths *paths, const QString &saveFolder)
{
    return std::make_unique<PreviewView>(op, paths, saveFolder);
}

} // namespace reports_engine
