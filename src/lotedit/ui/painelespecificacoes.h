// The lot edit form's quality-control certificate panel: the lot's certificate found or created,
// its header and the result of each test typed, saved with "Sair", printed by the suite's program.
#pragma once
#include "data/datasource.h"
#include "data/tdm.h"
#include "data/ui/dbcontrols.h"
#include "data/ui/datasetmodel.h"
#include "lotedit/certificate.h"

#include <QFrame>
#include <QList>

class QAction;
class QCalendarWidget;
class QLabel;
class QMenu;
class QPushButton;
class QTableView;

namespace platform {
class Clipboard;
class Clock;
class Operator;
class WinPaths;
}

namespace lotedit_ui {

inline const QString kCertificateTitle = QStringLiteral("Controle de Qualidade - Laudo de Análise");

class PainelEspecificacoes : public QFrame {
    Q_OBJECT
public:
    // lotSource is the form's source over the edited lot row (DS_ESTLOTE); the certificate is the
    // one of that row. Hidden until BitBtn3Click.
    PainelEspecificacoes(data::TDM &dm, data::DataSource &lotSource, platform::Operator &op,
                         const platform::Clock &clock, const platform::WinPaths &paths,
                         platform::Clipboard &clipboard, QWidget *parent = nullptr);
    // The form closed with the panel open: its unsaved edits are dropped with the display rows.
    ~PainelEspecificacoes() override;

    // The form's controls disabled while the panel is shown: DBNavigator1, BitBtn1, BitBtn2, BitBtn3.
    void setFormControls(const QList<QWidget *> &controls) { m_formControls = controls; }
    int certificateNumber() const { return m_number; }

    // Handlers, named as the form names them.
    void BitBtn3Click();            // find or create the certificate, load and show the panel
    void BitBtn7Click();            // save the whole certificate and close the panel
    void BitBtn4Click();            // start the certificate program
    void Calendrio1Click();
    void MonthCalendar1Click(const QDate &date);
    void PainelEspecificacoesClick();
    bool DBMemo2KeyPress(QKeyEvent *event);
    bool DBGrid1KeyPress(QKeyEvent *event);

    data::DataSource DS_Laudo;
    QLabel *Panel2;
    data_ui::DBText *DBText1, *DBText2, *DBText3, *DBText5;
    data_ui::DBEdit *DBEdit3, *DBEdit5, *DBEdit11, *DBEdit14;
    data_ui::DBComboBox *DBComboBox4;
    QTableView *DBGrid1;
    data_ui::DBMemo *DBMemo1, *DBMemo2;
    QPushButton *BitBtn7, *BitBtn4;
    QCalendarWidget *MonthCalendar1;
    QMenu *PopupMenu1;
    QAction *Calendrio1;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void wireHandlers();
    void layOut();
    // The edit in progress stored in its row and the header of that row carried to every row, so
    // moving to another test neither shows nor writes back an older header. False (the operator
    // told why) when a typed value is refused.
    bool storeAndCarryHeader();
    lotedit::CertificateHeader currentHeader() const;
    lotedit::TestResult testAt(int row) const;
    bool hasTest(int row) const;   // false on the header row of a certificate without tests
    std::vector<lotedit::TestResult> testsOf(const std::vector<int> &rows) const;
    void showTestRowsOnly();
    void lockResultWithoutTest();   // no result to type where there is no test
    bool save(const std::vector<lotedit::TestResult> &tests);
    // After a save refused because another workstation changed the certificate: the values the
    // operator left alone show what is stored; what they typed stays for a second save.
    void showStoredValues(const lotedit::CertificateShown &stored);
    // The display rows as plain values, and the changed ones of them written back in their rows.
    std::vector<lotedit::CertificateRow> shownRows() const;
    void showRows(const std::vector<lotedit::CertificateRow> &rows, const std::vector<size_t> &changed);
    void goToRow(int row);
    void selectGridRow(int row);
    void setFormControlsEnabled(bool enabled);
    bool enterMovesOn(QKeyEvent *event, QWidget *next);

    data::TDM &m_dm;
    data::DataSource &m_lot;
    platform::Operator &m_op;
    const platform::Clock &m_clock;
    const platform::WinPaths &m_paths;
    platform::Clipboard &m_clipboard;
    data_ui::DatasetModel *m_model;
    QList<QWidget *> m_formControls;
    lotedit::CertificateKey m_key;
    int m_number = 0;
    lotedit::CertificateShown m_shown;   // what the panel started from: a save writes only over it
    bool m_moving = false;
};

} // namespace lotedit_ui
