// Where the focus goes when a panel of a window opens and closes: the operator's place is kept.
#pragma once
#include <QPointer>
#include <QWidget>
#include <functional>

namespace data_ui {

// The one rule every panel laid over a window follows. Each time the panel is shown it notes the
// control that had the focus outside it (the control that opened it); however it comes to be
// hidden (its own button, Esc, a refused code, a run that goes on elsewhere), a focus it held goes
// back to that control, or to placeOwner when given (the grid a panel lies over), or to the opener
// when placeOwner cannot take it. No other control is entered on the way: the search box of the
// main window would take that as a new search and throw the place away.
//
// While a panel holds the focus, Tab and Shift+Tab go round its own controls only: a key never
// lands on a control the panel hides. A covering panel (covers = true) also owns the keyboard
// while it is shown: the other children of its parent, which it lies over, are disabled (no
// focus, no click, no Alt shortcut) and come back as they were when it hides.
void keepPlace(QWidget *panel, QWidget *placeOwner = nullptr, bool covers = false);

// What Esc does on panel (its own "Sair" or "Cancelar", which may refuse while it works); by
// default Esc hides it.
void closeOnEscape(QWidget *panel, std::function<void()> close);

// Esc in window: the panel on top is closed (the innermost one holding the focus, else the one
// shown last) and true is returned; false when no panel of the window is shown.
bool escapeTopPanel(QWidget *window);

// Names the control that opens panel the next time it is shown (a button pressed from code, or
// by a key, need not hold the focus when the panel opens): the focus goes back there.
void noteOpener(QWidget *panel, QWidget *opener);

// Parks the focus on holder (a control that takes no keys) while the buttons around it are
// disabled for a run, so that it does not travel on to the next control of the window, and gives
// it back to where it was when the run ends, unless the run put it somewhere on purpose.
class FocusParking {
public:
    explicit FocusParking(QWidget *holder);
    ~FocusParking();
    FocusParking(const FocusParking &) = delete;
    FocusParking &operator=(const FocusParking &) = delete;

private:
    QPointer<QWidget> m_holder;
    QPointer<QWidget> m_place;
};

// The next control that Tab (forward) or Shift+Tab reaches inside panel, going round.
QWidget *nextFocusInside(QWidget *panel, QWidget *from, bool forward);

} // namespace data_ui
