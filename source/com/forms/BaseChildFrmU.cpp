#include "BaseChildFrmU.h"

#include "AccessDetailsU.h"
#include "DialogPresenter.h"
#include "ErrorHandlerU.h"
#include "MenuListU.h"
#include "MsgDlgU.h"

#include <QCloseEvent>
#include <QDialog>
#include <QFont>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVBoxLayout>
#include <exception>

const Platform::ResourceString sMsgCloseUnsavedConfirm { "sMsgCloseUnsavedConfirm",
                                                         "Data has not been saved. Close anyway?" };

// The sub-window of a screen shown as a child window. It lets the screen know
// when it goes first, so that the screen does not release it a second time.
class TChildSubWindow : public QMdiSubWindow
{
public:
    explicit TChildSubWindow(QWidget *AParent)
        : QMdiSubWindow(AParent)
    { }
    ~TChildSubWindow() override
    {
        if (auto *form = qobject_cast<TBaseChildFrm *>(widget()))
            form->FSubWindow = nullptr;
    }
};

// The dialog of a screen shown modally. Rejecting (close button, Escape)
// asks the screen first and ends with Cancel rather than QDialog's 0.
class TChildDialog : public QDialog
{
public:
    TChildDialog(QWidget *AParent, TBaseChildFrm *AForm)
        : QDialog(AParent)
        , FForm(AForm)
    { }

    void accept() override { done(Platform::ModalResult::Ok); }
    void reject() override
    {
        if (!FForm || FForm->QueryClose())
            done(Platform::ModalResult::Cancel);
    }

private:
    QPointer<TBaseChildFrm> FForm;
};

TBaseChildFrm::TBaseChildFrm(QWidget *AOwner)
    : QWidget(AOwner, Qt::Window)
    , FOwner(AOwner)
{
    setWindowTitle(QStringLiteral("BaseChildFrm"));
    resize(775, 544);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    FormCreate();
}

TBaseChildFrm::~TBaseChildFrm()
{
    Q_EMIT FormDestroy(this);
    if (TChildSubWindow *sub = FSubWindow) {
        // released on our own: take the sub-window with us, after leaving it
        // so that it does not release us again
        FSubWindow = nullptr;
        sub->setWidget(nullptr);
        delete sub;
    }
}

void TBaseChildFrm::FormCreate()
{
    FAccessDetails = std::make_unique<TAccessDetails>();
    IsModified = true;
}

bool TBaseChildFrm::IsNeedSaving() const
{
    const TDataMode mode = DataMode();
    return (mode == dmAdd || mode == dmEdit) && IsModified;
}

TDataMode TBaseChildFrm::DataMode() const
{
    return FAccessDetails->DataMode();
}

void TBaseChildFrm::SetDataMode(TDataMode AValue)
{
    FAccessDetails->SetDataMode(AValue);
}

QString TBaseChildFrm::TrCode() const
{
    return Data ? Data->TrCode : QString();
}

QString TBaseChildFrm::TrGroupId() const
{
    return Data ? Data->TrGroupId : QString();
}

QString TBaseChildFrm::GetParams(int AIndex) const
{
    return Data ? Data->GetParams(AIndex) : QString();
}

QMdiSubWindow *TBaseChildFrm::SubWindow() const
{
    return FSubWindow;
}

QDialog *TBaseChildFrm::ModalDialog() const
{
    return FDialog;
}

QMdiArea *TBaseChildFrm::FindMdiArea() const
{
    if (!FOwner)
        return nullptr;
    if (auto *area = qobject_cast<QMdiArea *>(FOwner.data()))
        return area;
    return FOwner->findChild<QMdiArea *>();
}

void TBaseChildFrm::ShowChild(QMdiArea *AMdiArea)
{
    if (FDialog)
        return;
    if (!FSubWindow) {
        if (QMdiArea *area = AMdiArea ? AMdiArea : FindMdiArea()) {
            // the screen's own size, not its layout's smallest: a sub-window
            // is otherwise sized from the size hint
            const QSize size = this->size();
            auto *sub = new TChildSubWindow(area);
            if (FBorderless)
                sub->setWindowFlags(Qt::FramelessWindowHint);
            sub->setWidget(this);
            area->addSubWindow(sub);
            const QMargins frame = sub->contentsMargins();
            sub->resize(size.grownBy(frame));
            connect(sub, &QMdiSubWindow::windowStateChanged, this,
                    [this, sub](Qt::WindowStates AOld, Qt::WindowStates ANew) {
                        if (!(AOld & Qt::WindowActive) && (ANew & Qt::WindowActive)) {
                            // the area restores a maximized window when another
                            // one comes to the front; a screen maximized by
                            // design is maximized again when it is back there
                            if (FMaximized && !sub->isMaximized())
                                QMetaObject::invokeMethod(
                                    sub,
                                    [sub] {
                                        if (sub->mdiArea() && sub->mdiArea()->activeSubWindow() == sub)
                                            sub->showMaximized();
                                    },
                                    Qt::QueuedConnection);
                            Q_EMIT FormActivate(this);
                        }
                    });
            FSubWindow = sub;
        }
    }
    if (FSubWindow) {
        // a screen closed with caHide was hidden inside its sub-window too
        show();
        if (FMaximized)
            FSubWindow->showMaximized();
        else if (FSubWindow->isMinimized())
            // asked for again, a screen the user minimized is wanted in sight
            FSubWindow->showNormal();
        else
            FSubWindow->show();
    } else if (FMaximized) {
        showMaximized();
    } else if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    BringToFront();
}

