#include "BrowseDlgU.h"

#include "DialogPresenter.h"
#include "ErrorHandlerU.h"
#include "Errors.h"
#include "LangResU.h"
#include "MsgDlgU.h"
#include "PaginationU.h"
#include "ReadOnlyModel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using Platform::MemTable;
namespace ModalResult = Platform::ModalResult;

const Platform::ResourceString sHeaderBrowseData = { "sHeaderBrowseData", "Browse Data" };
const Platform::ResourceString sLabelAddItem = { "sLabelAddItem", "Add Item" };

namespace {

const QString RowsPerPageChoices = QStringLiteral(R"("10", "20", "30", "50", "100", "200", "500", "1000")");

// Aligns the cells of one grid column.
class AlignDelegate : public QStyledItemDelegate
{
public:
    AlignDelegate(Qt::Alignment AAlignment, QObject *AParent)
        : QStyledItemDelegate(AParent)
        , FAlignment(AAlignment)
    { }

protected:
    void initStyleOption(QStyleOptionViewItem *AOption, const QModelIndex &AIndex) const override
    {
        QStyledItemDelegate::initStyleOption(AOption, AIndex);
        AOption->displayAlignment = (FAlignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
    }

private:
    Qt::Alignment FAlignment;
};

bool isEnter(int AKey)
{
    return AKey == Qt::Key_Return || AKey == Qt::Key_Enter;
}

} // namespace

// ---- TBrowseDlgColumns -----------------------------------------------------

TBrowseDlgColumns::TBrowseDlgColumns() = default;
TBrowseDlgColumns::~TBrowseDlgColumns() = default;

void TBrowseDlgColumns::AddColumn(const QString &AFieldName, MemTable::FieldType AFieldType, int AFieldWidth,
                                  bool AIsCreateColumn, const QString &ACaption, int AColumnWidth,
                                  Qt::Alignment AHAlignment, const QString &ADisplayFormat)
{
    TBrowseDlgColumn column;
    column.FieldName = AFieldName;
    column.FieldType = AFieldType;
    column.FieldWidth = AFieldWidth;
    column.IsCreateColumn = AIsCreateColumn;
    if (AIsCreateColumn) {
        column.Caption = ACaption;
        column.ColumnWidth = AColumnWidth;
        column.HAlignment = AHAlignment;
        column.DisplayFormat = ADisplayFormat;
    }
    FColumns.append(column);
}

const TBrowseDlgColumn &TBrowseDlgColumns::GetColumn(int Index) const
{
    if (Index < 0 || Index >= FColumns.size())
        throw Platform::NotFoundError(QStringLiteral("Column index out of range: %1").arg(Index));
    return FColumns.at(Index);
}

void TBrowseDlgColumns::SetColumn(int Index, const TBrowseDlgColumn &Value)
{
    if (Index < 0 || Index >= FColumns.size())
        throw Platform::NotFoundError(QStringLiteral("Column index out of range: %1").arg(Index));
    FColumns[Index] = Value;
}

// ---- TBrowseDlgFrm ---------------------------------------------------------

TBrowseDlgFrm::TBrowseDlgFrm(QWidget *AParent)
    : QDialog(AParent)
{
    setObjectName(QStringLiteral("BrowseDlgFrm"));
    FOwnTitle = QStringLiteral("Browse Data");
    setWindowTitle(FOwnTitle);
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);
    resize(494, 517);

    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);

    lytMainSearchItem = new QWidget(this);
    auto *searchLay = new QHBoxLayout(lytMainSearchItem);
    lblSearch = new QLabel(QStringLiteral("Search"), lytMainSearchItem);
    searchLay->addWidget(lblSearch);
    edtSearch = new QLineEdit(lytMainSearchItem);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setPlaceholderText(QStringLiteral("Search"));
    searchLay->addWidget(edtSearch, 1);
    edtSearchButton = new QToolButton(lytMainSearchItem);
    edtSearchButton->setObjectName(QStringLiteral("edtSearchButton"));
    edtSearchButton->setFocusPolicy(Qt::NoFocus);
    edtSearchButton->setText(QStringLiteral("..."));
    searchLay->addWidget(edtSearchButton);
    main->addWidget(lytMainSearchItem);

    grdData = new QTableView(this);
    grdData->setObjectName(QStringLiteral("grdData"));
    grdData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdData->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdData->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdData->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    main->addWidget(grdData, 1);

    gboPage = new QWidget(this);
    gboPage->setObjectName(QStringLiteral("gboPage"));
    gboPage->setFixedHeight(29);
    gboPage->setAutoFillBackground(true);
    QPalette pal = gboPage->palette();
    pal.setColor(QPalette::Window, QColor(0xF2, 0xF2, 0xF2));
    gboPage->setPalette(pal);
    auto *pageLay = new QHBoxLayout(gboPage);
    pageLay->setContentsMargins(4, 2, 4, 2);
    auto tool = [this](const QString &AName, const QString &AText) {
        auto *b = new QToolButton(gboPage);
        b->setObjectName(AName);
        b->setText(AText);
        return b;
    };
    btnFirst = tool(QStringLiteral("btnFirst"), QStringLiteral("|<"));
    btnPrev = tool(QStringLiteral("btnPrev"), QStringLiteral("<"));
    lblPage = new QLabel(QStringLiteral("Page"), gboPage);
    cboPage = new QComboBox(gboPage);
    cboPage->setObjectName(QStringLiteral("cboPage"));
    // a fixed list to pick from; editable only so that it can show page 1
    // of an empty list
    cboPage->setEditable(true);
    cboPage->setInsertPolicy(QComboBox::NoInsert);
    cboPage->lineEdit()->setReadOnly(true);
    cboPage->addItem(QStringLiteral("1"));
    lblPageCount = new QLabel(QStringLiteral("of 100"), gboPage);
    btnNext = tool(QStringLiteral("btnNext"), QStringLiteral(">"));
    btnLast = tool(QStringLiteral("btnLast"), QStringLiteral(">|"));
    lblRows = new QLabel(QStringLiteral("Rows:"), gboPage);
    cboRowPerPage = new QComboBox(gboPage);
    cboRowPerPage->setObjectName(QStringLiteral("cboRowPerPage"));
    cboRowPerPage->addItems({ QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("30"), QStringLiteral("50"),
                              QStringLiteral("100"), QStringLiteral("200"), QStringLiteral("500"),
                              QStringLiteral("1000") });
    cboRowPerPage->setCurrentIndex(1);
    lblRecordCount = new QLabel(QStringLiteral("Total : 25 records"), gboPage);
    QFont bold = lblRecordCount->font();
    bold.setBold(true);
    lblRecordCount->setFont(bold);
    for (QWidget *w :
         { static_cast<QWidget *>(btnFirst), static_cast<QWidget *>(btnPrev), static_cast<QWidget *>(lblPage),
           static_cast<QWidget *>(cboPage), static_cast<QWidget *>(lblPageCount), static_cast<QWidget *>(btnNext),
           static_cast<QWidget *>(btnLast), static_cast<QWidget *>(lblRows), static_cast<QWidget *>(cboRowPerPage),
           static_cast<QWidget *>(lblRecordCount) })
        pageLay->addWidget(w);
    pageLay->addStretch(1);
    main->addWidget(gboPage);

    Panel4 = new QWidget(this);
    Panel4->setFixedHeight(32);
    Panel4->setAutoFillBackground(true);
    QPalette white = Panel4->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel4->setPalette(white);
    auto *btnLay = new QHBoxLayout(Panel4);
    btnLay->setContentsMargins(4, 2, 4, 2);
    btnAddItem = new QPushButton(QStringLiteral("Add Item"), Panel4);
    btnAddItem->setObjectName(QStringLiteral("btnAddItem"));
    btnAddItem->setFixedWidth(144);
    btnOK = new QPushButton(QStringLiteral("OK"), Panel4);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), Panel4);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter is routed by hand (search box or grid), never by a default button
    for (QPushButton *b : { btnAddItem, btnOK, btnCancel })
        b->setAutoDefault(false);
    btnLay->addWidget(btnAddItem);
    btnLay->addStretch(1);
    btnLay->addWidget(btnOK);
    btnLay->addWidget(btnCancel);
    main->addWidget(Panel4);

    FTable = new MemTable(this);
    FTable->setReadOnly(true);
    FGridModel = new Platform::ReadOnlyModel(this);
    FGridModel->setSourceModel(FTable);
    grdData->setModel(FGridModel);
    connect(grdData->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &ACurrent) {
                if (ACurrent.isValid() && ACurrent.row() < FTable->recordCount() && !FTable->controlsDisabled())
                    safely([this, ACurrent] { FTable->setRecNo(ACurrent.row()); });
            });

    // FormCreate
    FPagination = new TPagination(cboRowPerPage, cboPage, btnFirst, btnPrev, btnNext, btnLast, lblPageCount,
                                  lblRecordCount, this);
    FPagination->SetOnPageDataChange([this] { safely([this] { LoadData(); }); });
    FErrorHandler = std::make_unique<TErrorHandler>();

    connect(edtSearchButton, &QToolButton::clicked, this, [this] { safely([this] { Search(); }); });
    connect(btnOK, &QPushButton::clicked, this, [this] { pick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(ModalResult::Cancel); });
    connect(btnAddItem, &QPushButton::clicked, this, [this] { btnAddItemClick(); });
    connect(grdData, &QTableView::doubleClicked, this, [this](const QModelIndex &AIndex) {
        // a grid frozen by a running read still shows rows the table no
        // longer has
        if (!AIndex.isValid() || AIndex.row() >= FTable->recordCount())
            return;
        if (safely([this, AIndex] { FTable->setRecNo(AIndex.row()); }))
            pick();
    });
    edtSearch->installEventFilter(this);
    grdData->installEventFilter(this);
}

