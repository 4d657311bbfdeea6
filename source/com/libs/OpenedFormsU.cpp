#include "OpenedFormsU.h"

#include <QAction>
#include <QMenu>

TOpenedFormsBase::TOpenedFormsBase(std::unique_ptr<Screen> AScreen, QObject *AParent)
    : QObject(AParent)
    , FScreen(std::move(AScreen))
{ }

TOpenedFormsBase::~TOpenedFormsBase()
{
    ClearWindowsMenu();
}

void TOpenedFormsBase::Append(QWidget *AForm)
{
    FList.append(AForm);
    connect(AForm, &QWidget::windowTitleChanged, this, &TOpenedFormsBase::UpdateWindowsMenu, Qt::UniqueConnection);
    UpdateWindowsMenu();
}

void TOpenedFormsBase::RemoveOne(QWidget *AForm)
{
    FList.removeOne(AForm);
    if (!FList.contains(AForm))
        disconnect(AForm, nullptr, this, nullptr);
    UpdateWindowsMenu();
}

void TOpenedFormsBase::Forget(QWidget *AForm)
{
    if (FList.removeAll(AForm) > 0)
        UpdateWindowsMenu();
}

void TOpenedFormsBase::SetWindowsMenu(QMenu *AWindowsMenu)
{
    if (FWindowsMenu == AWindowsMenu)
        return;
    ClearWindowsMenu();
    if (FWindowsMenu)
        disconnect(FWindowsMenu, nullptr, this, nullptr);
    FWindowsMenu = AWindowsMenu;
    if (FWindowsMenu) {
        // the active screen is marked as the menu opens
        connect(FWindowsMenu, &QMenu::aboutToShow, this, &TOpenedFormsBase::UpdateWindowsMenu);
    }
    UpdateWindowsMenu();
}

void TOpenedFormsBase::ClearWindowsMenu()
{
    // each action leaves the menu when it is deleted
    for (const QPointer<QAction> &action : std::as_const(FMenuActions))
        delete action.data();
    FMenuActions.clear();
}

void TOpenedFormsBase::UpdateWindowsMenu()
{
    ClearWindowsMenu();
    if (!FWindowsMenu || FList.isEmpty())
        return;
    if (!FWindowsMenu->actions().isEmpty()) {
        QAction *separator = FWindowsMenu->addSeparator();
        separator->setParent(this);
        FMenuActions.append(separator);
    }
    for (QWidget *form : std::as_const(FList)) {
        QString caption = form->windowTitle();
        caption.replace(QLatin1Char('&'), QLatin1String("&&"));
        auto *action = new QAction(caption, this);
        action->setCheckable(true);
        action->setChecked(FScreen->IsActive(form));
        const QPointer<QWidget> target(form);
        connect(action, &QAction::triggered, this, [this, target] {
            if (target)
                FScreen->Show(target);
        });
        FWindowsMenu->addAction(action);
        FMenuActions.append(action);
    }
}
