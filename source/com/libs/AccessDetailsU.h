#pragma once

#include "com_global.h"
#include "GlobalTypeU.h"

#include <QAction>
#include <QGroupBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

enum TControlType : std::uint8_t { ctButton, ctLayoutGroup, ctOthers };
enum TControlAction : std::uint8_t { caVisible, caHidden, caEnabled, caDisabled };

// One registered control with its action for each data mode (there is none
// for dmDelete). Exactly one of Control, Action and LayoutGroup is set.
// The pointers are guarded: a control the screen deleted on its own is
// skipped instead of touched.
class COM_EXPORT TFormControl
{
public:
    QPointer<QWidget> Control;
    // A tool-bar or menu command; counts as a button. It has no place in a
    // row, so repositioning leaves it out.
    QPointer<QAction> Action;
    QPointer<QGroupBox> LayoutGroup;
    TControlType ControlType = ctButton;
    QString Group;
    int Position = 0;
    TControlAction BrowseMode = caVisible;
    TControlAction AddMode = caVisible;
    TControlAction EditMode = caVisible;
    TControlAction DetailMode = caVisible;
    TControlAction CustomMode1 = caVisible;
    TControlAction CustomMode2 = caVisible;
    bool Reposition = true;
};

using TFormControlList = std::vector<std::unique_ptr<TFormControl>>;

// The per-screen rules saying, for each data mode, which registered
// controls are shown, hidden, enabled or disabled. Controls are registered
// once in named groups (names compared exactly); assigning DataMode then
// switches all of them. The controls of a group form a left-to-right row
// whose order is restored whenever one of them is shown again, unless the
// group is named "none" (any letter case).
class COM_EXPORT TAccessDetails
{
public:
    TAccessDetails();
    ~TAccessDetails();
    TAccessDetails(const TAccessDetails &) = delete;
    TAccessDetails &operator=(const TAccessDetails &) = delete;

    // The actions come in the order browse, add, edit, detail, custom 1,
    // custom 2. Registering applies nothing until the next DataMode
    // assignment; registering the same control twice gives two records.
    void AddControl(const QString &AGroup, QWidget *AControl, TControlAction ABrowseMode, TControlAction AAddMode,
                    TControlAction AEditMode, TControlAction ADetailMode, TControlAction ACustomMode1,
                    TControlAction ACustomMode2);
    void AddControl(const QString &AGroup, QAction *AControl, TControlAction ABrowseMode, TControlAction AAddMode,
                    TControlAction AEditMode, TControlAction ADetailMode, TControlAction ACustomMode1,
                    TControlAction ACustomMode2);
    // A layout group: shown, hidden, enabled or disabled as a whole, never
    // repositioned.
    void AddControl(const QString &AGroup, QGroupBox *ALayoutGroup, TControlAction ABrowseMode, TControlAction AAddMode,
                    TControlAction AEditMode, TControlAction ADetailMode, TControlAction ACustomMode1,
                    TControlAction ACustomMode2);

    TDataMode DataMode() const { return FDataMode; }
    // Stores the mode and applies it to every record, also when the mode
    // does not change. dmDelete has no actions: it changes no control.
    void SetDataMode(TDataMode AValue);

    // Lines up the plain controls of AGroup left to right in registration
    // order: the first at -1, each next one a pixel after the previous one's
    // right edge, hidden ones included. Unknown groups are ignored.
    void ControlReposition(const QString &AGroup);

    // The groups by name, each in registration order.
    const std::map<QString, TFormControlList> &ControlGroups() const { return FControlGroups; }

private:
    TFormControl &NewRecord(const QString &AGroup, TControlAction ABrowseMode, TControlAction AAddMode,
                            TControlAction AEditMode, TControlAction ADetailMode, TControlAction ACustomMode1,
                            TControlAction ACustomMode2);

    TDataMode FDataMode = dmBrowse;
    std::map<QString, TFormControlList> FControlGroups;
};
