#pragma once

#include "Errors.h"
#include "MsgDlgU.h"

#include <exception>

// Runs what a user action does. An error it raises is shown in an error box
// here: it must not reach Qt's event loop, which cannot handle it.
template<typename TAction> void RunAction(TAction &&AAction)
{
    GuardUserAction(std::forward<TAction>(AAction));
}
