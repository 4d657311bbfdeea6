#pragma once

#include "com_global.h"
#include "UtilsU.h"

#include <QWidget>

class QLabel;
class QLineEdit;

// An edit for a quantity in several units of measure ("00006.011.004"),
// with the validation message shown beside it. Keys other than digits,
// ".", backspace and an allowed "-" are refused; Enter moves the focus to
// the next control. The focus goes to the inner line edit.
class COM_EXPORT TQtyEdit : public QWidget
{
    Q_OBJECT
public:
    explicit TQtyEdit(QWidget *parent = nullptr);

    void setConvUnitRec(const TConvUnitRecord &rec);
    TConvUnitRecord convUnitRec() const { return m_rec; }
    void setAllowNegative(bool allow) { m_allowNegative = allow; }
    bool allowNegative() const { return m_allowNegative; }

    QString text() const;
    void setText(const QString &text);
    // The quantity in base units; throws Platform::ConversionError when the
    // text cannot be read (check isValid() first).
    qint32 value() const;
    // Shows AValue as a quantity string; throws Platform::ConversionError
    // for a conversion record that cannot format it.
    void setValue(qint32 AValue);

    // "" when the text is acceptable, otherwise why not: the validation
    // message, or the reason it cannot be converted (too large, not a
    // number).
    QString message() const;
    bool isValid() const { return message().isEmpty(); }

    QLineEdit *edit() const { return m_edit; }
    QLabel *messageLabel() const { return m_label; }

Q_SIGNALS:
    // The text changed; message is what the label now shows.
    void textChanged(const QString &text, const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateMessage();

    TConvUnitRecord m_rec;
    bool m_allowNegative = false;
    QLineEdit *m_edit = nullptr;
    QLabel *m_label = nullptr;
};
