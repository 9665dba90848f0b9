// PainelPeriodo: the period of the cost of products sold (and of the deduction audit), two
// "dd/mm/yy" boxes with "Cancelar" and "Ok". The reports panel drives it.
#pragma once
#include <QFrame>

class QLabel;
class QLineEdit;
class QPushButton;

namespace reports_ui {

class PeriodPanel : public QFrame {
    Q_OBJECT
public:
    explicit PeriodPanel(QWidget *parent);

    QLabel *Titulo;          // "Período"
    QLineEdit *EditDataInicial;
    QLineEdit *EditDataFinal;
    QPushButton *BitBtn14;   // "Cancelar"
    QPushButton *BitBtn13;   // "Ok"

    // A box's text as typed: its slashes, and a blank for each empty position ("  /  /  ").
    static QString boxText(const QLineEdit *box);

    // Who opened the panel, and so where its "Ok" goes on.
    enum class Purposes { None, CostOfSales, DeductionAudit, ControlledBook };
    Purposes Purpose = Purposes::None;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace reports_ui
