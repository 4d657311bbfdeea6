#pragma once

#include "com_global.h"
#include "GlobalTypeU.h"

#include <QString>

// Process-wide state. Written on the UI thread only: LoadVars by the host,
// the customer-authentication results by the sign-in form, IsLogin and
// UserInfo by the application controller.
COM_EXPORT extern TUserInfo *UserInfo;
COM_EXPORT extern QString CustKey;
COM_EXPORT extern QString SecretKey;
COM_EXPORT extern QString AppMode;
COM_EXPORT extern QString OrvUrl;
COM_EXPORT extern QString OrvToken;
COM_EXPORT extern QString ApiUrl;
COM_EXPORT extern QString UpdateUrl;
COM_EXPORT extern QString AppVer;
COM_EXPORT extern QString CurrAppVer;
COM_EXPORT extern bool IsAppSettingsValid;
COM_EXPORT extern bool IsLogin;
COM_EXPORT extern QString AppSettingsError;
COM_EXPORT extern QString CustName;
COM_EXPORT extern QString CustAddrLine;
COM_EXPORT extern QString CustAddrCity;
COM_EXPORT extern QString CustAddrState;
COM_EXPORT extern QString CustAddrCountry;
COM_EXPORT extern QString CustPostalCode;
COM_EXPORT extern QString CustPhone;
COM_EXPORT extern QString CustEmail;
COM_EXPORT extern QString CustWebsite;

// Customer-service address used when app.conf names none.
COM_EXPORT extern const char *const DefaultOrvUrl;

// Path of app.conf: the program's folder followed by "app.conf".
COM_EXPORT QString AppConfPath();

// Reads app.conf into the variables above. Never writes the file; a missing
// or unreadable file gives the defaults.
COM_EXPORT void LoadVars();
COM_EXPORT void UnloadVars();

// Unit start and stop: every variable empty and false.
COM_EXPORT void GlobalVarsU_Initialize();
COM_EXPORT void GlobalVarsU_Finalize();
