// Data-bound controls: each shows a field of its data source's current row, starts the edit on
// the first keystroke and writes what was typed through DataSource::setFieldText, the one road
// from a control to the dataset. Key handlers of a form go in keyPress (true consumes the key);
// entered()/exited() are the form's Enter and Exit events (exited comes after the field is written).
#pragma once
#include "data/datasource.h"
#include "fieldlink.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <functional>

class QKeyEvent;

namespace data_ui {

using KeyHandler = std::function<bool(QKeyEvent *)>;

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    DBEdit(data::DataSource *source, const QString &field, QWidget *parent = nullptr);

    const QString &field() const { return m_link.field(); }
    data::DataSource *dataSource() const { return m_link.source(); }
    // A mask in the desktop's notation, "!99/99/00;1;_": 0 a digit, 9 an optional digit, other
    // characters literals; the third part is the blank shown for an empty position.
    void setEditMask(const QString &mask);
    const QString &editMask() const { return m_mask; }
    // The box's text as the form reads it: with a mask, its literals and a blank for each empty
    // position ("  /  /  " when empty).
    QString Text() const;
    bool isModified() const { return m_link.modified(); }
    bool commitPending() { return m_link.commitPending(); }
    KeyHandler keyPress;

Q_SIGNALS:
    void entered();
    void exited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showField();
    bool acceptsCharacter(QChar c) const;

    FieldLink m_link;
    QString m_mask;
    QChar m_blank = u'_';
    bool m_twoDigitYear = false;
};

class DBComboBox : public QComboBox {
    Q_OBJECT
public:
    enum class Style { DropDown, DropDownList };   // free text, or only the items

    DBComboBox(data::DataSource *source, const QString &field, QWidget *parent = nullptr);

    const QString &field() const { return m_link.field(); }
    void setStyle(Style style);
    // Replaces the items; the shown text stays the field's.
    void setItems(const QStringList &items);
    QString Text() const { return currentText(); }
    // Shows a text without writing it to the field (the form's own setting of the box).
    void setText(const QString &text);
    bool commitPending() { return m_link.commitPending(); }
    KeyHandler keyPress;

Q_SIGNALS:
    void entered();
    void exited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showField();

    FieldLink m_link;
    Style m_style = Style::DropDown;
    bool m_showing = false;
};

// A field whose value is the key of a row of another dataset, picked by that row's list text.
class DBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    DBLookupComboBox(data::DataSource *source, const QString &field, data::CachedDataset *list,
                     const QString &keyField, const QString &listField, QWidget *parent = nullptr);

    QString Text() const { return currentText(); }
    KeyHandler keyPress;

Q_SIGNALS:
    void entered();
    void exited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void fillList();
    void showField();

    data::DataSource *m_source;
    QString m_field;
    data::CachedDataset *m_list;
    QString m_keyField;
    QString m_listField;
    std::vector<db::Value> m_keys;
    bool m_showing = false;
};

class DBText : public QLabel {
    Q_OBJECT
public:
    DBText(data::DataSource *source, const QString &field, QWidget *parent = nullptr);

private:
    void showField();
    data::DataSource *m_source;
    QString m_field;
};

class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    DBMemo(data::DataSource *source, const QString &field, QWidget *parent = nullptr);

    QString Text() const { return toPlainText(); }
    bool commitPending() { return m_link.commitPending(); }
    KeyHandler keyPress;

Q_SIGNALS:
    void entered();
    void exited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void showField();
    FieldLink m_link;
    bool m_showing = false;
};

} // namespace data_ui