void TBaseChildFrm::BringToFront()
{
    if (FDialog) {
        FDialog->raise();
        FDialog->activateWindow();
    } else if (FSubWindow) {
        if (QMdiArea *area = FSubWindow->mdiArea()) {
            area->setActiveSubWindow(FSubWindow);
            area->window()->activateWindow();
        }
        FSubWindow->raise();
    } else {
        raise();
        activateWindow();
    }
}

int TBaseChildFrm::ShowModal()
{
    if (FDialog || FSubWindow)
        return Platform::ModalResult::None;

    const QPointer<QWidget> owner = FOwner;
    const QSize size = this->size();
    TChildDialog dialog(owner, this);
    dialog.setObjectName(QString::fromLatin1(metaObject()->className()));
    dialog.setWindowTitle(windowTitle());
    auto *layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    setParent(&dialog, Qt::Widget);
    layout->addWidget(this);
    show();
    dialog.resize(size);
    FDialog = &dialog;

    const QPointer<TBaseChildFrm> self(this);
    const int result = Platform::dialogPresenter().showModal(dialog);
    if (self) {
        // back to the owner before the dialog goes, which would take us along
        FDialog = nullptr;
        hide();
        layout->removeWidget(this);
        setParent(owner, Qt::Window);
    }
    return result;
}

void TBaseChildFrm::SetModalResult(int AModalResult)
{
    if (FDialog)
        FDialog->done(AModalResult);
}

bool TBaseChildFrm::Close()
{
    if (FDialog) {
        // not through the dialog's close(): a dialog that is not on screen
        // would just accept it
        if (!QueryClose())
            return false;
        FDialog->done(Platform::ModalResult::Cancel);
        return true;
    }
    if (FSubWindow)
        return FSubWindow->close();
    return QWidget::close();
}

bool TBaseChildFrm::QueryClose()
{
    bool canClose = true;
    try {
        FormCloseQuery(canClose);
    } catch (const std::exception &e) {
        MsgErr(QString::fromUtf8(e.what()));
        canClose = false;
    }
    return canClose;
}

void TBaseChildFrm::FormCloseQuery(bool &ACanClose)
{
    if (IsNeedSaving())
        ACanClose =
            MsgConfirm(sMsgCloseUnsavedConfirm.text(), Platform::MessageButton::Yes | Platform::MessageButton::No)
            == Platform::ModalResult::Yes;
}

void TBaseChildFrm::FormClose(TCloseAction &AAction)
{
    Q_UNUSED(AAction)
}

void TBaseChildFrm::closeEvent(QCloseEvent *AEvent)
{
    if (!QueryClose()) {
        AEvent->ignore();
        return;
    }
    TCloseAction action = caFree;
    try {
        FormClose(action);
    } catch (const std::exception &e) {
        MsgErr(QString::fromUtf8(e.what()));
        action = caNone;
    }
    switch (action) {
    case caNone: AEvent->ignore(); return;
    case caHide:
        if (FSubWindow)
            FSubWindow->hide();
        break;
    case caFree:
        // later: we may be inside the sub-window's own close handling
        if (FSubWindow)
            FSubWindow->deleteLater();
        else
            deleteLater();
        break;
    }
    AEvent->accept();
}

bool TBaseChildFrm::event(QEvent *AEvent)
{
    // inside a sub-window every activation of the main window reaches us
    // too; there the sub-window tells when this screen becomes the active one
    if (AEvent->type() == QEvent::WindowActivate && !FSubWindow)
        Q_EMIT FormActivate(this);
    return QWidget::event(AEvent);
}

std::optional<int> OpenedScreenMenuId(const TBaseChildFrm &AForm)
{
    if (!AForm.Data)
        return std::nullopt;
    return AForm.Data->MenuId;
}

bool IsActiveScreen(const TBaseChildFrm &AForm)
{
    if (QMdiSubWindow *sub = AForm.SubWindow()) {
        const QMdiArea *area = sub->mdiArea();
        return area && area->activeSubWindow() == sub;
    }
    return AForm.isVisible() && AForm.isActiveWindow();
}