TBrowseDlgFrm::~TBrowseDlgFrm() = default;

int TBrowseDlgFrm::BuildColumns(const TBrowseDlgColumns &AColumns, bool AColumnAutoWidth)
{
    // A fresh table each time, so that a second showing rebuilds rather than
    // adds to the fields and columns; a read still running into the old
    // table finds it gone and loads nothing.
    auto *table = new MemTable(this);
    table->setReadOnly(true);
    for (int i = 0; i < AColumns.Count(); ++i) {
        const TBrowseDlgColumn &c = AColumns.GetColumn(i);
        table->addField(c.FieldName, c.FieldType, c.FieldWidth, c.IsCreateColumn ? c.Caption : QString());
    }
    table->open();
    FGridModel->setSourceModel(table);
    for (QObject *child : grdData->children())
        if (dynamic_cast<AlignDelegate *>(child))
            child->deleteLater();
    delete FTable;
    FTable = table;

    int width = 0;
    QHeaderView *header = grdData->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    for (int i = 0; i < AColumns.Count(); ++i) {
        const TBrowseDlgColumn &c = AColumns.GetColumn(i);
        grdData->setItemDelegateForColumn(i, nullptr);
        if (!c.IsCreateColumn) {
            grdData->setColumnHidden(i, true);
            continue;
        }
        grdData->setColumnHidden(i, false);
        header->resizeSection(i, c.ColumnWidth);
        grdData->setItemDelegateForColumn(i, new AlignDelegate(c.HAlignment, grdData));
        width += header->sectionSize(i);
    }
    header->setSectionResizeMode(AColumnAutoWidth ? QHeaderView::Stretch : QHeaderView::Interactive);
    return width;
}

