#pragma once

#include "com_global.h"
#include "DataUtilsU.h"

#include <QJsonValue>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

class QAbstractButton;
class QComboBox;
class QLabel;

// The controller behind a list screen's paging bar. It shows the page meta
// of a list response ("pages": "page", "page_count", "rec_count") on the
// form's own widgets and asks its owner, through OnPageDataChange, to reload
// when the user picks another page or page size. It fetches nothing itself;
// the owner reads the page and the rows per page from the two selectors.
//
// The page selector should be editable (set before the controller is made),
// so that it can show page 1 of an empty list; give it a read-only line edit
// to make it the fixed list a user only picks from. A selector's value counts
// as changed when its current item changes (also after the form set it with
// signals blocked) or when text typed into it is committed (editing finished)
// and differs from what it held; typing alone asks for nothing.
//
// A page beyond the last is not kept: a smaller page count after a change of
// the rows per page moves to the new last page before the reload, and an
// answer whose page lies beyond its page count is shown as its last page and
// asks once for that page's rows.
//
// The widgets stay the form's; the controller only hooks their signals,
// writes a "tag" property (1 first, 2 previous, 3 next, 4 last) into the
// buttons and sets the page list and the two labels.
class COM_EXPORT TPagination : public QObject
{
    Q_OBJECT
public:
    TPagination(QComboBox *APageSize, QComboBox *APage, QAbstractButton *AFirstBtn, QAbstractButton *APrevBtn,
                QAbstractButton *ANextBtn, QAbstractButton *ALastBtn, QLabel *APageCountLbl, QLabel *ARecordCountLbl,
                QObject *AParent = nullptr);
    // Without a record-count label.
    TPagination(QComboBox *APageSize, QComboBox *APage, QAbstractButton *AFirstBtn, QAbstractButton *APrevBtn,
                QAbstractButton *ANextBtn, QAbstractButton *ALastBtn, QLabel *APageCountLbl,
                QObject *AParent = nullptr);
    ~TPagination() override;

    TProc OnPageDataChange() const { return FOnPageDataChange; }
    void SetOnPageDataChange(TProc AProc) { FOnPageDataChange = std::move(AProc); }

    // Shows the page meta. Anything but an object counts as an object without
    // members; a member that is not an integral number counts as absent. No
    // reload is asked for while this runs.
    void Paginate(const QJsonValue &APageData);

    // Handler of the four buttons (by their tag). Raises
    // Platform::ConversionError when a move needs the page selector's text as
    // a number and it is not one; the button connections catch it.
    void OnButtonClick(QObject *Sender);
    // Handler of both selectors: asks for a reload unless painting.
    void OnPageChange(QObject *Sender);

    bool IsLoading() const { return FIsLoading; }

    // Puts a page selector on the first page without asking for a reload:
    // a new search starts there, not on the page the last list was left at.
    static void ShowFirstPage(QComboBox *APage);

    // The bar knows at most this many pages, however many the server reports:
    // the page list, the page-count label and "last" stop there.
    static constexpr int MaxListedPages = 100000;

private:
    void hookSelector(QComboBox *ASelector, QList<QMetaObject::Connection> &AConnections);
    void unhook(QList<QMetaObject::Connection> &AConnections);
    void hookButton(QAbstractButton *AButton, int ATag);
    void selectorEdited(QComboBox *ASelector);
    void selectorPicked(QComboBox *ASelector);
    // The page, kept within the page count the rows per page now give.
    void keepPageWithinCount();
    void setPageText(const QString &AText);
    QString &committedOf(QComboBox *ASelector);

    QPointer<QComboBox> FPageSize;
    QPointer<QComboBox> FPage;
    QPointer<QAbstractButton> FFirstBtn;
    QPointer<QAbstractButton> FPrevBtn;
    QPointer<QAbstractButton> FNextBtn;
    QPointer<QAbstractButton> FLastBtn;
    QPointer<QLabel> FPageCountLbl;
    QPointer<QLabel> FRecordCountLbl;
    bool FIsLoading = false;
    TProc FOnPageDataChange;

    QList<QMetaObject::Connection> FPageSizeHooks;
    QList<QMetaObject::Connection> FPageHooks;
    // The value each selector held when it last counted as changed, so that
    // a focus change without an edit asks for nothing.
    QString FPageSizeCommitted;
    QString FPageCommitted;
    // Of the last page meta shown.
    int FRecordCount = 0;
    // Set when an answer's page beyond the last asked for the last page, so
    // that a server repeating it cannot make the bar reload for ever.
    bool FMovedToLast = false;
};
