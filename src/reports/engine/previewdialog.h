// The report's windows: the status window while pages are made or printed ("Status do
// Relatório"), the modal preview ("Visualização do Relatório") and the save options
// ("Opções de Saída").
#pragma once
#include "engine.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QFileDialog;
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

// The file is typed as Windows names it (C:\FORMULIX\listagem.pdf) and found through drives.conf;
// a name without a folder goes to the save folder.
class OutputOptionsDialog : public QDialog {
    Q_OBJECT
public:
    OutputOptionsDialog(const std::vector<FileRenderer> &renderers, QWidget *parent = nullptr,
                        const platform::WinPaths *paths = nullptr, const QString &saveFolder = {});
    QComboBox *formatBox;
    QLineEdit *fileEdit;
    const FileRenderer *chosen() const;
    // The name typed, with the format's extension when it has none, in the save folder when it
    // names no folder.
    QString fileName() const;
    // Where fileName() is on this machine; empty when no drive mapping reaches it.
    QString localPath() const;

private:
    void browse();
    void formatChanged();
    const std::vector<FileRenderer> &m_renderers;
    const platform::WinPaths *m_paths;
    QString m_saveFolder;
};

class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    // With paths, a file the preview cannot write is named as Windows names it (C:\FORMULIX\...).
    // saveFolder: where a file named without a folder is saved (the program's folder, as Windows
    // names it).
    PreviewDialog(const PageModel &model, const std::vector<FileRenderer> &renderers, platform::Operator *op,
                  QWidget *parent = nullptr, const platform::WinPaths *paths = nullptr, const QString &saveFolder = {});
    ~PreviewDialog() override;

    QPrintPreviewWidget *preview;
    QLabel *pageLabel;
    QLabel *savedLabel;   // where the last file went
    int pageCount() const;    // of the whole report
    int currentPage() const;  // 1-based, in the whole report
    // Shows a page of the whole report (1-based).
    void goToPage(int page);

    // The preview holds this many pages at a time, so a long report shows its first page at once.
    static constexpr int kPagesAtATime = 10;

    void print();
    void save();
    // Writes the report without asking (what save() does after the options dialog). windowsName:
    // the file as the operator named it, for the messages; by default found from localPath.
    bool saveAs(FileFormat format, const QString &localPath, const QString &windowsName = {});

private:
    void updatePageLabel();
    // Page Down / Page Up: the rest of the page first, then the next (previous) page.
    void pageStep(int direction);

    const PageModel &m_model;
    const std::vector<FileRenderer> &m_renderers;
    platform::Operator *m_op;
    const platform::WinPaths *m_paths;
    std::unique_ptr<QPrinter> m_printer;
    QString m_saveFolder;
    int m_first = 0;   // pages before the ones the preview holds
};

// The file dialog's own texts in Brazilian Portuguese where Qt's translations leave English: a
// folder's type ("Pasta", not "Folder") and the dates in the pt-BR format (not "11 Dec 2026");
// the file name box named for screen readers. For a dialog that is not the platform's own.
void UseBrazilianTexts(QFileDialog &dialog);

std::unique_ptr<RunView> MakePreviewView(platform::Operator *op, const platform::WinPaths *paths = nullptr,
                                         const QString &saveFolder = {});

} // namespace reports_engine
