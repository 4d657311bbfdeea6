#pragma once

#include "com_global.h"

#include <QString>
#include <cstdint>

// The signed-in user.
class COM_EXPORT TUserInfo
{
public:
    QString UserFullName;
    QString LangCode; // "en_US" or "id_ID"
};

// What a screen is doing; its registered controls follow it.
enum TDataMode : std::uint8_t {
    dmBrowse,
    dmAdd,
    dmEdit,
    dmDelete,
    dmDetail,
    dmCustom1,
    dmCustom2,
};
