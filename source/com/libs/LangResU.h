#pragma once

#include "com_global.h"
#include "ResourceStrings.h"

#include <QList>

// The catalogue of texts that follow the language, with their English
// wording. Fetch a text at the moment it is needed: sMsgSaved.text().

COM_EXPORT extern const Platform::ResourceString sAppClose;
COM_EXPORT extern const Platform::ResourceString sErrEmpty;
COM_EXPORT extern const Platform::ResourceString sErrLoginInfoFailed;
COM_EXPORT extern const Platform::ResourceString sErrSignInFailed;
COM_EXPORT extern const Platform::ResourceString sHeaderAsset;
COM_EXPORT extern const Platform::ResourceString sHeaderAssetCategory;
COM_EXPORT extern const Platform::ResourceString sHeaderAssetClasses;
COM_EXPORT extern const Platform::ResourceString sHeaderAssetLocation;
COM_EXPORT extern const Platform::ResourceString sHeaderAssetMovement;
COM_EXPORT extern const Platform::ResourceString sHeaderAssetStatus;
COM_EXPORT extern const Platform::ResourceString sHeaderAssetWarranty;
COM_EXPORT extern const Platform::ResourceString sHeaderBank;
COM_EXPORT extern const Platform::ResourceString sHeaderContacts;
COM_EXPORT extern const Platform::ResourceString sHeaderCustomers;
COM_EXPORT extern const Platform::ResourceString sHeaderIndustries;
COM_EXPORT extern const Platform::ResourceString sHeaderItem;
COM_EXPORT extern const Platform::ResourceString sHeaderItemCategory;
COM_EXPORT extern const Platform::ResourceString sHeaderItemTypes;
COM_EXPORT extern const Platform::ResourceString sHeaderLocations;
COM_EXPORT extern const Platform::ResourceString sHeaderLostReasons;
COM_EXPORT extern const Platform::ResourceString sHeaderOpportunityStatus;
COM_EXPORT extern const Platform::ResourceString sHeaderPaymentTerm;
COM_EXPORT extern const Platform::ResourceString sHeaderPO;
COM_EXPORT extern const Platform::ResourceString sHeaderPR;
COM_EXPORT extern const Platform::ResourceString sHeaderProjects;
COM_EXPORT extern const Platform::ResourceString sHeaderProjectTypes;
COM_EXPORT extern const Platform::ResourceString sHeaderRFQ;
COM_EXPORT extern const Platform::ResourceString sHeaderUoms;
COM_EXPORT extern const Platform::ResourceString sHeaderVendor;
COM_EXPORT extern const Platform::ResourceString sHeaderVendorGroup;
COM_EXPORT extern const Platform::ResourceString sHeaderVendorSelection;
COM_EXPORT extern const Platform::ResourceString sLabelAction;
COM_EXPORT extern const Platform::ResourceString sLabelActions;
COM_EXPORT extern const Platform::ResourceString sLabelActive;
COM_EXPORT extern const Platform::ResourceString sLabelAdd;
COM_EXPORT extern const Platform::ResourceString slabelAddExistingItem;
COM_EXPORT extern const Platform::ResourceString sLabelAddNewItem;
COM_EXPORT extern const Platform::ResourceString sLabelAddress;
COM_EXPORT extern const Platform::ResourceString sLabelAll;
COM_EXPORT extern const Platform::ResourceString sLabelApprovals;
COM_EXPORT extern const Platform::ResourceString sLabelAuthorization;
COM_EXPORT extern const Platform::ResourceString sLabelBuyer;
COM_EXPORT extern const Platform::ResourceString sLabelCancel;
COM_EXPORT extern const Platform::ResourceString sLabelCCProjectNo;
COM_EXPORT extern const Platform::ResourceString slabelCity;
COM_EXPORT extern const Platform::ResourceString sLabelCode;
COM_EXPORT extern const Platform::ResourceString sLabelContactPerson;
COM_EXPORT extern const Platform::ResourceString sLabelCostCenterID;
COM_EXPORT extern const Platform::ResourceString sLabelCostCenterName;
COM_EXPORT extern const Platform::ResourceString sLabelCostCenterNo;
COM_EXPORT extern const Platform::ResourceString sLabelCustomerName;
COM_EXPORT extern const Platform::ResourceString sLabelDelete;
COM_EXPORT extern const Platform::ResourceString sLabelDeleteItem;
COM_EXPORT extern const Platform::ResourceString sLabelDesc;
COM_EXPORT extern const Platform::ResourceString sLabelDetail;
COM_EXPORT extern const Platform::ResourceString sLabelEdit;
COM_EXPORT extern const Platform::ResourceString sLabelEmpName;
COM_EXPORT extern const Platform::ResourceString sLabelEmpNo;
COM_EXPORT extern const Platform::ResourceString sLabelEndDate;
COM_EXPORT extern const Platform::ResourceString sLabelFromDate;
COM_EXPORT extern const Platform::ResourceString sLabelId;
COM_EXPORT extern const Platform::ResourceString sLabelIndustry;
COM_EXPORT extern const Platform::ResourceString sLabelItemDetails;
COM_EXPORT extern const Platform::ResourceString slabelLastUpdate;
COM_EXPORT extern const Platform::ResourceString sLabelLocName;
COM_EXPORT extern const Platform::ResourceString sLabelName;
COM_EXPORT extern const Platform::ResourceString sLabelNotActive;
COM_EXPORT extern const Platform::ResourceString sLabelNotes;
COM_EXPORT extern const Platform::ResourceString sLabelOfPage;
COM_EXPORT extern const Platform::ResourceString sLabelOr;
COM_EXPORT extern const Platform::ResourceString sLabelPage;
COM_EXPORT extern const Platform::ResourceString sLabelPhone;
COM_EXPORT extern const Platform::ResourceString sLabelPONo;
COM_EXPORT extern const Platform::ResourceString sLabelPrjID;
COM_EXPORT extern const Platform::ResourceString sLabelPrjName;
COM_EXPORT extern const Platform::ResourceString sLabelPrjNo;
COM_EXPORT extern const Platform::ResourceString sLabelPRNo;
COM_EXPORT extern const Platform::ResourceString sLabelProjectNo;
COM_EXPORT extern const Platform::ResourceString sLabelPRStatus;
COM_EXPORT extern const Platform::ResourceString sLabelQty;
COM_EXPORT extern const Platform::ResourceString sLabelRecords;
COM_EXPORT extern const Platform::ResourceString sLabelRequestBy;
COM_EXPORT extern const Platform::ResourceString sLabelRevision;
COM_EXPORT extern const Platform::ResourceString sLabelRows;
COM_EXPORT extern const Platform::ResourceString sLabelSave;
COM_EXPORT extern const Platform::ResourceString sLabelSearch;
COM_EXPORT extern const Platform::ResourceString sLabelSearchText;
COM_EXPORT extern const Platform::ResourceString sLabelStartDate;
COM_EXPORT extern const Platform::ResourceString sLabelStatus;
COM_EXPORT extern const Platform::ResourceString sLabelSubTotal;
COM_EXPORT extern const Platform::ResourceString sLabelTo;
COM_EXPORT extern const Platform::ResourceString sLabelTotal;
COM_EXPORT extern const Platform::ResourceString sLabelTotalRecord;
COM_EXPORT extern const Platform::ResourceString sLabelType;
COM_EXPORT extern const Platform::ResourceString slabelUnitPrice;
COM_EXPORT extern const Platform::ResourceString sLabelUoM;
COM_EXPORT extern const Platform::ResourceString sLabelUpdatedAt;
COM_EXPORT extern const Platform::ResourceString sLabelUpdatedBy;
COM_EXPORT extern const Platform::ResourceString sLabelUpdatedDate;
COM_EXPORT extern const Platform::ResourceString sLabelUpdateLogs;
COM_EXPORT extern const Platform::ResourceString sLabelVAT;
COM_EXPORT extern const Platform::ResourceString sLabelVendorName;
COM_EXPORT extern const Platform::ResourceString sLabelViewLogs;
COM_EXPORT extern const Platform::ResourceString sLoginEmail;
COM_EXPORT extern const Platform::ResourceString sLoginForgotPassword;
COM_EXPORT extern const Platform::ResourceString sLoginPassword;
COM_EXPORT extern const Platform::ResourceString sLoginRememberMe;
COM_EXPORT extern const Platform::ResourceString sLoginSignIn;
COM_EXPORT extern const Platform::ResourceString sLoginWelcome1;
COM_EXPORT extern const Platform::ResourceString sLoginWelcome2;
COM_EXPORT extern const Platform::ResourceString sMsgAddNewConfirm;
COM_EXPORT extern const Platform::ResourceString sMsgAssignConfirm;
COM_EXPORT extern const Platform::ResourceString sMsgClearAssignConfirm;
COM_EXPORT extern const Platform::ResourceString sMsgDeleteConfirm;
COM_EXPORT extern const Platform::ResourceString sMsgDeleted;
COM_EXPORT extern const Platform::ResourceString sMsgDeleteError;
COM_EXPORT extern const Platform::ResourceString sMsgHttpBadRequest;
COM_EXPORT extern const Platform::ResourceString sMsgHttpForbidden;
COM_EXPORT extern const Platform::ResourceString sMsgHttpPageNotFound;
COM_EXPORT extern const Platform::ResourceString sMsgHttpServerError;
COM_EXPORT extern const Platform::ResourceString sMsgHttpUnauthorized;
COM_EXPORT extern const Platform::ResourceString sMsgHttpUndefinedClientError;
COM_EXPORT extern const Platform::ResourceString sMsgHttpUndefinedError;
COM_EXPORT extern const Platform::ResourceString sMsgOpenConfirm;
COM_EXPORT extern const Platform::ResourceString sMsgReleaseConfirm;
COM_EXPORT extern const Platform::ResourceString sMsgSaveConfirm;
COM_EXPORT extern const Platform::ResourceString sMsgSaved;
COM_EXPORT extern const Platform::ResourceString sMsgSessionExpired;

// Not in the catalogue above: the words for a request that got no answer
// (no connection, none in time, a broken one) and for a save with no record.
COM_EXPORT extern const Platform::ResourceString sMsgNoConnection;
COM_EXPORT extern const Platform::ResourceString sMsgNoAnswerInTime;
COM_EXPORT extern const Platform::ResourceString sMsgServerFailed;
COM_EXPORT extern const Platform::ResourceString sMsgWriteNoAnswerInTime;
COM_EXPORT extern const Platform::ResourceString sMsgWriteServerFailed;
COM_EXPORT extern const Platform::ResourceString sMsgNothingToSave;

// Name of the product under which the catalogue is registered.
COM_EXPORT extern const char *const LangResProductName;

// Adds every catalogue entry, in catalogue order.
COM_EXPORT void AddResourceStringNames(QList<const Platform::ResourceString *> &AProduct);

// Unit start and stop: registers and unregisters the catalogue.
COM_EXPORT void LangResU_Initialize();
COM_EXPORT void LangResU_Finalize();
