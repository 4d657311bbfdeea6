#include "OpenedFormsU.h"

#include "BaseChildFrmU.h"
#include "MenuListU.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

TOpenedForms::TOpenedForms(QObject *AParent)
    : QObject(AParent)
{ }

TOpenedForms::~TOpenedForms()
{
    ClearWindowsMenu();
}

int TOpenedForms::Add(TBaseChildFrm *AForm)
{
    if (!AForm)
        return -1;
    FList.append(AForm);
    // a screen released without its destroy event being handed on must not
    // stay here as a dangling entry
    connect(AForm, &TBaseChildFrm::FormDestroy, this, &TOpenedForms::FormDestroyed, Qt::UniqueConnection);
    connect(AForm, &QWidget::windowTitleChanged, this, &TOpenedForms::UpdateWindowsMenu, Qt::UniqueConnection);
    UpdateWindowsMenu();
    return int(FList.size()) - 1;
}

TBaseChildFrm *TOpenedForms::Find(int AMenuId) const
{
    for (TBaseChildFrm *form : FList) {
        if (form->Data && form->Data->MenuId == AMenuId)
            return form;
    }
    return nullptr;
}

void TOpenedForms::Delete(int AMenuId)
{
    if (TBaseChildFrm *form = Find(AMenuId)) {
        FList.removeOne(form);
        if (!FList.contains(form))
            disconnect(form, nullptr, this, nullptr);
        UpdateWindowsMenu();
    }
}

TBaseChildFrm *TOpenedForms::CloseAll()
{
    while (!FList.isEmpty()) {
        TBaseChildFrm *form = FList.first();
        if (form->IsNeedSaving()) {
            form->BringToFront();
            return form;
        }
        delete form;
        // its destroy event took it out; this only compares the address
        Forget(form);
    }
    return nullptr;
}

void TOpenedForms::SetWindowsMenu(QMenu *AWindowsMenu)
{
    if (FWindowsMenu == AWindowsMenu)
        return;
    ClearWindowsMenu();
    if (FWindowsMenu)
        disconnect(FWindowsMenu, nullptr, this, nullptr);
    FWindowsMenu = AWindowsMenu;
    if (FWindowsMenu) {
        // the active screen is marked as the menu opens
        connect(FWindowsMenu, &QMenu::aboutToShow, this, &TOpenedForms::UpdateWindowsMenu);
    }
    UpdateWindowsMenu();
}

void TOpenedForms::FormDestroyed(TBaseChildFrm *AForm)
{
    Forget(AForm);
}

void TOpenedForms::Forget(TBaseChildFrm *AForm)
{
    if (FList.removeAll(AForm) > 0)
        UpdateWindowsMenu();
}

void TOpenedForms::ClearWindowsMenu()
{
    // each action leaves the menu when it is deleted
    for (const QPointer<QAction> &action : std::as_const(FMenuActions))
        delete action.data();
    FMenuActions.clear();
}

namespace {

bool isActiveScreen(const TBaseChildFrm *AForm)
{
    if (QMdiSubWindow *sub = AForm->SubWindow()) {
        const QMdiArea *area = sub->mdiArea();
        return area && area->activeSubWindow() == sub;
    }
    return AForm->isVisible() && AForm->isActiveWindow();
}

} // namespace

void TOpenedForms::UpdateWindowsMenu()
{
    ClearWindowsMenu();
    if (!FWindowsMenu || FList.isEmpty())
        return;
    if (!FWindowsMenu->actions().isEmpty()) {
        QAction *separator = FWindowsMenu->addSeparator();
        separator->setParent(this);
        FMenuActions.append(separator);
    }
    for (TBaseChildFrm *form : std::as_const(FList)) {
        QString caption = form->windowTitle();
        caption.replace(QLatin1Char('&'), QLatin1String("&&"));
        auto *action = new QAction(caption, this);
        action->setCheckable(true);
        action->setChecked(isActiveScreen(form));
        const QPointer<TBaseChildFrm> target(form);
        connect(action, &QAction::triggered, this, [target] {
            if (target)
                target->ShowChild();
        });
        FWindowsMenu->addAction(action);
        FMenuActions.append(action);
    }
}
