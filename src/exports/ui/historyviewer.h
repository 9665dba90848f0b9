// PainelLOG: the month's activity log shown inside the main window, read-only.
#pragma once
#include "exports/historylog.h"

#include <QAbstractTableModel>
#include <QTableView>
#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace core {
struct SiteConfig;
}
namespace db {
class Connection;
}
namespace platform {
class Operator;
class WinPaths;
}

namespace exports_ui {

// The lines of an indexed file as a one-column model; a line is decoded only when a view asks.
class LogLinesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LogLinesModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}
    void setFile(const exports::LineIndexedFile *file);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    const exports::LineIndexedFile *m_file = nullptr;
};

// The text view of the log: fixed-pitch, one row per line, lines copied with Ctrl+C. It asks the
// model only for the rows on screen, and is a table to assistive technology, so a screen reader
// reads it line by line.
class LogTextView : public QTableView {
    Q_OBJECT
public:
    explicit LogTextView(QWidget *parent = nullptr);
    void fitToLongestLine(int bytes);
    QString selectedText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

class HistoryViewer : public QWidget {
    Q_OBJECT
public:
    // The path is built from config.ServerAddress whether or not the log is switched on.
    HistoryViewer(platform::Operator &op, const platform::WinPaths &paths, const core::SiteConfig &config,
                  QWidget *parent = nullptr);
    ~HistoryViewer() override;

    // The main window's top panel, hidden while the viewer is open.
    void setTopPanel(QWidget *pnl2) { m_pnl2 = pnl2; }
    // Where each day's last hash of the log is kept; none: the check says it could not see them.
    void setCentralDatabase(db::Connection *central) { m_central = central; }

    QFrame *Panel2;
    QLabel *Label7;
    QPushButton *BitBtn9;
    QPushButton *btnVerificarIntegridade;   // shown with a month's log
    QFrame *PainelSelecioneMes;
    QLabel *Label8;
    QLabel *Label9;
    QLabel *Label10;
    QLabel *Label11;
    QLineEdit *EditMes;
    QLineEdit *EditAno;
    QPushButton *BitBtn10;
    LogTextView *Memo1;

    const exports::LineIndexedFile &file() const { return m_file; }

public Q_SLOTS:
    // The reports panel's "Histórico de atividades" button.
    void BitBtn2Click();
    void BitBtn9Click();
    void BitBtn10Click();
    // Checks the shown log against its chain and the central database, and says what it found;
    // the first line found changed becomes the current one.
    void btnVerificarIntegridadeClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillParent();

    platform::Operator &m_op;
    const platform::WinPaths &m_paths;
    const core::SiteConfig &m_config;
    QWidget *m_pnl2 = nullptr;
    db::Connection *m_central = nullptr;
    QString m_shownPath;   // the Windows path of the log shown
    exports::LineIndexedFile m_file;
    LogLinesModel *m_model;
};

} // namespace exports_ui
