// PainelSenha: the day's access code that enables "Editar tabela".
#pragma once
#include <QFrame>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace core {
struct RunState;
}
namespace platform {
class Clock;
class Operator;
}

namespace browser_ui {

class AdjustmentPanel : public QFrame {
    Q_OBJECT
public:
    // BitBtn3: the "Editar tabela" button the code enables; grid: what the panel lies over.
    AdjustmentPanel(const core::RunState &run, const platform::Clock &clock, platform::Operator &op,
                    QPushButton *BitBtn3, QWidget *grid, QWidget *window);

    QLabel *Label25;
    QLineEdit *MaskEdit1;
    QMenu *PopupMenu3;
    QAction *Chave1;

    // "Habilitar ajuste manual" of the grid's menu.
    void AjustedeEstoque1Click();
    // True when the key was consumed. A stock key that is no integer throws with the panel still open.
    bool MaskEdit1KeyPress(int key);
    void Chave1Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const core::RunState &m_run;
    const platform::Clock &m_clock;
    platform::Operator &m_op;
    QPushButton *m_editButton;
    QWidget *m_grid;
};

} // namespace browser_ui
