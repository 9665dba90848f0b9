// The record navigator: moves, insert, delete (after a yes/no question), edit, post, cancel and
// refresh of a data source, each enabled when it can act.
#pragma once
#include "data/datasource.h"

#include <QList>
#include <QWidget>
#include <array>

class QToolButton;

namespace data_ui {

inline const QString kDeleteRecordQuestion = QStringLiteral("Excluir o registro?");

class DBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int kButtonCount = 10;

    DBNavigator(data::DataSource *source, QWidget *parent = nullptr);

    void setVisibleButtons(const QList<Button> &buttons);
    QToolButton *button(Button b) const { return m_buttons[size_t(b)]; }
    void click(Button b);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateButtons();

    data::DataSource *m_source;
    std::array<QToolButton *, kButtonCount> m_buttons{};
};

} // namespace data_ui