void TBrowseDlgFrm::showEvent(QShowEvent *AEvent)
{
    QDialog::showEvent(AEvent);
    if (!AEvent->spontaneous())
        safely([this] { FormShow(); });
}

void TBrowseDlgFrm::TranslateCaptions()
{
    // a title the calling screen gave the dialog is its own to keep
    if (windowTitle() == FOwnTitle) {
        FOwnTitle = sHeaderBrowseData.text();
        setWindowTitle(FOwnTitle);
    }
    lblSearch->setText(sLabelSearch.text());
    edtSearch->setPlaceholderText(sLabelSearch.text());
    lblPage->setText(sLabelPage.text());
    lblRows->setText(sLabelRows.text() + QLatin1Char(':'));
    btnAddItem->setText(sLabelAddItem.text());
    btnOK->setText(Platform::sMsgButtonOk.text());
    btnCancel->setText(sLabelCancel.text());
}

void TBrowseDlgFrm::FormShow()
{
    TranslateCaptions();
    lytMainSearchItem->setVisible(IsShowSearch);
    btnAddItem->setVisible(BrowseDlgType == bdtBrowseAdd);
    btnOK->setVisible(btnAddItem->isHidden());
    gboPage->setVisible(IsUsePagination);
    if (IsUsePagination && DefaultPageRows > 0) {
        const int index = cboRowPerPage->findText(QString::number(DefaultPageRows));
        if (index >= 0) {
            const QSignalBlocker block(cboRowPerPage);
            cboRowPerPage->setCurrentIndex(index);
        }
    }
    if (IsShowSearch)
        edtSearch->setFocus();
    else
        grdData->setFocus();
    if (IsAutoLoad)
        LoadData();
}

void TBrowseDlgFrm::LoadData()
{
    // The set is handed over to the read below whatever happens, so the
    // next load always starts from an empty one.
    std::unique_ptr<THttpParams> params = std::move(HttpParams);
    if (!params)
        params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("mode"), QStringLiteral("browse"), pdtString, ptQuery);
    params->AddParam(QStringLiteral("q"), edtSearch->text().trimmed(), pdtString, ptQuery);
    if (IsUsePagination) {
        params->AddParam(QStringLiteral("page"), cboPage->currentText(), pdtString, ptQuery);
        params->AddParam(QStringLiteral("page_rows"), cboRowPerPage->currentText(), pdtString, ptQuery);
    }
    if (!OrderBy.isEmpty())
        params->AddParam(QStringLiteral("order"), OrderBy, pdtString, ptQuery);
    RestGet(URL, FTable, std::move(params), IsUsePagination ? FPagination : nullptr, FErrorHandler.get(), nullptr,
            nullptr, true, true);
}

