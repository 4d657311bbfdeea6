#include "PaginationU.h"

#include "Errors.h"
#include "LangResU.h"
#include "Logging.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QSignalBlocker>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QIntValidator>
#include <QStringList>
#include <QtDebug>
#include <cmath>

namespace {

const char *const TagProperty = "tag";

enum ButtonTag : int { FirstTag = 1, PrevTag = 2, NextTag = 3, LastTag = 4 };

// An integral number within int range; anything else counts as absent.
bool pageInt(const QJsonObject &AObject, const QString &AName, int &AValue)
{
    const QJsonValue v = AObject.value(AName);
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < double(INT_MIN) || d > double(INT_MAX))
        return false;
    AValue = int(d);
    return true;
}

// A typed page goes to the server as it stands, and a server refuses
// anything but a whole number from 1: letters cannot be typed, and what is
// left that is no page ("", "0") becomes the first page when committed.
class PageNumberValidator : public QIntValidator
{
public:
    explicit PageNumberValidator(QObject *AParent)
        : QIntValidator(1, INT_MAX, AParent)
    { }
    void fixup(QString &AInput) const override
    {
        bool ok = false;
        if (AInput.trimmed().toInt(&ok) < 1 || !ok)
            AInput = QStringLiteral("1");
    }
};

// Resets the painting flag however Paginate ends.
struct LoadingGuard
{
    explicit LoadingGuard(bool &AFlag)
        : flag(AFlag)
    {
        flag = true;
    }
    ~LoadingGuard() { flag = false; }
    bool &flag;
};

} // namespace

TPagination::TPagination(QComboBox *APageSize, QComboBox *APage, QAbstractButton *AFirstBtn, QAbstractButton *APrevBtn,
                         QAbstractButton *ANextBtn, QAbstractButton *ALastBtn, QLabel *APageCountLbl,
                         QLabel *ARecordCountLbl, QObject *AParent)
    : QObject(AParent)
{
    FIsLoading = false;
    FPageSize = APageSize;
    if (FPageSize)
        FPageSizeCommitted = FPageSize->currentText();
    hookSelector(APageSize, FPageSizeHooks);
    FPage = APage;
    if (FPage)
        FPageCommitted = FPage->currentText();
    hookSelector(APage, FPageHooks);
    FFirstBtn = AFirstBtn;
    FPrevBtn = APrevBtn;
    FNextBtn = ANextBtn;
    FLastBtn = ALastBtn;
    hookButton(AFirstBtn, FirstTag);
    hookButton(APrevBtn, PrevTag);
    hookButton(ANextBtn, NextTag);
    hookButton(ALastBtn, LastTag);
    FPageCountLbl = APageCountLbl;
    FRecordCountLbl = ARecordCountLbl;
}

TPagination::TPagination(QComboBox *APageSize, QComboBox *APage, QAbstractButton *AFirstBtn, QAbstractButton *APrevBtn,
                         QAbstractButton *ANextBtn, QAbstractButton *ALastBtn, QLabel *APageCountLbl, QObject *AParent)
    : TPagination(APageSize, APage, AFirstBtn, APrevBtn, ANextBtn, ALastBtn, APageCountLbl, nullptr, AParent)
{ }

TPagination::~TPagination() = default;

void TPagination::ShowFirstPage(QComboBox *APage)
{
    if (!APage)
        return;
    const QSignalBlocker block(APage);
    const int first = APage->findText(QStringLiteral("1"));
    if (first >= 0)
        APage->setCurrentIndex(first);
    APage->setEditText(QStringLiteral("1"));
}

void TPagination::hookSelector(QComboBox *ASelector, QList<QMetaObject::Connection> &AConnections)
{
    if (!ASelector)
        return;
    AConnections.append(
        connect(ASelector, &QComboBox::currentIndexChanged, this, [this, ASelector] { selectorPicked(ASelector); }));
    // typed text counts once it is committed, not at every keystroke
    if (QLineEdit *edit = ASelector->lineEdit()) {
        // hooked again at every Paginate: one validator is enough
        if (ASelector == FPage.data() && !dynamic_cast<const PageNumberValidator *>(edit->validator()))
            edit->setValidator(new PageNumberValidator(edit));
        AConnections.append(
            connect(edit, &QLineEdit::editingFinished, this, [this, ASelector] { selectorEdited(ASelector); }));
    }
}

void TPagination::unhook(QList<QMetaObject::Connection> &AConnections)
{
    for (const QMetaObject::Connection &c : std::as_const(AConnections))
        disconnect(c);
    AConnections.clear();
}

void TPagination::hookButton(QAbstractButton *AButton, int ATag)
{
    if (!AButton)
        return;
    AButton->setProperty(TagProperty, ATag);
    connect(AButton, &QAbstractButton::clicked, this, [this, AButton] {
        // a click handler runs on the event loop: nothing may leave it
        try {
            OnButtonClick(AButton);
        } catch (const std::exception &e) {
            qCWarning(Platform::Log::ui, "Paging bar: %s", e.what());
        }
    });
}

QString &TPagination::committedOf(QComboBox *ASelector)
{
    return ASelector == FPage.data() ? FPageCommitted : FPageSizeCommitted;
}

