#include "CustomerListFrmU.h"

#include "ReadOnlyModel.h"

#include "AccessDetailsU.h"
#include "BrowseDlgU.h"
#include "CrmResU.h"
#include "CrmUtilsU.h"
#include "CustomerEntryFrmU.h"
#include "DataUtilsU.h"
#include "ErrorHandlerU.h"
#include "LangResU.h"
#include "MemTable.h"
#include "MenuListU.h"
#include "PaginationU.h"
#include "TranslationU.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <iterator>

using Platform::MemTable;
using FieldType = Platform::MemTable::FieldType;

namespace {

const QString CustomersUrl = QStringLiteral("/crm/v1/master/customers");

// The grid's columns: the table's fields in order, named as the server's
// row members. A column without a caption is not shown.
struct Column
{
    const char *field;
    FieldType type;
    const Platform::ResourceString *caption;
    int width;
};

const Column Columns[] = {
    { "partner_id", FieldType::Integer, nullptr, 0 },
    { "partner_code", FieldType::String, &sLabelCustomerCode, 110 },
    { "partner_name", FieldType::String, &sLabelCustomerName, 240 },
    { "industry", FieldType::String, &sLabelIndustry, 130 },
    { "address", FieldType::String, nullptr, 0 },
    { "city", FieldType::String, &sLabelCity, 110 },
    { "phone", FieldType::String, &sLabelPhone, 120 },
    { "email", FieldType::String, &sLabelEmail, 190 },
    { "website", FieldType::String, nullptr, 0 },
    { "is_active", FieldType::Boolean, &sLabelActive, 60 },
    { "updated_at", FieldType::DateTime, &sLabelUpdatedAt, 130 },
    { "updated_by", FieldType::String, &sLabelUpdatedBy, 140 },
};

const char *const PageSizes[] = { "10", "20", "50", "100", "200", "500", "1000" };
const char DefaultPageSize[] = "20";

QIcon themeIcon(const char *AName, QStyle *AStyle, QStyle::StandardPixmap AFallback)
{
    return QIcon::fromTheme(QLatin1String(AName), AStyle->standardIcon(AFallback));
}

} // namespace

TCustomerListFrm::TCustomerListFrm(QWidget *AOwner)
    : TBaseChildFrm(AOwner)
{
    setObjectName(QStringLiteral("CustomerListFrm"));
    setWindowTitle(sHeaderCustomers.text());
    ErrorHandler = std::make_unique<TErrorHandler>();

    FCustomers = new MemTable(this);
    FCustomers->setObjectName(QStringLiteral("mtCustomers"));
    for (const Column &c : Columns)
        FCustomers->addField(QLatin1String(c.field), c.type);
    FCustomers->open();

    CreateControls();
    FPagination =
        new TPagination(cboPageSize, cboPage, btnFirst, btnPrev, btnNext, btnLast, lblPageCount, lblRecordCount, this);
    FPagination->SetOnPageDataChange([this] { LoadData(); });

    RegisterAccessDetails();
    TranslationChanged();
    Platform::ResourceStringRepository::instance().addListener(this);
    // nothing is read before the screen is first shown
    SetDataMode(dmEmpty);
}

