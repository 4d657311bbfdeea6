#pragma once

#include "com_global.h"
#include "ResourceStrings.h"

#include <QStringList>

class QAbstractItemModel;
class QAction;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QWidget;

// Puts current-language texts on the common controls of list and entry
// screens. Every text is fetched at the moment of the call. A required
// control that is missing raises Platform::Error.
class COM_EXPORT TTranslation
{
public:
    TTranslation() = delete;

    // Grid column: the horizontal header caption of ASection in AModel
    // (an in-memory table or any model with settable header data).
    static void TranslateControl(QAbstractItemModel *AModel, int ASection, const Platform::ResourceString &AResString,
                                 bool AIsLabelField);
    // Any control: the caption of a label, button or check box, the title
    // of a group box, the text of a line edit, else the window title.
    // ":" is appended when AIsLabelField is true.
    static void TranslateControl(QWidget *ALabel, const Platform::ResourceString &AResString, bool AIsLabelField);
    static void TranslateControl(QAction *ALabel, const Platform::ResourceString &AResString, bool AIsLabelField);

    // Add, Edit and Delete are required; Save and Cancel are captioned only
    // when given.
    static void TranslateCrudActions(QAction *AAdd, QAction *AEdit, QAction *ADelete, QAction *ASave = nullptr,
                                     QAction *ACancel = nullptr);

    // ALabel := "Search:"; the edit's tooltip and placeholder := the search
    // hint of AFields.
    static void TranslateSearch(QLabel *ALabel, QLineEdit *ASearchEdit, const QStringList &AFields);
    // The same on row ARow of a form layout: the row's label gets the caption,
    // the line edit of the row's field (the field itself or the first line
    // edit inside it) gets the hint.
    static void TranslateSearch(QFormLayout *AItem, int ARow, const QStringList &AFields);

    // Items 0, 1, 2 := "All", "Active", "Not Active"; the combo box must
    // already hold at least three items.
    static void TranslateStatusComboBox(QComboBox *AComboBox);

    // "Search by" + " " + the captions joined with " or ", trimmed.
    static QString SearchHint(const QStringList &AFields);
};
