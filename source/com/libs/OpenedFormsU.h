#pragma once

#include "com_global.h"

#include <QAction>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <concepts>
#include <memory>
#include <optional>

class TBaseChildFrm;

// What the registry needs of a screen: the menu id it was opened for (no
// value while it has none), whether it holds unsaved changes, bringing it to
// the front, showing it again, whether it is the active one, and a signal
// FormDestroy(ASender) emitted first thing while it is released. The
// registry knows screens by this and nothing else.
template<class T>
concept OpenedScreen = std::derived_from<T, QWidget> && requires(T &AForm, const T &AConstForm)
{
    {
        OpenedScreenMenuId(AConstForm)
        } -> std::convertible_to<std::optional<int>>;
    {
        AConstForm.IsNeedSaving()
        } -> std::convertible_to<bool>;
    AForm.BringToFront();
    AForm.ShowChild();
    {
        IsActiveScreen(AConstForm)
        } -> std::convertible_to<bool>;
    &T::FormDestroy;
};

// The registry's work on plain widgets; TOpenedFormsOf adds the screens' type.
class COM_EXPORT TOpenedFormsBase : public QObject
{
    Q_OBJECT
public:
    ~TOpenedFormsBase() override;

    void SetWindowsMenu(QMenu *AWindowsMenu);
    QMenu *WindowsMenu() const { return FWindowsMenu; }
    int Count() const { return int(FList.size()); }

protected:
    // What the typed registry does with one of its screens.
    struct Screen
    {
        virtual ~Screen() = default;
        virtual bool IsActive(QWidget *AForm) const = 0;
        virtual void Show(QWidget *AForm) const = 0;
    };
    TOpenedFormsBase(std::unique_ptr<Screen> AScreen, QObject *AParent);

    void Append(QWidget *AForm);
    // Takes the first entry of AForm out; forgets it when it was the last.
    void RemoveOne(QWidget *AForm);
    // Takes every entry of AForm out.
    void Forget(QWidget *AForm);
    const QList<QWidget *> &List() const { return FList; }

private:
    void UpdateWindowsMenu();
    void ClearWindowsMenu();

    std::unique_ptr<Screen> FScreen;
    QList<QWidget *> FList;
    QPointer<QMenu> FWindowsMenu;
    // The entries put into FWindowsMenu, the separator first when there is one.
    QList<QPointer<QAction>> FMenuActions;
};

// The open screens, by the menu id of the entry that opened each one, in
// the order they were opened. It does not own them. A screen leaves the
// registry by Delete or, at the latest, when it is released.
//
// The window-list menu handed in lists the open screens by caption, after
// whatever the host put there, and brings the chosen one to the front.
template<class TForm> class TOpenedFormsOf : public TOpenedFormsBase
{
public:
    explicit TOpenedFormsOf(QObject *AParent = nullptr) requires OpenedScreen<TForm>
        : TOpenedFormsBase(std::make_unique<TypedScreen>(), AParent)
    { }

    // Appends AForm (no check for duplicates); returns its position.
    int Add(TForm *AForm)
    {
        if (!AForm)
            return -1;
        // a screen released without its destroy event being handed on must
        // not stay here as a dangling entry
        connect(AForm, &TForm::FormDestroy, this, &TOpenedFormsOf::Forget, Qt::UniqueConnection);
        Append(AForm);
        return Count() - 1;
    }

    // The first screen whose menu id is AMenuId, or nullptr.
    TForm *Find(int AMenuId) const
    {
        for (QWidget *widget : List()) {
            auto *form = static_cast<TForm *>(widget);
            if (OpenedScreenMenuId(*form) == AMenuId)
                return form;
        }
        return nullptr;
    }

    // Takes the first screen whose menu id is AMenuId out of the list,
    // without releasing it; nothing when there is none.
    void Delete(int AMenuId)
    {
        if (TForm *form = Find(AMenuId))
            RemoveOne(form);
    }

    // Releases screens from the front of the list until one needs saving;
    // that one is brought to the front and returned, and it and every screen
    // behind it stay open. nullptr when every screen has been released.
    // Nothing is asked: a screen stops it only through IsNeedSaving.
    TForm *CloseAll()
    {
        while (!List().isEmpty()) {
            auto *form = static_cast<TForm *>(List().first());
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

    QList<TForm *> Forms() const
    {
        QList<TForm *> forms;
        forms.reserve(List().size());
        for (QWidget *widget : List())
            forms.append(static_cast<TForm *>(widget));
        return forms;
    }

private:
    struct TypedScreen : Screen
    {
        bool IsActive(QWidget *AForm) const override { return IsActiveScreen(*static_cast<const TForm *>(AForm)); }
        void Show(QWidget *AForm) const override { static_cast<TForm *>(AForm)->ShowChild(); }
    };
};

// The client's registry: its screens are TBaseChildFrm (BaseChildFrmU.h
// gives them what OpenedScreen asks for).
using TOpenedForms = TOpenedFormsOf<TBaseChildFrm>;
