// Panel1: the maintenance password in front of the lot imports and clean-ups.
#pragma once
#include <QFrame>
#include <functional>
#include <map>

class QLabel;
class QLineEdit;

namespace platform {
class Operator;
}

namespace browser_ui {

class MaintenancePanel : public QFrame {
    Q_OBJECT
public:
    MaintenancePanel(platform::Operator &op, QWidget *grid, QWidget *window);

    QLabel *Label1;
    QLineEdit *Edit2;
    QLabel *Label4;
    QLabel *Label3;   // the short hint under the box

    // The operation waiting for the password, set by the menu item that opened the panel.
    int Tag = 0;
    // What each Tag runs once the password is right; the maintenance menu registers them.
    std::map<int, std::function<void()>> operations;

    // What a guarded menu item does: remembers its operation, shows the panel, focuses the box.
    void open(int tag);
    // True when the key was consumed.
    bool Edit2KeyPress(int key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    platform::Operator &m_op;
    QWidget *m_grid;
};

} // namespace browser_ui
