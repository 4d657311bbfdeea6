#include "GlobalVarsU.h"

#include "AppPaths.h"
#include "IniFile.h"

TUserInfo *UserInfo = nullptr;
QString CustKey;
QString SecretKey;
QString AppMode;
QString OrvUrl;
QString OrvToken;
QString ApiUrl;
QString UpdateUrl;
QString AppVer;
QString CurrAppVer;
bool IsAppSettingsValid = false;
bool IsLogin = false;
QString AppSettingsError;
QString CustName;
QString CustAddrLine;
QString CustAddrCity;
QString CustAddrState;
QString CustAddrCountry;
QString CustPostalCode;
QString CustPhone;
QString CustEmail;
QString CustWebsite;

const char *const DefaultOrvUrl = "https://cs.zelterp.com/api";

QString AppConfPath()
{
    return Platform::applicationFolder() + QStringLiteral("app.conf");
}

void LoadVars()
{
    IsLogin = false;
    const Platform::IniFile ini = Platform::IniFile::fromFile(AppConfPath());
    CustKey = ini.readString(QStringLiteral("AppConfig"), QStringLiteral("CustKey"));
    SecretKey = ini.readString(QStringLiteral("AppConfig"), QStringLiteral("SecretKey"));
    AppMode = ini.readString(QStringLiteral("AppConfig"), QStringLiteral("Mode"), QStringLiteral("dev"));
    OrvUrl = ini.readString(QStringLiteral("URL"), QStringLiteral("ApiURL"), QString::fromLatin1(DefaultOrvUrl));
}

void UnloadVars() { }

void GlobalVarsU_Initialize()
{
    UserInfo = nullptr;
    for (QString *s : { &CustKey, &SecretKey, &AppMode, &OrvUrl, &OrvToken, &ApiUrl, &UpdateUrl, &AppVer, &CurrAppVer,
                        &AppSettingsError, &CustName, &CustAddrLine, &CustAddrCity, &CustAddrState, &CustAddrCountry,
                        &CustPostalCode, &CustPhone, &CustEmail, &CustWebsite })
        s->clear();
    IsAppSettingsValid = false;
    IsLogin = false;
}

void GlobalVarsU_Finalize()
{
    // The strings release themselves with the library's other statics; they
    // may already be gone when this runs, so nothing here touches them.
}
