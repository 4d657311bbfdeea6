#include "TranslationU.h"

#include "Errors.h"
#include "LangResU.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

QString captionOf(const Platform::ResourceString &AResString, bool AIsLabelField)
{
    QString text = AResString.text();
    if (AIsLabelField)
        text += QLatin1Char(':');
    return text;
}

template<typename T> T *required(T *control, const char *operation, const char *what)
{
    if (!control)
        throw Platform::Error(
            QStringLiteral("TTranslation::%1: no %2 given").arg(QLatin1String(operation), QLatin1String(what)));
    return control;
}

QLineEdit *lineEditIn(QLayoutItem *item)
{
    if (!item)
        return nullptr;
    if (QWidget *w = item->widget()) {
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            return edit;
        return w->findChild<QLineEdit *>();
    }
    if (QLayout *layout = item->layout()) {
        for (int i = 0; i < layout->count(); ++i) {
            if (QLineEdit *edit = lineEditIn(layout->itemAt(i)))
                return edit;
        }
    }
    return nullptr;
}

} // namespace

void TTranslation::TranslateControl(QAbstractItemModel *AModel, int ASection,
                                    const Platform::ResourceString &AResString, bool AIsLabelField)
{
    required(AModel, "TranslateControl", "model");
    if (ASection < 0 || ASection >= AModel->columnCount())
        throw Platform::Error(QStringLiteral("TTranslation::TranslateControl: column %1 is out of range (%2 columns)")
                                  .arg(ASection)
                                  .arg(AModel->columnCount()));
    if (!AModel->setHeaderData(ASection, Qt::Horizontal, captionOf(AResString, AIsLabelField)))
        throw Platform::Error(
            QStringLiteral("TTranslation::TranslateControl: the model does not take a caption for column %1")
                .arg(ASection));
}

void TTranslation::TranslateControl(QWidget *ALabel, const Platform::ResourceString &AResString, bool AIsLabelField)
{
    required(ALabel, "TranslateControl", "control");
    const QString text = captionOf(AResString, AIsLabelField);
    if (auto *label = qobject_cast<QLabel *>(ALabel))
        label->setText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(ALabel))
        button->setText(text);
    else if (auto *group = qobject_cast<QGroupBox *>(ALabel))
        group->setTitle(text);
    else if (auto *edit = qobject_cast<QLineEdit *>(ALabel))
        edit->setText(text);
    else
        ALabel->setWindowTitle(text);
}

void TTranslation::TranslateControl(QAction *ALabel, const Platform::ResourceString &AResString, bool AIsLabelField)
{
    required(ALabel, "TranslateControl", "action")->setText(captionOf(AResString, AIsLabelField));
}

void TTranslation::TranslateCrudActions(QAction *AAdd, QAction *AEdit, QAction *ADelete, QAction *ASave,
                                        QAction *ACancel)
{
    // check all before changing any, so a failed call leaves no half-done captions
    required(AAdd, "TranslateCrudActions", "add action");
    required(AEdit, "TranslateCrudActions", "edit action");
    required(ADelete, "TranslateCrudActions", "delete action");
    AAdd->setText(sLabelAdd.text());
    AEdit->setText(sLabelEdit.text());
    ADelete->setText(sLabelDelete.text());
    if (ASave)
        ASave->setText(sLabelSave.text());
    if (ACancel)
        ACancel->setText(sLabelCancel.text());
}

QString TTranslation::SearchHint(const QStringList &AFields)
{
    const QString separator = QLatin1Char(' ') + sLabelOr.text() + QLatin1Char(' ');
    const QString joined = AFields.join(separator).trimmed();
    return sLabelSearchText.text() + QLatin1Char(' ') + joined;
}

void TTranslation::TranslateSearch(QLabel *ALabel, QLineEdit *ASearchEdit, const QStringList &AFields)
{
    required(ALabel, "TranslateSearch", "label");
    required(ASearchEdit, "TranslateSearch", "search edit");
    ALabel->setText(captionOf(sLabelSearch, true));
    const QString hint = SearchHint(AFields);
    ASearchEdit->setToolTip(hint);
    ASearchEdit->setPlaceholderText(hint);
}

void TTranslation::TranslateSearch(QFormLayout *AItem, int ARow, const QStringList &AFields)
{
    required(AItem, "TranslateSearch", "form layout");
    if (ARow < 0 || ARow >= AItem->rowCount())
        throw Platform::Error(QStringLiteral("TTranslation::TranslateSearch: row %1 is out of range (%2 rows)")
                                  .arg(ARow)
                                  .arg(AItem->rowCount()));
    QLayoutItem *labelItem = AItem->itemAt(ARow, QFormLayout::LabelRole);
    auto *label = labelItem ? qobject_cast<QLabel *>(labelItem->widget()) : nullptr;
    QLineEdit *edit = lineEditIn(AItem->itemAt(ARow, QFormLayout::FieldRole));
    if (!edit) // a row spanning both columns holds its field there
        edit = lineEditIn(AItem->itemAt(ARow, QFormLayout::SpanningRole));
    if (!edit)
        throw Platform::Error(
            QStringLiteral("TTranslation::TranslateSearch: row %1 of the form layout holds no line edit").arg(ARow));
    if (label)
        label->setText(captionOf(sLabelSearch, true));
    const QString hint = SearchHint(AFields);
    edit->setToolTip(hint);
    edit->setPlaceholderText(hint);
}

void TTranslation::TranslateStatusComboBox(QComboBox *AComboBox)
{
    required(AComboBox, "TranslateStatusComboBox", "combo box");
    if (AComboBox->count() < 3)
        throw Platform::Error(
            QStringLiteral("TTranslation::TranslateStatusComboBox: the status combo box needs its three items "
                           "(all, active, not active) but holds %1")
                .arg(AComboBox->count()));
    AComboBox->setItemText(0, sLabelAll.text());
    AComboBox->setItemText(1, sLabelActive.text());
    AComboBox->setItemText(2, sLabelNotActive.text());
}