void TCustomerListFrm::CreateControls()
{
    resize(1000, 600);

    tbMain = new QToolBar(this);
    tbMain->setObjectName(QStringLiteral("tbMain"));
    tbMain->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbMain->setMovable(false);
    actAdd = tbMain->addAction(themeIcon("document-new", style(), QStyle::SP_FileIcon), QString());
    actAdd->setObjectName(QStringLiteral("actAdd"));
    actAdd->setShortcut(QKeySequence::New);
    actEdit = tbMain->addAction(themeIcon("document-edit", style(), QStyle::SP_FileDialogDetailedView), QString());
    actEdit->setObjectName(QStringLiteral("actEdit"));
    actFind = tbMain->addAction(themeIcon("edit-find", style(), QStyle::SP_FileDialogContentsView), QString());
    actFind->setObjectName(QStringLiteral("actFind"));
    actFind->setShortcut(QKeySequence::Find);
    tbMain->addSeparator();
    actRefresh = tbMain->addAction(themeIcon("view-refresh", style(), QStyle::SP_BrowserReload), QString());
    actRefresh->setObjectName(QStringLiteral("actRefresh"));
    actRefresh->setShortcut(QKeySequence::Refresh);
    connect(actAdd, &QAction::triggered, this, [this] { actAddExecute(); });
    connect(actEdit, &QAction::triggered, this, [this] { actEditExecute(); });
    connect(actRefresh, &QAction::triggered, this, [this] { actRefreshExecute(); });
    connect(actFind, &QAction::triggered, this, [this] { actFindExecute(); });

    lblSearch = new QLabel(this);
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    edtSearch->setClearButtonEnabled(true);
    edtSearch->setMinimumWidth(320);
    lblSearch->setBuddy(edtSearch);
    connect(edtSearch, &QLineEdit::returnPressed, this, [this] { edtSearchKeyPress(); });

    lblStatus = new QLabel(this);
    cboStatus = new QComboBox(this);
    cboStatus->setObjectName(QStringLiteral("cboStatus"));
    // all, active, not active: the index is the server's "status" value;
    // the texts come from TranslateStatusComboBox
    cboStatus->addItems({ QString(), QString(), QString() });
    cboStatus->setMinimumWidth(120);
    lblStatus->setBuddy(cboStatus);
    connect(cboStatus, &QComboBox::currentIndexChanged, this, [this] { cboStatusChange(); });

    auto *filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(8, 6, 8, 6);
    filterRow->addWidget(lblSearch);
    filterRow->addWidget(edtSearch, 1);
    filterRow->addSpacing(16);
    filterRow->addWidget(lblStatus);
    filterRow->addWidget(cboStatus);
    filterRow->addStretch(1);

    tvData = new QTableView(this);
    tvData->setObjectName(QStringLiteral("tvData"));
    // a read leaves the table writable: the grid must not toggle Boolean cells
    auto *gridModel = new Platform::ReadOnlyModel(tvData);
    gridModel->setSourceModel(FCustomers);
    tvData->setModel(gridModel);
    tvData->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvData->setSelectionMode(QAbstractItemView::SingleSelection);
    tvData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvData->setAlternatingRowColors(true);
    tvData->setWordWrap(false);
    tvData->verticalHeader()->hide();
    tvData->verticalHeader()->setDefaultSectionSize(24);
    tvData->horizontalHeader()->setStretchLastSection(true);
    tvData->horizontalHeader()->setHighlightSections(false);
    for (int i = 0; i < int(std::size(Columns)); ++i) {
        if (Columns[i].caption)
            tvData->setColumnWidth(i, Columns[i].width);
        else
            tvData->setColumnHidden(i, true);
    }
    connect(tvData, &QTableView::doubleClicked, this, [this] {
        if (actEdit->isEnabled())
            actEditExecute();
    });

    auto navButton = [this](const char *AName, QStyle::StandardPixmap AIcon) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(AName));
        button->setIcon(style()->standardIcon(AIcon));
        button->setAutoRaise(true);
        return button;
    };
    btnFirst = navButton("btnFirst", QStyle::SP_MediaSkipBackward);
    btnPrev = navButton("btnPrev", QStyle::SP_MediaSeekBackward);
    btnNext = navButton("btnNext", QStyle::SP_MediaSeekForward);
    btnLast = navButton("btnLast", QStyle::SP_MediaSkipForward);
    lblPage = new QLabel(this);
    cboPage = new QComboBox(this);
    cboPage->setObjectName(QStringLiteral("cboPage"));
    // editable, so that a page number can be typed and page 1 of an empty
    // list still shows
    cboPage->setEditable(true);
    cboPage->setInsertPolicy(QComboBox::NoInsert);
    cboPage->setMinimumWidth(70);
    lblPageCount = new QLabel(this);
    lblPageCount->setObjectName(QStringLiteral("lblPageCount"));
    lblRows = new QLabel(this);
    cboPageSize = new QComboBox(this);
    cboPageSize->setObjectName(QStringLiteral("cboPageSize"));
    for (const char *size : PageSizes)
        cboPageSize->addItem(QLatin1String(size));
    cboPageSize->setCurrentText(QLatin1String(DefaultPageSize));
    lblRecordCount = new QLabel(this);
    lblRecordCount->setObjectName(QStringLiteral("lblRecordCount"));

    auto *pagingRow = new QHBoxLayout;
    pagingRow->setContentsMargins(8, 4, 8, 6);
    pagingRow->addWidget(btnFirst);
    pagingRow->addWidget(btnPrev);
    pagingRow->addWidget(lblPage);
    pagingRow->addWidget(cboPage);
    pagingRow->addWidget(lblPageCount);
    pagingRow->addWidget(btnNext);
    pagingRow->addWidget(btnLast);
    pagingRow->addSpacing(16);
    pagingRow->addWidget(lblRows);
    pagingRow->addWidget(cboPageSize);
    pagingRow->addStretch(1);
    pagingRow->addWidget(lblRecordCount);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(tbMain);
    root->addLayout(filterRow);
    root->addWidget(tvData, 1);
    root->addLayout(pagingRow);
}

