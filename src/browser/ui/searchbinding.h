// The incremental search of the top bar: Edit1 moves the lot dataset as the operator types.
#pragma once
#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace data {
class CachedDataset;
}
namespace platform {
class Clock;
}

namespace browser_ui {

class SearchBinding : public QObject {
    Q_OBJECT
public:
    // Label2 ("&Pesquisar") and Button1 ("&P") both lead to the box; grid gets the focus on Enter.
    SearchBinding(data::CachedDataset &lots, const platform::Clock &clock, QLineEdit *Edit1, QLabel *Label2,
                  QPushButton *Button1, QWidget *grid, QObject *parent = nullptr);

    // The current search text; empty until something is typed.
    const QString &searchText() const { return m_searchText; }

    void Edit1Enter(bool byMouse = false);
    void Edit1Change();
    // True when the key was consumed.
    bool Edit1KeyPress(int key);
    void Label2Click();
    void Button1Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    data::CachedDataset &m_lots;
    const platform::Clock &m_clock;
    QLineEdit *m_edit;
    QLabel *m_label;
    QPushButton *m_button;
    QWidget *m_grid;
    QString m_searchText;
    bool m_selectOnPress = false;   // the focus came by a click, whose press follows
};

} // namespace browser_ui
