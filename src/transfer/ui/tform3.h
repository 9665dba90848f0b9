// TForm3: moves a quantity of the main grid's current lot to another laboratory, store or place.
#pragma once
#include "sourcefields.h"

#include <QDialog>
#include <functional>
#include <utility>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace browser {
class WaitIndicator;
}
namespace data {
class TDM;
}
namespace platform {
class Clock;
class Operator;
}

namespace transfer_ui {

// What the form needs of the main window.
struct MainWindowLink {
    std::function<std::pair<int, int>()> filters;   // the two filter boxes' indexes
    browser::WaitIndicator *wait = nullptr;          // shown while the stock view reloads
    QWidget *searchBox = nullptr;                    // gets the focus when the form closes
};

class TForm3 : public QDialog {
    Q_OBJECT
public:
    // Opened on the lot dataset's current row, which stays the source until the form closes.
    TForm3(data::TDM &dm, const platform::Clock &clock, platform::Operator &op, MainWindowLink link,
           QWidget *parent = nullptr);

    QLineEdit *DBEdit1;   // DESCRICAO
    QLineEdit *DBEdit2;   // LOTE
    QLabel *DBText2;      // FORNECEDOR
    QLineEdit *DBEdit4;   // CODIGO
    QLineEdit *DBEdit8;   // CODIGOEAN
    QLineEdit *DBEdit10;  // VALIDADE
    QLabel *DBText3;      // SITUACAO
    QLabel *DBText4;      // LABORATORIO ("Local")
    QLabel *DBText1;      // UNIDADE, beside the quantity
    QLabel *Label7;       // "Saldo Atual"
    QLineEdit *Edit1;     // quantity
    QComboBox *ComboBox1; // destination
    QPushButton *BitBtn1; // "Transferir"
    QPushButton *BitBtn2; // "Sair"

    void FormActivate();
    void BitBtn1Click();
    void BitBtn2Click();
    void FormClose();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showSource(const QMap<QString, db::Value> &values);
    void readDestinations();
    void focusLater(QWidget *target);

    data::TDM &m_dm;
    const platform::Clock &m_clock;
    platform::Operator &m_op;
    MainWindowLink m_link;
    SourceFields m_source;
    QWidget *m_focusAfterMessage = nullptr;   // where a refusal put the operator
    // The destination list could not be read, or the server was found gone: activations (each
    // message closed is one) do not ask again until the operator acts.
    bool m_serverFailed = false;
};

} // namespace transfer_ui
