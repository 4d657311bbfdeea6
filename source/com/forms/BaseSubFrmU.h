#pragma once

#include "com_global.h"
#include "GlobalTypeU.h"
#include "ResourceStrings.h"

#include <QWidget>
#include <functional>
#include <memory>

class TErrorHandler;

// The base of the sub forms that a screen embeds in one of its own
// containers (a panel, a tab page) instead of showing them as windows.
class COM_EXPORT TBaseSubFrm : public QWidget, public Platform::LocalizerListener
{
    Q_OBJECT
public:
    explicit TBaseSubFrm(QWidget *AOwner = nullptr);
    ~TBaseSubFrm() override;

    // Set by the embedding screen.
    TDataMode DataMode = dmBrowse;
    // Created by the concrete sub form when it needs one; released with it.
    std::unique_ptr<TErrorHandler> ErrorHandler;
    bool IsLoading = false;
    bool IsInitLoad = false;

    // Loads the sub form's data.
    virtual void LoadData() = 0;
    void TranslationChanged() override = 0;

    using Factory = std::function<TBaseSubFrm *(QWidget *AOwner)>;
    // Creates a sub form with AParent as owner and embeds it there: no
    // border, filling AParent's client area and following its size. AParent
    // owns it; a container without a layout gets one holding just the sub
    // form, one with a layout gets the sub form added to it. Returns nullptr
    // (and creates nothing) when AParent or the factory is missing.
    static TBaseSubFrm *LoadForm(QWidget *AParent, const Factory &ASubFrmClass);
    template<typename T> static T *LoadForm(QWidget *AParent)
    {
        return static_cast<T *>(LoadForm(AParent, [](QWidget *AOwner) -> TBaseSubFrm * { return new T(AOwner); }));
    }
};
