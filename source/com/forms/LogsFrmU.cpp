#include "LogsFrmU.h"

#include "LangResU.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TLogsFrm::TLogsFrm(QWidget *AOwner)
    : QDialog(AOwner)
{
    setObjectName(QStringLiteral("LogsFrm"));
    setWindowTitle(QStringLiteral("Update Logs"));
    resize(737, 426);

    pnlTop = new QFrame(this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    lblTitle = new QLabel(pnlTop);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    lblTitle->setFont(titleFont);
    auto *topLayout = new QHBoxLayout(pnlTop);
    topLayout->addWidget(lblTitle);

    tvData = new QTableWidget(0, 4, this);
    tvData->setObjectName(QStringLiteral("tvData"));
    tvData->setHorizontalHeaderLabels(
        { QStringLiteral("Date"), QStringLiteral("User"), QStringLiteral("Action"), QStringLiteral("Data") });
    tvData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvData->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvData->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvData->setWordWrap(true);
    tvData->setTextElideMode(Qt::ElideNone);
    tvData->verticalHeader()->hide();
    // columns share the width; Data takes what the others leave and wraps
    QHeaderView *header = tvData->horizontalHeader();
    header->setSectionResizeMode(colDate, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(colUser, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(colAction, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(colData, QHeaderView::Stretch);
    // rows grow with their text, also when the window is resized
    tvData->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pnlTop);
    layout->addWidget(tvData, 1);
    layout->addLayout(bottom);

    auto action = [this](const char *name, const char *text) {
        auto *a = new QAction(QString::fromLatin1(text), this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    actAdd = action("actAdd", "Add");
    actEdit = action("actEdit", "Edit");
    actDelete = action("actDelete", "Delete");
    actDetail = action("actDetail", "Detail");
    actAddDetail = action("actAddDetail", "Add");
    actAddExisting = action("actAddExisting", "Add Existing");
    actDeleteDetail = action("actDeleteDetail", "Delete");
    actSave = action("actSave", "Save");
    actCancel = action("actCancel", "Cancel");
    actBack = action("actBack", "Back");
}

TLogsFrm::~TLogsFrm() = default;

int TLogsFrm::AddLog(const QString &ADate, const QString &AUser, const QString &AAction, const QString &AData)
{
    const int row = tvData->rowCount();
    tvData->insertRow(row);
    tvData->setItem(row, colDate, new QTableWidgetItem(ADate));
    tvData->setItem(row, colUser, new QTableWidgetItem(AUser));
    tvData->setItem(row, colAction, new QTableWidgetItem(AAction));
    tvData->setItem(row, colData, new QTableWidgetItem(AData));
    return row;
}

void TLogsFrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TLogsFrm::FormShow()
{
    lblTitle->setText(Header + QLatin1Char(' ') + sLabelUpdateLogs.text());
}
