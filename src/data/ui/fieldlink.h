// What every editing control shares: the field it edits, whether it holds typed text not yet
// written, and the rules for starting the edit, writing the text and leaving the control.
#pragma once
#include "data/datasource.h"

#include <QString>
#include <functional>

class QFocusEvent;
class QKeyEvent;
class QWidget;

namespace data_ui {

// Puts the focus on a widget once the event in hand is over (moving the focus from inside a
// focus change is not safe); a widget gone by then is skipped.
void FocusLater(QWidget *widget);

// A key that changes the text of the box it is typed into.
bool ChangesText(QKeyEvent *event);

// The focus going to another window (a message box, the list of a combo) and coming back is no
// entering or leaving of the control.
bool MovesWithinWindow(QFocusEvent *event);

// A control whose press drops the whole edit (a form's "Cancelar"): a box the focus leaves for it
// writes nothing and refuses nothing, so an unreadable or emptied value never holds the form.
void SetDropsEdit(QWidget *control);
bool DropsEdit(const QWidget *control);

class FieldLink : public data::FieldEditor {
public:
    // show puts the field's value into the control; text reads what the control holds.
    FieldLink(QWidget *control, data::DataSource *source, const QString &field,
              std::function<void()> show, std::function<QString()> text);
    ~FieldLink() override;

    data::DataSource *source() const { return m_source; }
    const QString &field() const { return m_field; }
    bool modified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }

    bool commitPending() override;
    // Text arrived without a key (a paste from the context menu): it starts the edit, or is taken
    // back when the row cannot be edited.
    void typed();
    // Esc: drops what was typed; false when nothing was.
    bool takeBack();

    enum class Leaving { Away, Refused, Left };
    // The control loses the focus: base runs the widget's own focus-out. A focus that goes to
    // another window leaves nothing (Away); typed text the field refuses keeps the focus in the
    // control (Refused); otherwise the text is written (Left).
    Leaving focusOut(QFocusEvent *event, const std::function<void()> &base);

private:
    QWidget *m_control;
    data::DataSource *m_source;
    QString m_field;
    std::function<void()> m_show;
    std::function<QString()> m_text;
    bool m_modified = false;
};

} // namespace data_ui
