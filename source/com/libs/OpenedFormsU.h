#pragma once

#include "com_global.h"

#include <QAction>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>

class TBaseChildFrm;

// The open screens, by the menu id of the entry that opened each one, in
// the order they were opened. It does not own them. A screen leaves the
// registry by Delete or, at the latest, when it is released.
//
// The window-list menu handed in lists the open screens by caption, after
// whatever the host put there, and brings the chosen one to the front.
class COM_EXPORT TOpenedForms : public QObject
{
    Q_OBJECT
public:
    explicit TOpenedForms(QObject *AParent = nullptr);
    ~TOpenedForms() override;

    // Appends AForm (no check for duplicates); returns its position.
    int Add(TBaseChildFrm *AForm);
    // The first screen whose Data.MenuId is AMenuId, or nullptr.
    TBaseChildFrm *Find(int AMenuId) const;
    // Takes the first screen whose Data.MenuId is AMenuId out of the list,
    // without releasing it; nothing when there is none.
    void Delete(int AMenuId);
    // Releases screens from the front of the list until one needs saving;
    // that one is brought to the front and returned, and it and every screen
    // behind it stay open. nullptr when every screen has been released.
    // Nothing is asked: a screen stops it only through IsNeedSaving.
    TBaseChildFrm *CloseAll();

    void SetWindowsMenu(QMenu *AWindowsMenu);
    QMenu *WindowsMenu() const { return FWindowsMenu; }

    int Count() const { return int(FList.size()); }
    const QList<TBaseChildFrm *> &Forms() const { return FList; }

private:
    void FormDestroyed(TBaseChildFrm *AForm);
    void Forget(TBaseChildFrm *AForm);
    void UpdateWindowsMenu();
    void ClearWindowsMenu();

    QList<TBaseChildFrm *> FList;
    QPointer<QMenu> FWindowsMenu;
    // The entries put into FWindowsMenu, the separator first when there is one.
    QList<QPointer<QAction>> FMenuActions;
};
