#include "QtyEditU.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

TQtyEdit::TQtyEdit(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_label(new QLabel(this))
{
    m_edit->setObjectName(QStringLiteral("edtQty"));
    m_label->setObjectName(QStringLiteral("lblMessage"));
    m_label->setStyleSheet(QStringLiteral("color: #c00000;"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit);
    layout->addWidget(m_label, 1);

    setFocusProxy(m_edit);
    setFocusPolicy(m_edit->focusPolicy());
    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, [this] { updateMessage(); });
}

void TQtyEdit::setConvUnitRec(const TConvUnitRecord &rec)
{
    m_rec = rec;
    updateMessage();
}

QString TQtyEdit::text() const
{
    return m_edit->text();
}

void TQtyEdit::setText(const QString &text)
{
    m_edit->setText(text);
}

qint32 TQtyEdit::value() const
{
    return TUtils::QtyStrToInt(m_edit->text(), m_rec);
}

void TQtyEdit::setValue(qint32 AValue)
{
    m_edit->setText(TUtils::FormatQtyStr(AValue, m_rec));
}

QString TQtyEdit::message() const
{
    // the validation accepts exactly what converts
    return TUtils::ValidateQtyStr(m_edit->text(), m_rec);
}

void TQtyEdit::updateMessage()
{
    const QString msg = message();
    m_label->setText(msg);
    Q_EMIT textChanged(m_edit->text(), msg);
}

bool TQtyEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edit || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);

    const auto *keyEvent = static_cast<QKeyEvent *>(event);
    // Shortcuts (copy, paste, select all) are not typing.
    if (keyEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;

    QChar key;
    bool keypadSeparator = false;
    switch (keyEvent->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: key = QLatin1Char('\r'); break;
    case Qt::Key_Backspace: key = QLatin1Char('\b'); break;
    default: {
        // Keys without a printable character (Tab, arrows, Delete) move or
        // edit; they are not filtered.
        const QString text = keyEvent->text();
        if (text.size() != 1 || text.at(0) < QLatin1Char(' ') || text.at(0) == QChar(0x7f))
            return false;
        key = text.at(0);
        // the keypad's decimal key gives "," on many layouts; the units
        // are separated by "." whatever the layout
        if ((keyEvent->modifiers() & Qt::KeypadModifier) && key == QLatin1Char(',')) {
            key = QLatin1Char('.');
            keypadSeparator = true;
        }
        break;
    }
    }

    // what is selected goes when the key is typed: a sign there is no sign
    // the text keeps
    QString kept = m_edit->text();
    if (m_edit->hasSelectedText() && key != QLatin1Char('\r'))
        kept.remove(m_edit->selectionStart(), m_edit->selectedText().size());
    TUtils::QtyStrKey(key, kept, m_allowNegative);
    if (key.isNull())
        return true;
    if (keypadSeparator) {
        m_edit->insert(QString(key));
        return true;
    }
    return false;
}
