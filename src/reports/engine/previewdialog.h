// The report's windows: the status window while pages are made or printed ("Status do
// Relatório"), the modal preview ("Visualização do Relatório") and the save options
// ("Opções de Saída").
#pragma once
#include "engine.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPrintPreviewWidget;
class QPrinter;

namespace platform {
class Operator;
class WinPaths;
}

namespace reports_engine {

inline const QString kStatusTitle = QStringLiteral("Status do Relatório");
inline const QString kPreviewTitle = QStringLiteral("Visualização do Relatório");
inline const QString kOptionsTitle = QStringLiteral("Opções de Saída");

// "Generating page %p", "Printing page %p".
class StatusWindow : public QDialog {
    Q_OBJECT
public:
    explicit StatusWindow(QWidget *parent = nullptr);
    void showStatus(const QString &pattern, int page);   // %p becomes the page number; repaints at once
    QLabel *label;
};

class OutputOptionsDialog : public QDialog {
    Q_OBJECT
public:
    OutputOptionsDialog(const std::vector<FileRenderer> &renderers, QWidget *parent = nullptr);
    QComboBox *formatBox;
    QLineEdit *fileEdit;
    const FileRenderer *chosen() const;
    QString fileName() const;

private:
    void browse();
    void formatChanged();
    const std::vector<FileRenderer> &m_renderers;
};

class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    // With paths, a file the preview cannot write is named as Windows names it (C:\FORMULIX\...).
    PreviewDialog(const PageModel &model, const std::vector<FileRenderer> &renderers, platform::Operator *op,
                  QWidget *parent = nullptr, const platform::WinPaths *paths = nullptr);
    ~PreviewDialog() override;

    QPrintPreviewWidget *preview;
    QLabel *pageLabel;
    int pageCount() const;    // of the whole report
    int currentPage() const;  // 1-based, in the whole report
    // Shows a page of the whole report (1-based).
    void goToPage(int page);

    // The preview holds this many pages at a time, so a long report shows its first page at once.
    static constexpr int kPagesAtATime = 10;

    void print();
    void save();
    // Writes the report without asking (what save() does after the options dialog).
    bool saveAs(FileFormat format, const QString &localPath);

private:
    void updatePageLabel();

    const PageModel &m_model;
    const std::vector<FileRenderer> &m_renderers;
    platform::Operator *m_op;
    const platform::WinPaths *m_paths;
    std::unique_ptr<QPrinter> m_printer;
    int m_first = 0;   // pages before the ones the preview holds
};

std::unique_ptr<RunView> MakePreviewView(platform::Operator *op, const platform::WinPaths *paths = nullptr);

} // namespace reports_engine