void TPagination::selectorEdited(QComboBox *ASelector)
{
    QString &committed = committedOf(ASelector);
    const QString text = ASelector->currentText();
    if (text == committed)
        return;
    committed = text;
    OnPageChange(ASelector);
}

void TPagination::selectorPicked(QComboBox *ASelector)
{
    // Another item is another value, even when the last one the bar saw is
    // the same text: the form may have set the selector with signals blocked.
    committedOf(ASelector) = ASelector->currentText();
    if (ASelector == FPageSize.data())
        keepPageWithinCount();
    OnPageChange(ASelector);
}

void TPagination::keepPageWithinCount()
{
    if (!FPage || !FPageSize || FRecordCount <= 0)
        return;
    bool rowsOk = false, pageOk = false;
    const int rows = FPageSize->currentText().toInt(&rowsOk);
    const int page = FPage->currentText().toInt(&pageOk);
    if (!rowsOk || !pageOk || rows <= 0)
        return;
    const int last = int(qMin<qint64>((qint64(FRecordCount) + rows - 1) / rows, MaxListedPages));
    if (page <= last)
        return;
    // the reload that follows is the one for the new rows per page
    const QSignalBlocker block(FPage);
    setPageText(QString::number(last));
    FPageCommitted = FPage->currentText();
}

void TPagination::setPageText(const QString &AText)
{
    const int index = FPage->findText(AText, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        FPage->setCurrentIndex(index);
    if (FPage->currentText() != AText) {
        if (FPage->isEditable())
            FPage->setEditText(AText);
        else
            FPage->setCurrentIndex(index);
    }
}

void TPagination::OnButtonClick(QObject *Sender)
{
    if (!Sender || !FPage)
        return;
    const int tag = Sender->property(TagProperty).toInt();
    const int n = FPage->count();
    const int i = FPage->findText(FPage->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i == -1 || n == 0)
        return;

    auto currentPage = [this] {
        bool ok = false;
        const int t = FPage->currentText().toInt(&ok);
        if (!ok)
            throw Platform::ConversionError(
                QStringLiteral("'%1' is not a valid integer value").arg(FPage->currentText()));
        return t;
    };

    QString text;
    switch (tag) {
    case FirstTag:
        if (i == 0)
            return;
        text = QStringLiteral("1");
        break;
    case PrevTag:
        if (i == 0)
            return;
        text = QString::number(currentPage() - 1);
        break;
    case NextTag:
        if (i == n - 1)
            return;
        text = QString::number(currentPage() + 1);
        break;
    case LastTag:
        if (i == n - 1)
            return;
        text = QString::number(n);
        break;
    default: return;
    }
    setPageText(text);
    // the new text is the selector's new value, as a pick from its list is
    selectorEdited(FPage);
}

void TPagination::OnPageChange(QObject *Sender)
{
    Q_UNUSED(Sender);
    if (!FIsLoading && FOnPageDataChange)
        FOnPageDataChange();
}

void TPagination::Paginate(const QJsonValue &APageData)
{
    LoadingGuard loading(FIsLoading);

    const QJsonObject meta = APageData.isObject() ? APageData.toObject() : QJsonObject();
    int pageCount = 0;
    int page = 1;
    int recCount = 0;
    if (pageInt(meta, QStringLiteral("page_count"), pageCount)) {
        if (!pageInt(meta, QStringLiteral("page"), page))
            page = 1;
    } else {
        pageCount = 0;
    }
    if (!pageInt(meta, QStringLiteral("rec_count"), recCount))
        recCount = 0;
    // an untrusted count must not stall the screen; what the bar cannot list
    // it does not offer either
    pageCount = qMin(pageCount, MaxListedPages);
    FRecordCount = recCount;

    // a page beyond the last (the data shrank, or the rows per page grew) is
    // the last page, whose rows are asked for once
    const bool beyondLast = pageCount > 0 && page > pageCount;
    const bool moveToLast = beyondLast && !FMovedToLast;
    FMovedToLast = moveToLast;
    if (beyondLast)
        page = pageCount;

    if (FPage) {
        unhook(FPageHooks);
        QStringList items;
        items.reserve(qMax(pageCount, 0));
        for (int p = 1; p <= pageCount; ++p)
            items.append(QString::number(p));
        FPage->setUpdatesEnabled(false);
        FPage->clear();
        FPage->addItems(items);
        setPageText(QString::number(page));
        FPage->setUpdatesEnabled(true);
        FPageCommitted = FPage->currentText();
        hookSelector(FPage, FPageHooks);
    }

    if (FPageCountLbl) {
        const QString caption = sLabelOfPage.text() + QLatin1Char(' ') + QString::number(pageCount);
        FPageCountLbl->setText(caption);
    }
    if (FRecordCountLbl) {
        const QString caption = sLabelTotalRecord.text() + QLatin1Char(' ') + QString::number(recCount)
            + QLatin1Char(' ') + sLabelRecords.text();
        FRecordCountLbl->setText(caption);
    }

    // after the read that called us has finished with its table
    if (moveToLast && FPage)
        QMetaObject::invokeMethod(
            this, [this] { OnPageChange(FPage); }, Qt::QueuedConnection);
}