void TCustomerListFrm::RegisterAccessDetails()
{
    // Actions per mode, in the order browse, add, edit, detail, custom 1
    // (dmLoading), custom 2 (dmEmpty). Nothing starts while a read runs, and
    // Edit needs a row. The list is never in add, edit or detail mode.
    TAccessDetails *access = AccessDetails();
    access->AddControl(QStringLiteral("crud"), actAdd, caEnabled, caDisabled, caDisabled, caDisabled, caDisabled,
                       caEnabled);
    access->AddControl(QStringLiteral("crud"), actEdit, caEnabled, caDisabled, caDisabled, caDisabled, caDisabled,
                       caDisabled);
    // Find reads for itself: only a running read of the list holds it back
    access->AddControl(QStringLiteral("crud"), actFind, caEnabled, caDisabled, caDisabled, caDisabled, caDisabled,
                       caEnabled);
    access->AddControl(QStringLiteral("crud"), actRefresh, caEnabled, caDisabled, caDisabled, caDisabled, caDisabled,
                       caEnabled);
}

void TCustomerListFrm::TranslationChanged()
{
    TTranslation::TranslateControl(actAdd, sLabelAdd, false);
    TTranslation::TranslateControl(actEdit, sLabelEdit, false);
    TTranslation::TranslateControl(actRefresh, sLabelRefresh, false);
    TTranslation::TranslateControl(actFind, sLabelFind, false);
    TTranslation::TranslateSearch(
        lblSearch, edtSearch,
        { sLabelCustomerCode.text(), sLabelCustomerName.text(), sLabelCity.text(), sLabelEmail.text() });
    TTranslation::TranslateControl(lblStatus, sLabelStatus, true);
    TTranslation::TranslateStatusComboBox(cboStatus);
    for (int i = 0; i < int(std::size(Columns)); ++i) {
        if (Columns[i].caption)
            TTranslation::TranslateControl(FCustomers, i, *Columns[i].caption, false);
    }
    TTranslation::TranslateControl(lblPage, sLabelPage, false);
    TTranslation::TranslateControl(lblRows, sLabelRows, false);
    btnFirst->setToolTip(sLabelFirstPage.text());
    btnPrev->setToolTip(sLabelPrevPage.text());
    btnNext->setToolTip(sLabelNextPage.text());
    btnLast->setToolTip(sLabelLastPage.text());
}

void TCustomerListFrm::showEvent(QShowEvent *AEvent)
{
    TBaseChildFrm::showEvent(AEvent);
    // the menu entry (Data) is attached after construction, before the
    // first showing
    if (!IsInitLoad) {
        IsInitLoad = true;
        RunAction([this] {
            ApplyMenuParams();
            LoadData(1);
        });
    }
}

void TCustomerListFrm::ApplyMenuParams()
{
    if (!Data)
        return;
    // no reload for each preset: the first read follows
    const QSignalBlocker blocker(cboStatus);
    const int count = int(Data->Params.split(QLatin1Char(',')).size());
    for (int i = 0; i < count; ++i) {
        const QString param = GetParams(i);
        if (param.startsWith(QLatin1String("status="))) {
            bool ok = false;
            const int status = param.mid(7).toInt(&ok);
            if (ok && status >= 0 && status < cboStatus->count())
                cboStatus->setCurrentIndex(status);
        }
    }
}

