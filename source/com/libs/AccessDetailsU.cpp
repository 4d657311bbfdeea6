#include "AccessDetailsU.h"

#include <optional>

namespace {

std::optional<TControlAction> actionFor(const TFormControl &ARecord, TDataMode AMode)
{
    switch (AMode) {
    case dmBrowse: return ARecord.BrowseMode;
    case dmAdd: return ARecord.AddMode;
    case dmEdit: return ARecord.EditMode;
    case dmDelete: return std::nullopt;
    case dmDetail: return ARecord.DetailMode;
    case dmCustom1: return ARecord.CustomMode1;
    case dmCustom2: return ARecord.CustomMode2;
    }
    return std::nullopt;
}

// Applies one action to one record; true when a control of a repositioned
// group was hidden and is shown again, so the row needs lining up.
bool apply(const TFormControl &ARecord, TControlAction AAction)
{
    if (ARecord.ControlType == ctLayoutGroup) {
        QGroupBox *group = ARecord.LayoutGroup;
        if (!group)
            return false;
        switch (AAction) {
        case caVisible: group->setVisible(true); break;
        case caHidden: group->setVisible(false); break;
        case caEnabled: group->setEnabled(true); break;
        case caDisabled: group->setEnabled(false); break;
        }
        return false;
    }

    bool reposition = false;
    if (QWidget *control = ARecord.Control) {
        switch (AAction) {
        case caVisible:
            // isHidden() is the control's own flag: a control on a form that is
            // not shown yet still counts as visible
            reposition = ARecord.Reposition && control->isHidden();
            control->setVisible(true);
            break;
        case caHidden: control->setVisible(false); break;
        case caEnabled: control->setEnabled(true); break;
        case caDisabled: control->setEnabled(false); break;
        }
    } else if (QAction *action = ARecord.Action) {
        switch (AAction) {
        case caVisible:
            reposition = ARecord.Reposition && !action->isVisible();
            action->setVisible(true);
            break;
        case caHidden: action->setVisible(false); break;
        case caEnabled: action->setEnabled(true); break;
        case caDisabled: action->setEnabled(false); break;
        }
    }
    return reposition;
}

} // namespace

TAccessDetails::TAccessDetails() = default;

TAccessDetails::~TAccessDetails() = default;

TFormControl &TAccessDetails::NewRecord(const QString &AGroup, TControlAction ABrowseMode, TControlAction AAddMode,
                                        TControlAction AEditMode, TControlAction ADetailMode,
                                        TControlAction ACustomMode1, TControlAction ACustomMode2)
{
    TFormControlList &list = FControlGroups[AGroup];
    auto record = std::make_unique<TFormControl>();
    record->Group = AGroup;
    record->BrowseMode = ABrowseMode;
    record->AddMode = AAddMode;
    record->EditMode = AEditMode;
    record->DetailMode = ADetailMode;
    record->CustomMode1 = ACustomMode1;
    record->CustomMode2 = ACustomMode2;
    record->Reposition = AGroup.toLower() != QLatin1String("none");
    list.push_back(std::move(record));
    return *list.back();
}

void TAccessDetails::AddControl(const QString &AGroup, QWidget *AControl, TControlAction ABrowseMode,
                                TControlAction AAddMode, TControlAction AEditMode, TControlAction ADetailMode,
                                TControlAction ACustomMode1, TControlAction ACustomMode2)
{
    TFormControl &record = NewRecord(AGroup, ABrowseMode, AAddMode, AEditMode, ADetailMode, ACustomMode1, ACustomMode2);
    record.Control = AControl;
}

void TAccessDetails::AddControl(const QString &AGroup, QAction *AControl, TControlAction ABrowseMode,
                                TControlAction AAddMode, TControlAction AEditMode, TControlAction ADetailMode,
                                TControlAction ACustomMode1, TControlAction ACustomMode2)
{
    TFormControl &record = NewRecord(AGroup, ABrowseMode, AAddMode, AEditMode, ADetailMode, ACustomMode1, ACustomMode2);
    record.Action = AControl;
}

void TAccessDetails::AddControl(const QString &AGroup, QGroupBox *ALayoutGroup, TControlAction ABrowseMode,
                                TControlAction AAddMode, TControlAction AEditMode, TControlAction ADetailMode,
                                TControlAction ACustomMode1, TControlAction ACustomMode2)
{
    TFormControl &record = NewRecord(AGroup, ABrowseMode, AAddMode, AEditMode, ADetailMode, ACustomMode1, ACustomMode2);
    record.ControlType = ctLayoutGroup;
    record.LayoutGroup = ALayoutGroup;
}

void TAccessDetails::SetDataMode(TDataMode AValue)
{
    FDataMode = AValue;
    for (const auto &[name, list] : FControlGroups) {
        bool reposition = false;
        for (const auto &record : list) {
            if (const std::optional<TControlAction> action = actionFor(*record, AValue)) {
                if (apply(*record, *action))
                    reposition = true;
            }
        }
        if (reposition)
            ControlReposition(name);
    }
}

void TAccessDetails::ControlReposition(const QString &AGroup)
{
    const auto it = FControlGroups.find(AGroup);
    if (it == FControlGroups.end())
        return;
    // only plain controls have a place in the row; commands and layout
    // groups are left where they are
    QWidget *previous = nullptr;
    for (const auto &record : it->second) {
        QWidget *control = record->ControlType == ctLayoutGroup ? nullptr : record->Control.data();
        if (!control)
            continue;
        const int left = previous ? previous->x() + previous->width() + 1 : -1;
        control->move(left, control->y());
        previous = control;
    }
}
