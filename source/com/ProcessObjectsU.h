#pragma once

#include "com_global.h"

// The process-wide objects (ComDm, WaitDlg, UserInfo, RestClient) are
// created and freed here, nowhere else, in this order:
//
//   ComDm                 package start (RegisterModuleClasses) to package stop
//   WaitDlg, UserInfo     TAppController::Init to the controller's end
//   RestClient            customer authentication (the sign-in session
//                         replaces it through ReplaceRestClient) to the
//                         controller's end
//
// The controller's end frees RestClient, WaitDlg and UserInfo in that order;
// ComDm goes last, when the library stops. Everything runs on the UI thread.

COM_EXPORT void CreatePackageObjects();
COM_EXPORT void FreePackageObjects();

// Creates WaitDlg and UserInfo afresh (freeing earlier ones).
COM_EXPORT void CreateSessionObjects();
// Frees RestClient, WaitDlg and UserInfo; each pointer is null afterwards.
COM_EXPORT void FreeSessionObjects();
