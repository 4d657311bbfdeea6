#pragma once

#include "com_global.h"

#include <QDialog>
#include <QString>

class QAction;
class QFrame;
class QLabel;
class QPushButton;
class QTableWidget;

// "Update Logs": the change history of one document, read-only. The caller
// fills the rows (AddLog, or tvData directly) and shows it modally; Close
// ends it with the OK result.
class COM_EXPORT TLogsFrm : public QDialog
{
    Q_OBJECT
public:
    enum TLogsColumn : int { colDate, colUser, colAction, colData };

    explicit TLogsFrm(QWidget *AOwner = nullptr);
    ~TLogsFrm() override;

    // The document reference shown in the title.
    QString Header;

    // Appends one row; returns its index.
    int AddLog(const QString &ADate, const QString &AUser, const QString &AAction, const QString &AData);

    QFrame *pnlTop;
    QLabel *lblTitle;
    QTableWidget *tvData;
    QPushButton *btnClose;

    // Kept for screens that share the form's actions; none has a handler.
    QAction *actAdd;
    QAction *actEdit;
    QAction *actDelete;
    QAction *actDetail;
    QAction *actAddDetail;
    QAction *actAddExisting;
    QAction *actDeleteDetail;
    QAction *actSave;
    QAction *actCancel;
    QAction *actBack;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
};