void TBrowseDlgFrm::Search()
{
    if (IsUsePagination)
        TPagination::ShowFirstPage(cboPage);
    LoadData();
}

void TBrowseDlgFrm::btnAddItemClick()
{
    safely([this] {
        if (OnAddItem)
            OnAddItem(FTable);
        if (OnAfterAddItem)
            OnAfterAddItem();
        if (IsReloadAfterAddItem)
            LoadData();
    });
    done(ModalResult::Ok);
}

void TBrowseDlgFrm::reject()
{
    done(ModalResult::Cancel);
}

bool TBrowseDlgFrm::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AEvent->type() != QEvent::KeyPress)
        return QDialog::eventFilter(AWatched, AEvent);
    const int key = static_cast<QKeyEvent *>(AEvent)->key();
    if (AWatched == edtSearch) {
        if (isEnter(key)) {
            safely([this] { Search(); });
            return true;
        }
        if (key == Qt::Key_Down) {
            grdData->setFocus();
            return true;
        }
    } else if (AWatched == grdData) {
        if (isEnter(key)) {
            if (btnOK->isVisible())
                btnOK->click();
            return true;
        }
        if (key == Qt::Key_Up && IsShowSearch && FTable->recNo() <= 0) {
            edtSearch->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(AWatched, AEvent);
}

void TBrowseDlgFrm::pick()
{
    // nothing to pick from an empty list, nor while a read runs: it has
    // emptied the table, or, behind an earlier read still running, left the
    // grid frozen, where a click does not move the current row
    if (FTable->recordCount() == 0 || FTable->controlsDisabled())
        return;
    hide();
    done(ModalResult::Ok);
}

bool TBrowseDlgFrm::safely(const std::function<void()> &AAction)
{
    // the dialog stays open
    return GuardUserAction(AAction);
}

// ---- TBrowseDlg ------------------------------------------------------------

TBrowseDlg::TBrowseDlg(TBrowseDlgType AType, const QString &AURL, bool AShowSearch,
                       std::unique_ptr<THttpParams> AHttpParams)
    : FColumns(std::make_unique<TBrowseDlgColumns>())
    , FBrowseDlgType(AType)
    , FShowSearch(AShowSearch)
    , FURL(AURL)
    , FBrowseDlgFrm(std::make_unique<TBrowseDlgFrm>())
    , FHttpParams(std::move(AHttpParams))
{ }

TBrowseDlg::~TBrowseDlg() = default;

void TBrowseDlg::SetDefaultPageRows(int AValue)
{
    if (!RowsPerPageChoices.contains(QLatin1Char('"') + QString::number(AValue) + QLatin1Char('"')))
        throw Platform::Error(QStringLiteral("Invalid Default Page Rows."));
    FDefaultPageRows = AValue;
}

MemTable *TBrowseDlg::Dataset() const
{
    return FBrowseDlgFrm ? FBrowseDlgFrm->tblData() : nullptr;
}

int TBrowseDlg::ShowModal()
{
    TBrowseDlgFrm &frm = *FBrowseDlgFrm;
    frm.hide();
    frm.IsAutoLoad = FAutoLoad;
    frm.IsReloadAfterAddItem = FReloadAfterAddItem;
    frm.IsShowSearch = FShowSearch;
    frm.IsUsePagination = FUsePagination;
    frm.BrowseDlgType = FBrowseDlgType;
    frm.URL = FURL;
    // The caller's set goes with the first load only.
    if (FHttpParams)
        frm.HttpParams = std::move(FHttpParams);
    frm.IsColumnAutoWidth = FColumnAutoWidth;
    frm.OrderBy = FOrderBy;
    frm.DefaultPageRows = FDefaultPageRows;

    int width = frm.BuildColumns(*FColumns, FColumnAutoWidth);
    width += 30;
    if (FUsePagination && width < 500)
        width = 500;
    frm.resize(FWidth != 0 ? FWidth : width, FHeight != 0 ? FHeight : frm.height());

    frm.OnAddItem = FOnAddItem;
    frm.OnAfterAddItem = FOnAfterAddItem;
    const int result = Platform::dialogPresenter().showModal(frm);
    frm.hide();
    return result == ModalResult::Ok ? ModalResult::Ok : ModalResult::Cancel;
}
