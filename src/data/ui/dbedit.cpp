#include "dbcontrols.h"

#include "data/fieldinput.h"
#include "data/fieldtext.h"

#include <QKeyEvent>

namespace data_ui {

namespace {

// The desktop's mask characters in Qt's notation (the two swap required and optional).
QString qtInputMask(const QString &mask, QChar blank)
{
    const QString body = mask.section(QLatin1Char(';'), 0, 0);
    QString out;
    for (int i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        switch (c.unicode()) {
        case '!': break;
        case '0': out += u'9'; break;
        case '9': out += u'0'; break;
        case 'L': out += u'A'; break;
        case 'l': out += u'a'; break;
        case 'A': out += u'N'; break;
        case 'a': out += u'n'; break;
        case 'C': out += u'X'; break;
        case 'c': out += u'x'; break;
        case '#': out += u'#'; break;
        case '>': case '<': out += c; break;
        case '\\':
            if (i + 1 < body.size())
                out += QStringLiteral("\\") + body[++i];
            break;
        default:
            out += QStringLiteral("\\") + c;
        }
    }
    return out + QStringLiteral(";") + blank;
}

} // namespace

DBEdit::DBEdit(data::DataSource *source, const QString &field, QWidget *parent)
    : QLineEdit(parent), m_link(this, source, field, [this] { showField(); }, [this] { return Text(); })
{
    const data::ColumnInfo info = source->columnInfo(field);
    if (info.type == data::ColumnInfo::Type::Text && info.width > 0)
        setMaxLength(info.width);
    connect(this, &QLineEdit::textEdited, this, [this] { m_link.typed(); });
    showField();
}

void DBEdit::setEditMask(const QString &mask)
{
    m_mask = mask;
    const QString blank = mask.section(QLatin1Char(';'), 2, 2);
    m_blank = blank.isEmpty() ? QChar(u'_') : blank[0];
    setInputMask(mask.isEmpty() ? QString() : qtInputMask(mask, m_blank));
    // A date box whose mask holds eight positions (dd/mm/yy) shows two-digit years.
    m_twoDigitYear = dataSource()->columnInfo(field()).isDate() && data::EmptyMaskText(mask).size() == 8;
    showField();
}

QString DBEdit::Text() const
{
    if (m_mask.isEmpty())
        return text();
    QString t = displayText();
    t.replace(m_blank, QLatin1Char(' '));
    return t;
}

void DBEdit::showField()
{
    const bool was = m_link.modified();
    const data::CachedDataset &ds = dataSource()->dataset();
    const db::Value v = ds.isOpen() && ds.currentRow() >= 0 ? ds.value(field()) : db::Value();
    const QString t = (hasFocus() || !m_mask.isEmpty()) ? data::FieldEditText(v, m_twoDigitYear) : data::FieldText(v);
    if (t != text() || (t.isEmpty() && !m_mask.isEmpty()))
        setText(t);
    m_link.setModified(was);
}

bool DBEdit::acceptsCharacter(QChar c) const
{
    const data::ColumnInfo info = dataSource()->columnInfo(field());
    if (info.isNumber())
        return c.isDigit() || c == u'-' || c == u'+' || c == u','
               || (info.type != data::ColumnInfo::Type::Integer && (c == u'e' || c == u'E'));
    return true;
}

void DBEdit::keyPressEvent(QKeyEvent *event)
{
    if (keyPress && keyPress(event))
        return;
    // Esc takes back what was typed into the box.
    if (event->key() == Qt::Key_Escape && m_link.takeBack()) {
        event->accept();
        return;
    }
    if (!isReadOnly() && ChangesText(event)) {
        const QString t = event->text();
        if (!t.isEmpty() && t[0].isPrint() && !acceptsCharacter(t[0])) {
            event->accept();
            return;
        }
        if (!dataSource()->beginEdit()) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (!m_link.modified())
        showField();
    if (MovesWithinWindow(event))
        Q_EMIT entered();
}

void DBEdit::focusOutEvent(QFocusEvent *event)
{
    switch (m_link.focusOut(event, [&] { QLineEdit::focusOutEvent(event); })) {
    case FieldLink::Leaving::Away:
        break;
    case FieldLink::Leaving::Refused:
        selectAll();
        break;
    case FieldLink::Leaving::Left:
        Q_EMIT exited();
        if (!hasFocus() && !m_link.modified())
            showField();
        break;
    }
}

} // namespace data_ui
