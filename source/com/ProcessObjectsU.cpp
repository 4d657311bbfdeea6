#include "ProcessObjectsU.h"

#include "ComDmU.h"
#include "GlobalVarsU.h"
#include "WaitDlgU.h"
#include "ZeltRestClientU.h"

namespace {

template<typename T> void release(T *&AObject)
{
    delete AObject;
    AObject = nullptr;
}

} // namespace

void CreatePackageObjects()
{
    release(ComDm);
    ComDm = new TComDm(nullptr);
}

void FreePackageObjects()
{
    release(ComDm);
}

void CreateSessionObjects()
{
    release(WaitDlg);
    WaitDlg = new TWaitDlg();
    release(UserInfo);
    UserInfo = new TUserInfo();
}

void FreeSessionObjects()
{
    FreeRestClient();
    release(WaitDlg);
    release(UserInfo);
}
