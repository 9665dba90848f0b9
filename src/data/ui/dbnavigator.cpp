#include "dbnavigator.h"

#include "platform/operator.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QStyle>
#include <QToolButton>
#include <utility>

namespace data_ui {

namespace {
// First, previous, next and last row: Ctrl with Home, PgUp, PgDn, End.
constexpr std::pair<DBNavigator::Button, int> kMoveKeys[] = {{DBNavigator::First, Qt::Key_Home},
                                                             {DBNavigator::Prior, Qt::Key_PageUp},
                                                             {DBNavigator::Next, Qt::Key_PageDown},
                                                             {DBNavigator::Last, Qt::Key_End}};
} // namespace

DBNavigator::DBNavigator(data::DataSource *source, QWidget *parent) : QWidget(parent), m_source(source)
{
    struct ButtonDef {
        const char *name;
        const char *hint;
        QStyle::StandardPixmap icon;
    };
    static const ButtonDef buttonDefs[kButtonCount] = {
        {"First", "Primeiro", QStyle::SP_MediaSkipBackward}, {"Prior", "Anterior", QStyle::SP_MediaSeekBackward},
        {"Next", "Próximo", QStyle::SP_MediaSeekForward},    {"Last", "Último", QStyle::SP_MediaSkipForward},
        {"Insert", "Incluir", QStyle::SP_FileDialogNewFolder}, {"Delete", "Excluir", QStyle::SP_TrashIcon},
        {"Edit", "Alterar", QStyle::SP_FileDialogDetailedView}, {"Post", "Gravar", QStyle::SP_DialogApplyButton},
        {"Cancel", "Cancelar", QStyle::SP_DialogCancelButton}, {"Refresh", "Atualizar", QStyle::SP_BrowserReload},
    };
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (int i = 0; i < kButtonCount; ++i) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(buttonDefs[i].name));
        b->setToolTip(QString::fromUtf8(buttonDefs[i].hint));
        b->setAccessibleName(b->toolTip());
        b->setIcon(style()->standardIcon(buttonDefs[i].icon));
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, i] { click(Button(i)); });
        layout->addWidget(b);
        m_buttons[size_t(i)] = b;
    }
    // The moves from the keyboard, anywhere in the navigator's window, told in the buttons' hints.
    for (const auto &[b, key] : kMoveKeys) {
        QToolButton *button = m_buttons[size_t(b)];
        button->setToolTip(button->toolTip() + QStringLiteral(" (")
                           + QKeySequence(Qt::CTRL | key).toString(QKeySequence::NativeText) + QLatin1Char(')'));
    }
    // Seen before the box that has the focus: a text box would take Ctrl+Home and Ctrl+End for
    // its own cursor.
    qApp->installEventFilter(this);
    connect(source, &data::DataSource::recordChanged, this, &DBNavigator::updateButtons);
    connect(source, &data::DataSource::stateChanged, this, &DBNavigator::updateButtons);
    updateButtons();
}

bool DBNavigator::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !isVisible() || watched != QApplication::focusWidget()
        || static_cast<QWidget *>(watched)->window() != window())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    for (const auto &[b, k] : kMoveKeys) {
        if (key->key() != k)
            continue;
        QToolButton *button = m_buttons[size_t(b)];
        if (button->isVisible() && button->isEnabled())
            button->click();
        return true;
    }
    return false;
}

void DBNavigator::setVisibleButtons(const QList<Button> &buttons)
{
    for (int i = 0; i < kButtonCount; ++i)
        m_buttons[size_t(i)]->setVisible(buttons.contains(Button(i)));
}

void DBNavigator::click(Button b)
{
    switch (b) {
    case First: m_source->first(); break;
    case Prior: m_source->prior(); break;
    case Next: m_source->next(); break;
    case Last: m_source->last(); break;
    case Insert: m_source->insert(); break;
    case Delete:
        if (m_source->op().ask(kDeleteRecordQuestion) == platform::Answer::Yes)
            m_source->remove();
        break;
    case Edit: m_source->edit(); break;
    case Post: m_source->post(); break;
    case Cancel: m_source->cancel(); break;
    case Refresh: m_source->refresh(); break;
    }
    updateButtons();
}

void DBNavigator::updateButtons()
{
    const data::CachedDataset &ds = m_source->dataset();
    const bool open = ds.isOpen();
    const bool editing = m_source->isEditing();
    const bool empty = !open || ds.rowCount() == 0;
    const int row = ds.currentRow();
    const bool atFirst = empty || row <= 0;
    const bool atLast = empty || row >= ds.rowCount() - 1;
    m_buttons[First]->setEnabled(open && !atFirst);
    m_buttons[Prior]->setEnabled(open && !atFirst);
    m_buttons[Next]->setEnabled(open && !atLast);
    m_buttons[Last]->setEnabled(open && !atLast);
    m_buttons[Insert]->setEnabled(open && m_source->canModify());
    m_buttons[Delete]->setEnabled(open && !empty && m_source->canModify());
    m_buttons[Edit]->setEnabled(open && !empty && !editing && m_source->canModify());
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Cancel]->setEnabled(editing);
    m_buttons[Refresh]->setEnabled(open && !editing);
}

} // namespace data_ui
