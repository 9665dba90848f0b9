// PainelDeErros: the consistency errors of the last build, over the whole main window.
#pragma once
#include <QFrame>

class QLabel;
class QListWidget;
class QPushButton;

namespace reports_ui {

inline const QString kErrorPanelTitle =
    QStringLiteral("Erros de consistência detectados durante a montagem do relatório");

class ErrorPanel : public QFrame {
    Q_OBJECT
public:
    explicit ErrorPanel(QWidget *window);

    QLabel *Titulo;
    QListWidget *ListaDeErros;
    QPushButton *BitBtn8;   // "Sair"

    // Shows the lines over the whole window.
    void showErrors(const QStringList &lines);
    void BitBtn8Click();
};

} // namespace reports_ui
