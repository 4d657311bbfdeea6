#include "MasterPickListFrmU.h"

#include "BrowseDlgU.h"
#include "ComLookupsU.h"
#include "DialogPresenter.h"
#include "ErrorHandlerU.h"
#include "LangResU.h"
#include "MsgDlgU.h"
#include "PaginationU.h"
#include "ReadOnlyModel.h"
#include "TranslationU.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using Platform::MemTable;
using Platform::ResourceString;
namespace ModalResult = Platform::ModalResult;

const ResourceString sHeaderCostCenterList = { "sHeaderCostCenterList", "Cost Center List" };
const ResourceString sHeaderEmpList = { "sHeaderEmpList", "Employee List" };
const ResourceString sHeaderItemList = { "sHeaderItemList", "Item List" };
const ResourceString sHeaderLocationList = { "sHeaderLocationList", "Location List" };
const ResourceString sLabelCostCenter = { "sLabelCostCenter", "Cost Center" };
const ResourceString sLabelGender = { "sLabelGender", "Gender" };
const ResourceString sLabelOrganization = { "sLabelOrganization", "Organization" };
const ResourceString sLabelItemName = { "sLabelItemName", "Item Name" };
const ResourceString sLabelUnitOfMaterials = { "sLabelUnitOfMaterials", "Unit Of Materials" };
const ResourceString sLabelCategory = { "sLabelCategory", "Category" };
const ResourceString sLabelMaterial = { "sLabelMaterial", "Material" };
const ResourceString sLabelSpecification = { "sLabelSpecification", "Specification" };
const ResourceString sLabelLocationType = { "sLabelLocationType", "Location Type" };
const ResourceString sLabelBuilding = { "sLabelBuilding", "Building" };
const ResourceString sLabelProject = { "sLabelProject", "Project" };
const ResourceString sLabelVendor = { "sLabelVendor", "Vendor" };
const ResourceString sLabelLocDetName = { "sLabelLocDetName", "Location Detail Name" };
const ResourceString sLabelLocDetDesc = { "sLabelLocDetDesc", "Location Detail Description" };

QList<const ResourceString *> PickListResourceStrings()
{
    return { &sHeaderBrowseData,  &sLabelAddItem,       &sHeaderCostCenterList, &sHeaderEmpList,
             &sHeaderItemList,    &sHeaderLocationList, &sLabelCostCenter,      &sLabelGender,
             &sLabelOrganization, &sLabelItemName,      &sLabelUnitOfMaterials, &sLabelCategory,
             &sLabelMaterial,     &sLabelSpecification, &sLabelLocationType,    &sLabelBuilding,
             &sLabelProject,      &sLabelVendor,        &sLabelLocDetName,      &sLabelLocDetDesc };
}

TMasterPickListFrm::TMasterPickListFrm(const ResourceString &ACaption, const QSize &AClientSize, bool AWithSearch,
                                       bool APaged, QWidget *AParent)
    : QDialog(AParent)
    , FErrorHandler(std::make_unique<TErrorHandler>())
    , FCaption(&ACaption)
{
    setWindowTitle(ACaption.text());
    resize(AClientSize);
    auto *main = new QVBoxLayout(this);
    FFilterArea = new QVBoxLayout;
    main->addLayout(FFilterArea);

    if (AWithSearch) {
        auto *row = new QHBoxLayout;
        lblSearch = new QLabel(QStringLiteral("Search:"), this);
        row->addWidget(lblSearch);
        edtSearch = new QLineEdit(this);
        edtSearch->setObjectName(QStringLiteral("edtSearch"));
        edtSearch->setPlaceholderText(QStringLiteral("Search"));
        row->addWidget(edtSearch, 1);
        edtSearchButton = new QToolButton(this);
        edtSearchButton->setObjectName(QStringLiteral("edtSearchButton"));
        edtSearchButton->setText(QStringLiteral("..."));
        edtSearchButton->setFocusPolicy(Qt::NoFocus);
        edtSearchButton->setVisible(false);
        row->addWidget(edtSearchButton);
        FFilterArea->addLayout(row);
        edtSearch->installEventFilter(this);
    }

    tblData = new MemTable(this);
    grdData = new QTableView(this);
    grdData->setObjectName(QStringLiteral("grdData"));
    grdData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdData->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdData->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // the reads make tblData writable while they fill it; the grid never is
    auto *gridModel = new Platform::ReadOnlyModel(this);
    gridModel->setSourceModel(tblData);
    grdData->setModel(gridModel);
    main->addWidget(grdData, 1);
    connect(grdData->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &ACurrent) {
                if (ACurrent.isValid() && ACurrent.row() < tblData->recordCount() && !tblData->controlsDisabled())
                    safely([this, ACurrent] { tblData->setRecNo(ACurrent.row()); });
            });
    connect(grdData, &QTableView::doubleClicked, this, [this](const QModelIndex &AIndex) {
        // a grid frozen by a running read still shows rows the table no
        // longer has
        if (!AIndex.isValid() || AIndex.row() >= tblData->recordCount())
            return;
        safely([this, AIndex] { tblData->setRecNo(AIndex.row()); });
        done(ModalResult::Ok);
    });

    auto *bottom = new QHBoxLayout;
    if (APaged) {
        auto tool = [this](const QString &AName, const QString &AText) {
            auto *b = new QToolButton(this);
            b->setObjectName(AName);
            b->setText(AText);
            return b;
        };
        btnFirst = tool(QStringLiteral("btnFirst"), QStringLiteral("|<"));
        btnPrev = tool(QStringLiteral("btnPrev"), QStringLiteral("<"));
        cboPage = new QComboBox(this);
        cboPage->setObjectName(QStringLiteral("cboPage"));
        // a fixed list to pick from; editable only to show page 1 of an
        // empty list
        cboPage->setEditable(true);
        cboPage->setInsertPolicy(QComboBox::NoInsert);
        cboPage->lineEdit()->setReadOnly(true);
        lblPageCount = new QLabel(QStringLiteral("of"), this);
        btnNext = tool(QStringLiteral("btnNext"), QStringLiteral(">"));
        btnLast = tool(QStringLiteral("btnLast"), QStringLiteral(">|"));
        cboRowPerPage = new QComboBox(this);
        cboRowPerPage->setObjectName(QStringLiteral("cboRowPerPage"));
        cboRowPerPage->addItems({ QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("30"),
                                  QStringLiteral("50"), QStringLiteral("100"), QStringLiteral("500") });
        bottom->addWidget(btnFirst);
        bottom->addWidget(btnPrev);
        bottom->addWidget(cboPage);
        bottom->addWidget(lblPageCount);
        bottom->addWidget(btnNext);
        bottom->addWidget(btnLast);
        lblRows = new QLabel(QStringLiteral("Rows:"), this);
        bottom->addWidget(lblRows);
        bottom->addWidget(cboRowPerPage);
        FPagination = new TPagination(cboRowPerPage, cboPage, btnFirst, btnPrev, btnNext, btnLast, lblPageCount, this);
        FPagination->SetOnPageDataChange([this] { safely([this] { LoadData(); }); });
    }
    bottom->addStretch(1);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton *b : { btnOK, btnCancel }) {
        b->setFixedSize(59, 21);
        b->setAutoDefault(false);
        bottom->addWidget(b);
    }
    main->addLayout(bottom);
    connect(btnOK, &QPushButton::clicked, this, [this] { done(ModalResult::Ok); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(ModalResult::Cancel); });
}

