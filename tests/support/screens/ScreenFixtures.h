#pragma once

#include "BaseChildFrmU.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QPushButton>
#include <memory>

// What screen tests share: a main window with a child area, and a screen as
// a module would write one.

Q_DECLARE_METATYPE(TDataMode)

// A named control of a screen; a missing one fails the test at once.
template<typename T> T *control(const QObject *AParent, const char *AName)
{
    T *found = AParent->findChild<T *>(QLatin1String(AName));
    if (!found)
        qFatal("control %s not found", AName);
    return found;
}

// The host's main form as far as screens see it: shown, its central widget
// the child area.
class MdiHost
{
public:
    MdiHost();
    ~MdiHost();

    QMainWindow *main() const { return m_main.get(); }
    QMdiArea *area() const { return m_area; }

private:
    std::unique_ptr<QMainWindow> m_main;
    QMdiArea *m_area = nullptr;
};

// A Save button that only add and edit show; FormClose answers with
// closeAction.
class TTestScreenFrm : public TBaseChildFrm
{
    Q_OBJECT
public:
    explicit TTestScreenFrm(QWidget *AOwner = nullptr);
    void TranslationChanged() override { }

    QPushButton *btnSave = nullptr;
    TCloseAction closeAction = caFree;

protected:
    void FormClose(TCloseAction &AAction) override { AAction = closeAction; }
};
