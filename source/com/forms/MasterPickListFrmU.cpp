#include "MasterPickListFrmU.h"

#include "ComLookupsU.h"
#include "DialogPresenter.h"
#include "ErrorHandlerU.h"
#include "MsgDlgU.h"
#include "PaginationU.h"

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
namespace ModalResult = Platform::ModalResult;

TMasterPickListFrm::TMasterPickListFrm(const QString &ACaption, const QSize &AClientSize, bool AWithSearch,
                                       bool APaged, QWidget *AParent)
    : QDialog(AParent), FErrorHandler(std::make_unique<TErrorHandler>())
{
    setWindowTitle(ACaption);
    resize(AClientSize);
    auto *main = new QVBoxLayout(this);
    FFilterArea = new QVBoxLayout;
    main->addLayout(FFilterArea);

    if (AWithSearch) {
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Search:"), this));
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
    grdData->setModel(tblData);
    main->addWidget(grdData, 1);
    connect(grdData->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &ACurrent) {
                if (ACurrent.isValid() && ACurrent.row() < tblData->recordCount() && !tblData->controlsDisabled())
                    safely([this, ACurrent] { tblData->setRecNo(ACurrent.row()); });
            });
    connect(grdData, &QTableView::doubleClicked, this, [this](const QModelIndex &AIndex) {
        if (!AIndex.isValid())
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
        cboPage->setEditable(true);
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
        bottom->addWidget(new QLabel(QStringLiteral("Rows:"), this));
        bottom->addWidget(cboRowPerPage);
        FPagination =
            new TPagination(cboRowPerPage, cboPage, btnFirst, btnPrev, btnNext, btnLast, lblPageCount, this);
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
        for (const GridColumn &c : AColumns)
            if (c.FieldName == f.Name)
                caption = c.Caption;
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
        grdData->setColumnHidden(logical, AColumns[pos].Caption.isEmpty());
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

void TMasterPickListFrm::done(int AResult)
{
    // a pick needs something to pick
    if (AResult != ModalResult::Cancel && tblData->recordCount() == 0)
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
        safely([this] { FormShow(); });
}

bool TMasterPickListFrm::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    if (AWatched == edtSearch && AEvent->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(AEvent)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            safely([this] { LoadData(); });
            return true;
        }
    }
    return QDialog::eventFilter(AWatched, AEvent);
}

void TMasterPickListFrm::safely(const std::function<void()> &AAction)
{
    try {
        AAction();
    } catch (const std::exception &e) {
        MsgErr(QString::fromUtf8(e.what()));
    } catch (...) {
        MsgErr(QStringLiteral("Udefined Error."));
    }
}