void TCustomerListFrm::LoadData(int APage)
{
    QString page = APage > 0 ? QString::number(APage) : cboPage->currentText().trimmed();
    if (page.isEmpty())
        page = QStringLiteral("1");
    auto params = std::make_unique<THttpParams>();
    params->AddParamsType1(QStringLiteral("list"), edtSearch->text().trimmed(), cboStatus->currentIndex(), page,
                           cboPageSize->currentText());

    IsLoading = true;
    SetDataMode(dmLoading);
    // The read belongs to FCustomers, so to this screen: its callbacks come
    // back only while the screen exists. A slow list can be cancelled from
    // the wait dialog; it then completes with an empty table. A search sent
    // before the dialog is up (it waits a moment) makes a second read into
    // the table: only the latest one loads, and ReadFinished waits for both.
    RestGet(
        CustomersUrl, FCustomers, std::move(params), FPagination, ErrorHandler.get(), [this] { ReadFinished(); },
        [this](int AStatus, const QString &AText) {
            ErrorHandler->ShowErrorMessage(AStatus, AText);
            ReadFinished();
        },
        true, true);
}

void TCustomerListFrm::ReadFinished()
{
    // A read still holds the table frozen: the latest one, still running
    // (a search typed while a page was loading), or this one reporting a
    // failure answer before its completion. Either ends later.
    if (FCustomers->controlsDisabled())
        return;
    if (!IsLoading) {
        // An earlier read that ends after the latest one thaws the grid
        // last, and the thaw drops the row the latest one selected: without
        // a current row Edit would do nothing.
        if (FCustomers->recordCount() > 0 && !tvData->currentIndex().isValid())
            tvData->selectRow(0);
        return;
    }
    IsLoading = false;
    // the grid is for looking; Edit changes a customer
    FCustomers->setReadOnly(true);
    if (FCustomers->recordCount() > 0) {
        tvData->selectRow(0);
        SetDataMode(dmBrowse);
    } else {
        SetDataMode(dmEmpty);
    }
}

int TCustomerListFrm::SelectedPartnerId() const
{
    const QModelIndex current = tvData->currentIndex();
    if (!current.isValid())
        return 0;
    return FCustomers->cell(current.row(), FCustomers->fieldIndex(QStringLiteral("partner_id"))).toInt();
}

void TCustomerListFrm::OpenEntry(int APartnerId)
{
    // a screen shown modally is released by whoever showed it
    auto entry = std::make_unique<TCustomerEntryFrm>(this);
    entry->Data = Data;
    if (APartnerId > 0)
        entry->StartEdit(APartnerId);
    if (entry->ShowModal() == Platform::ModalResult::Ok)
        LoadData();
}

void TCustomerListFrm::actAddExecute()
{
    RunAction([this] { OpenEntry(0); });
}

void TCustomerListFrm::actEditExecute()
{
    RunAction([this] {
        if (const int partnerId = SelectedPartnerId(); partnerId > 0)
            OpenEntry(partnerId);
    });
}

void TCustomerListFrm::actRefreshExecute()
{
    RunAction([this] { LoadData(); });
}

void TCustomerListFrm::actFindExecute()
{
    RunAction([this] {
        // every customer, searched and paged by the dialog itself; the
        // picked row is the dialog's current one
        TBrowseDlg dlg(bdtBrowse, CustomersUrl, true);
        TBrowseDlgColumns &columns = dlg.Columns();
        columns.AddColumn(QStringLiteral("partner_id"), FieldType::Integer, 0, false, QString(), 0, Qt::AlignLeft,
                          QString());
        columns.AddColumn(QStringLiteral("partner_code"), FieldType::String, 20, true, sLabelCustomerCode.text(), 110,
                          Qt::AlignLeft, QString());
        columns.AddColumn(QStringLiteral("partner_name"), FieldType::String, 100, true, sLabelCustomerName.text(), 260,
                          Qt::AlignLeft, QString());
        columns.AddColumn(QStringLiteral("city"), FieldType::String, 100, true, sLabelCity.text(), 130, Qt::AlignLeft,
                          QString());
        dlg.SetUsePagination(true);
        dlg.SetDefaultPageRows(20);
        dlg.SetOrderBy(QStringLiteral("partner_name"));
        dlg.Form()->setWindowTitle(sHeaderFindCustomer.text());
        if (dlg.ShowModal() != Platform::ModalResult::Ok)
            return;
        if (const int partnerId = dlg.Dataset()->value(QStringLiteral("partner_id")).toInt(); partnerId > 0)
            OpenEntry(partnerId);
    });
}

void TCustomerListFrm::edtSearchKeyPress()
{
    RunAction([this] { LoadData(1); });
}

void TCustomerListFrm::cboStatusChange()
{
    RunAction([this] { LoadData(1); });
}