TMasterPickListFrm::~TMasterPickListFrm() = default;

void TMasterPickListFrm::defineData(const QList<Field> &AFields, const QList<GridColumn> &AColumns)
{
    for (const Field &f : AFields) {
        QString caption;
        for (const GridColumn &c : AColumns) {
            if (c.FieldName == f.Name && c.Caption) {
                caption = c.Caption->text();
                FColumnCaptions.append({ int(tblData->fieldCount()), c.Caption });
            }
        }
        tblData->addField(f.Name, f.Type, f.Size, caption);
    }
    tblData->open();
    tblData->setReadOnly(true);
    QHeaderView *header = grdData->horizontalHeader();
    for (int i = 0; i < tblData->fieldCount(); ++i)
        grdData->setColumnHidden(i, true);
    for (int pos = 0; pos < AColumns.size(); ++pos) {
        const int logical = tblData->fieldIndex(AColumns[pos].FieldName);
        if (logical < 0)
            continue;
        header->moveSection(header->visualIndex(logical), pos);
        grdData->setColumnHidden(logical, !AColumns[pos].Caption);
    }
}

void TMasterPickListFrm::lookupLoad(const QString &AUrl, std::unique_ptr<THttpParams> AParams)
{
    QPointer<MemTable> table = tblData;
    TErrorHandler *handler = FErrorHandler.get();
    QPointer<TMasterPickListFrm> self = this;
    RestGet(
        AUrl, tblData, std::move(AParams), nullptr, handler,
        [table] {
            if (table && table->recordCount() > 0)
                table->first();
        },
        [self, handler](int AStatus, const QString &ABody) {
            if (AStatus == 401) {
                MsgErr(metSessionExpired);
                return;
            }
            // a server's error envelope as written, an error page by its
            // status, no answer by what happened
            if (self)
                handler->ShowErrorBody(AStatus, ABody);
        },
        true, true);
}

void TMasterPickListFrm::pagedLoad(const QString &AUrl)
{
    DataList(AUrl, tblData, QString(), edtSearch ? edtSearch->text() : QString(), 1, FPagination,
             cboPage->currentText(), cboRowPerPage->currentText());
}

void TMasterPickListFrm::Search()
{
    TPagination::ShowFirstPage(cboPage);
    LoadData();
}

void TMasterPickListFrm::done(int AResult)
{
    // a pick needs something to pick, and no read running: a grid frozen
    // by one does not move the current row
    if (AResult != ModalResult::Cancel && (tblData->recordCount() == 0 || tblData->controlsDisabled()))
        return;
    QDialog::done(AResult);
}

void TMasterPickListFrm::reject()
{
    done(ModalResult::Cancel);
}

void TMasterPickListFrm::showEvent(QShowEvent *AEvent)
{
    QDialog::showEvent(AEvent);
    if (!AEvent->spontaneous())
        safely([this] {
            TranslateCaptions();
            FormShow();
        });
}

void TMasterPickListFrm::TranslateCaptions()
{
    setWindowTitle(FCaption->text());
    if (lblSearch) {
        lblSearch->setText(sLabelSearch.text() + QLatin1Char(':'));
        edtSearch->setPlaceholderText(sLabelSearch.text());
    }
    if (lblRows)
        lblRows->setText(sLabelRows.text() + QLatin1Char(':'));
    for (const auto &[field, caption] : std::as_const(FColumnCaptions))
        TTranslation::TranslateControl(tblData, field, *caption, false);
    btnOK->setText(Platform::sMsgButtonOk.text());
    btnCancel->setText(sLabelCancel.text());
}

bool TMasterPickListFrm::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AWatched == edtSearch && AEvent->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(AEvent)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            safely([this] { Search(); });
            return true;
        }
    }
    return QDialog::eventFilter(AWatched, AEvent);
}

void TMasterPickListFrm::safely(const std::function<void()> &AAction)
{
    GuardUserAction(AAction);
}
