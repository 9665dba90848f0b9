// The keep-place rule of the panels and the focus held still during a run.
#include "panelfocus.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QList>

namespace data_ui {

namespace {

bool inside(const QWidget *panel, const QWidget *w)
{
    return w && (w == panel || panel->isAncestorOf(w));
}

bool canTakeFocus(const QWidget *w)
{
    return w && w->isVisible() && w->isEnabled();
}

class PlaceKeeper : public QObject {
public:
    PlaceKeeper(QWidget *panel, QWidget *placeOwner, bool covers)
        : QObject(panel), m_panel(panel), m_owner(placeOwner), m_covers(covers)
    {
    }

    void setOpener(QWidget *opener) { m_noted = opener; }
    void setEscape(std::function<void()> close) { m_escape = std::move(close); }
    void escape()
    {
        if (m_escape)
            m_escape();
        else
            m_panel->hide();
    }
    quint64 shownAt() const { return m_shownAt; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_panel) {
            if (event->type() == QEvent::Show)
                shown();
            else if (event->type() == QEvent::Hide)
                hidden();
            return false;
        }
        if (event->type() == QEvent::KeyPress && m_panel->isVisible())
            return tabInside(watched, static_cast<QKeyEvent *>(event));
        return false;
    }

private:
    void shown()
    {
        static quint64 showings = 0;
        m_shownAt = ++showings;
        // The panel shown last answers Tab first: an event filter installed again goes in front.
        qApp->removeEventFilter(this);
        qApp->installEventFilter(this);
        QWidget *focus = m_panel->window()->focusWidget();
        if (m_noted)
            m_opener = m_noted;
        else if (focus && !inside(m_panel, focus))
            m_opener = focus;
        m_noted = nullptr;
        if (!m_covers || m_covering)
            return;
        m_covering = true;
        // The focus first comes in, so that disabling what lies under does not send it on.
        if (!inside(m_panel, focus))
            m_panel->setFocus(Qt::OtherFocusReason);
        if (QWidget *parent = m_panel->parentWidget()) {
            for (QWidget *w : parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
                if (w != m_panel && !w->isWindow() && !w->testAttribute(Qt::WA_ForceDisabled)) {
                    w->setEnabled(false);
                    m_disabled << w;
                }
            }
        }
    }

    void hidden()
    {
        qApp->removeEventFilter(this);
        if (m_covering) {
            m_covering = false;
            for (const QPointer<QWidget> &w : std::as_const(m_disabled))
                if (w)
                    w->setEnabled(true);
            m_disabled.clear();
        }
        // Qt sends the hide event before it looks for the focus's next home, so a focus handed
        // back here is the one it finds.
        QWidget *focus = m_panel->window()->focusWidget();
        if (focus && !inside(m_panel, focus))
            return;
        for (QWidget *place : {m_owner.data(), m_opener.data()}) {
            if (canTakeFocus(place) && !inside(m_panel, place)) {
                place->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
    }

    bool tabInside(QObject *watched, QKeyEvent *key)
    {
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
        const bool backward = key->key() == Qt::Key_Backtab
                              || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
        if (!forward && !backward)
            return false;
        QWidget *focus = QApplication::focusWidget();
        if (watched != focus || !inside(m_panel, focus))
            return false;
        if (QWidget *next = nextFocusInside(m_panel, focus, forward))
            next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }

    QWidget *m_panel;
    QPointer<QWidget> m_owner;
    QPointer<QWidget> m_opener;
    QPointer<QWidget> m_noted;
    bool m_covers;
    bool m_covering = false;
    QList<QPointer<QWidget>> m_disabled;
    std::function<void()> m_escape;
    quint64 m_shownAt = 0;
};

PlaceKeeper *keeperOf(const QWidget *panel)
{
    for (QObject *child : panel->children())
        if (auto *keeper = dynamic_cast<PlaceKeeper *>(child))
            return keeper;
    return nullptr;
}

} // namespace

void keepPlace(QWidget *panel, QWidget *placeOwner, bool covers)
{
    panel->installEventFilter(new PlaceKeeper(panel, placeOwner, covers));
}

void noteOpener(QWidget *panel, QWidget *opener)
{
    if (PlaceKeeper *keeper = keeperOf(panel))
        keeper->setOpener(opener);
}

void closeOnEscape(QWidget *panel, std::function<void()> close)
{
    if (PlaceKeeper *keeper = keeperOf(panel))
        keeper->setEscape(std::move(close));
}

bool escapeTopPanel(QWidget *window)
{
    for (QWidget *w = window->focusWidget(); w && w != window; w = w->parentWidget()) {
        if (PlaceKeeper *keeper = keeperOf(w); keeper && w->isVisible()) {
            keeper->escape();
            return true;
        }
    }
    PlaceKeeper *top = nullptr;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        PlaceKeeper *keeper = w->isVisible() && w->window() == window ? keeperOf(w) : nullptr;
        if (keeper && (!top || keeper->shownAt() > top->shownAt()))
            top = keeper;
    }
    if (!top)
        return false;
    top->escape();
    return true;
}

QWidget *nextFocusInside(QWidget *panel, QWidget *from, bool forward)
{
    QWidget *w = from;
    // The chain runs round the whole window; going once round it is enough.
    for (int guard = 0; guard < 100000; ++guard) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == from)
            return nullptr;
        if (panel->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy()
            && w->isVisible() && w->isEnabled())
            return w;
    }
    return nullptr;
}

FocusParking::FocusParking(QWidget *holder) : m_holder(holder)
{
    QWidget *focus = holder->window()->focusWidget();
    if (!focus || focus == holder)
        return;
    m_place = focus;
    holder->setFocus(Qt::OtherFocusReason);
}

FocusParking::~FocusParking()
{
    if (!m_holder || !m_place)
        return;
    QWidget *focus = m_holder->window()->focusWidget();
    if ((!focus || focus == m_holder) && canTakeFocus(m_place))
        m_place->setFocus(Qt::OtherFocusReason);
}

} // namespace data_ui
