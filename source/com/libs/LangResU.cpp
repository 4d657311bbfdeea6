#include "LangResU.h"

#include <QString>

const Platform::ResourceString sAppClose = { "sAppClose", "Close" };
const Platform::ResourceString sErrEmpty = { "sErrEmpty", "cannot be empty." };
const Platform::ResourceString sErrLoginInfoFailed = { "sErrLoginInfoFailed", "Can not retrieve login information" };
const Platform::ResourceString sErrSignInFailed = { "sErrSignInFailed", "Invalid email or password." };
const Platform::ResourceString sHeaderAsset = { "sHeaderAsset", "Asset" };
const Platform::ResourceString sHeaderAssetCategory = { "sHeaderAssetCategory", "Asset Category" };
const Platform::ResourceString sHeaderAssetClasses = { "sHeaderAssetClasses", "Asset Classes" };
const Platform::ResourceString sHeaderAssetLocation = { "sHeaderAssetLocation", "Asset Location" };
const Platform::ResourceString sHeaderAssetMovement = { "sHeaderAssetMovement", "Asset Movement" };
const Platform::ResourceString sHeaderAssetStatus = { "sHeaderAssetStatus", "Asset Status" };
const Platform::ResourceString sHeaderAssetWarranty = { "sHeaderAssetWarranty", "Asset Warranty" };
const Platform::ResourceString sHeaderBank = { "sHeaderBank", "Bank" };
const Platform::ResourceString sHeaderContacts = { "sHeaderContacts", "Contacts" };
const Platform::ResourceString sHeaderCustomers = { "sHeaderCustomers", "Customers" };
const Platform::ResourceString sHeaderIndustries = { "sHeaderIndustries", "Industries" };
const Platform::ResourceString sHeaderItem = { "sHeaderItem", "Item" };
const Platform::ResourceString sHeaderItemCategory = { "sHeaderItemCategory", "Item Categories" };
const Platform::ResourceString sHeaderItemTypes = { "sHeaderItemTypes", "Item Types" };
const Platform::ResourceString sHeaderLocations = { "sHeaderLocations", "Locations" };
const Platform::ResourceString sHeaderLostReasons = { "sHeaderLostReasons", "Lost Reasons" };
const Platform::ResourceString sHeaderOpportunityStatus = { "sHeaderOpportunityStatus", "Opportunity Status" };
const Platform::ResourceString sHeaderPaymentTerm = { "sHeaderPaymentTerm", "Payment Term" };
const Platform::ResourceString sHeaderPO = { "sHeaderPO", "Purchase Order" };
const Platform::ResourceString sHeaderPR = { "sHeaderPR", "Purchase Requisition" };
const Platform::ResourceString sHeaderProjects = { "sHeaderProjects", "Projects" };
const Platform::ResourceString sHeaderProjectTypes = { "sHeaderProjectTypes", "Project Type" };
const Platform::ResourceString sHeaderRFQ = { "sHeaderRFQ", "Request For Quotation" };
const Platform::ResourceString sHeaderUoms = { "sHeaderUoms", "Unit of Measurements" };
const Platform::ResourceString sHeaderVendor = { "sHeaderVendor", "Vendor" };
const Platform::ResourceString sHeaderVendorGroup = { "sHeaderVendorGroup", "Vendor Group" };
const Platform::ResourceString sHeaderVendorSelection = { "sHeaderVendorSelection", "Vendor Selection" };
const Platform::ResourceString sLabelAction = { "sLabelAction", "Action" };
const Platform::ResourceString sLabelActions = { "sLabelActions", "Actions" };
const Platform::ResourceString sLabelActive = { "sLabelActive", "Active" };
const Platform::ResourceString sLabelAdd = { "sLabelAdd", "Add" };
const Platform::ResourceString slabelAddExistingItem = { "slabelAddExistingItem", "Add Existing Item" };
const Platform::ResourceString sLabelAddNewItem = { "sLabelAddNewItem", "Add New Item" };
const Platform::ResourceString sLabelAddress = { "sLabelAddress", "Address" };
const Platform::ResourceString sLabelAll = { "sLabelAll", "All" };
const Platform::ResourceString sLabelApprovals = { "sLabelApprovals", "Approvals" };
const Platform::ResourceString sLabelAuthorization = { "sLabelAuthorization", "Authorization" };
const Platform::ResourceString sLabelBuyer = { "sLabelBuyer", "Buyer Name" };
const Platform::ResourceString sLabelCancel = { "sLabelCancel", "Cancel" };
const Platform::ResourceString sLabelCCProjectNo = { "sLabelCCProjectNo", "CC / Project No." };
const Platform::ResourceString slabelCity = { "slabelCity", "" };
const Platform::ResourceString sLabelCode = { "sLabelCode", "Code" };
const Platform::ResourceString sLabelContactPerson = { "sLabelContactPerson", "Contact Person" };
const Platform::ResourceString sLabelCostCenterID = { "sLabelCostCenterID", "Cost Center ID" };
const Platform::ResourceString sLabelCostCenterName = { "sLabelCostCenterName", "Cost Center Name" };
const Platform::ResourceString sLabelCostCenterNo = { "sLabelCostCenterNo", "Cost Center No" };
const Platform::ResourceString sLabelCustomerName = { "sLabelCustomerName", "Customer Name" };
const Platform::ResourceString sLabelDelete = { "sLabelDelete", "Delete" };
const Platform::ResourceString sLabelDeleteItem = { "sLabelDeleteItem", "Delete Item" };
const Platform::ResourceString sLabelDesc = { "sLabelDesc", "Description" };
const Platform::ResourceString sLabelDetail = { "sLabelDetail", "Detail" };
const Platform::ResourceString sLabelEdit = { "sLabelEdit", "Edit" };
const Platform::ResourceString sLabelEmpName = { "sLabelEmpName", "Employee Name" };
const Platform::ResourceString sLabelEmpNo = { "sLabelEmpNo", "Employee No" };
const Platform::ResourceString sLabelEndDate = { "sLabelEndDate", "End Date" };
const Platform::ResourceString sLabelFromDate = { "sLabelFromDate", "From Date" };
const Platform::ResourceString sLabelId = { "sLabelId", "ID" };
const Platform::ResourceString sLabelIndustry = { "sLabelIndustry", "Industry" };
const Platform::ResourceString sLabelItemDetails = { "sLabelItemDetails", "Item details" };
const Platform::ResourceString slabelLastUpdate = { "slabelLastUpdate", "Last update" };
const Platform::ResourceString sLabelLocName = { "sLabelLocName", "Location Name" };
const Platform::ResourceString sLabelName = { "sLabelName", "Name" };
const Platform::ResourceString sLabelNotActive = { "sLabelNotActive", "Not Active" };
const Platform::ResourceString sLabelNotes = { "sLabelNotes", "Notes" };
const Platform::ResourceString sLabelOfPage = { "sLabelOfPage", "of" };
const Platform::ResourceString sLabelOr = { "sLabelOr", "or" };
const Platform::ResourceString sLabelPage = { "sLabelPage", "Page" };
const Platform::ResourceString sLabelPhone = { "sLabelPhone", "Phone" };
const Platform::ResourceString sLabelPONo = { "sLabelPONo", "PO No" };
const Platform::ResourceString sLabelPrjID = { "sLabelPrjID", "Project ID" };
const Platform::ResourceString sLabelPrjName = { "sLabelPrjName", "Project Name" };
const Platform::ResourceString sLabelPrjNo = { "sLabelPrjNo", "Project No." };
const Platform::ResourceString sLabelPRNo = { "sLabelPRNo", "PR No." };
const Platform::ResourceString sLabelProjectNo = { "sLabelProjectNo", "Project No." };
const Platform::ResourceString sLabelPRStatus = { "sLabelPRStatus", "Purchase Requisition Status" };
const Platform::ResourceString sLabelQty = { "sLabelQty", "Quantity" };
const Platform::ResourceString sLabelRecords = { "sLabelRecords", "records" };
const Platform::ResourceString sLabelRequestBy = { "sLabelRequestBy", "Requested By" };
const Platform::ResourceString sLabelRevision = { "sLabelRevision", "Revision" };
const Platform::ResourceString sLabelRows = { "sLabelRows", "Rows" };
const Platform::ResourceString sLabelSave = { "sLabelSave", "Save" };
const Platform::ResourceString sLabelSearch = { "sLabelSearch", "Search" };
const Platform::ResourceString sLabelSearchText = { "sLabelSearchText", "Search by" };
const Platform::ResourceString sLabelStartDate = { "sLabelStartDate", "Start Date" };
const Platform::ResourceString sLabelStatus = { "sLabelStatus", "Status" };
const Platform::ResourceString sLabelSubTotal = { "sLabelSubTotal", "Sub Total" };
const Platform::ResourceString sLabelTo = { "sLabelTo", "to" };
const Platform::ResourceString sLabelTotal = { "sLabelTotal", "Total" };
const Platform::ResourceString sLabelTotalRecord = { "sLabelTotalRecord", "Total :" };
const Platform::ResourceString sLabelType = { "sLabelType", "Type" };
const Platform::ResourceString slabelUnitPrice = { "slabelUnitPrice", "Price" };
const Platform::ResourceString sLabelUoM = { "sLabelUoM", "UoM" };
const Platform::ResourceString sLabelUpdatedAt = { "sLabelUpdatedAt", "Updated At" };
const Platform::ResourceString sLabelUpdatedBy = { "sLabelUpdatedBy", "Updated By" };
const Platform::ResourceString sLabelUpdatedDate = { "sLabelUpdatedDate", "Updated Date" };
const Platform::ResourceString sLabelUpdateLogs = { "sLabelUpdateLogs", "Update Logs" };
const Platform::ResourceString sLabelVAT = { "sLabelVAT", "VAT" };
const Platform::ResourceString sLabelVendorName = { "sLabelVendorName", "Vendor Name" };
const Platform::ResourceString sLabelViewLogs = { "sLabelViewLogs", "View Logs" };
const Platform::ResourceString sLoginEmail = { "sLoginEmail", "Email" };
const Platform::ResourceString sLoginForgotPassword = { "sLoginForgotPassword", "Forgot password" };
const Platform::ResourceString sLoginPassword = { "sLoginPassword", "Password" };
const Platform::ResourceString sLoginRememberMe = { "sLoginRememberMe", "Remember me" };
const Platform::ResourceString sLoginSignIn = { "sLoginSignIn", "Sign In" };
const Platform::ResourceString sLoginWelcome1 = { "sLoginWelcome1", "Welcome Back!" };
const Platform::ResourceString sLoginWelcome2 = { "sLoginWelcome2", "Please enter your email and password" };
const Platform::ResourceString sMsgAddNewConfirm = { "sMsgAddNewConfirm", "Are you sure to Add New data?" };
const Platform::ResourceString sMsgAssignConfirm = { "sMsgAssignConfirm", "Are you sure to assign buyer?" };
const Platform::ResourceString sMsgClearAssignConfirm = { "sMsgClearAssignConfirm",
                                                          "Are you sure to clear assign buyer?" };
const Platform::ResourceString sMsgDeleteConfirm = { "sMsgDeleteConfirm", "Are you sure to delete this data?" };
const Platform::ResourceString sMsgDeleted = { "sMsgDeleted", "Data has been deleted." };
const Platform::ResourceString sMsgDeleteError = { "sMsgDeleteError", "Delete failed." };
const Platform::ResourceString sMsgHttpBadRequest = { "sMsgHttpBadRequest", "Bad Request." };
const Platform::ResourceString sMsgHttpForbidden = { "sMsgHttpForbidden", "Forbidden." };
const Platform::ResourceString sMsgHttpPageNotFound = { "sMsgHttpPageNotFound", "Page Not Found." };
const Platform::ResourceString sMsgHttpServerError = { "sMsgHttpServerError", "Server Error." };
const Platform::ResourceString sMsgHttpUnauthorized = { "sMsgHttpUnauthorized",
                                                        "Unauthorized or session has expired, please re-login." };
const Platform::ResourceString sMsgHttpUndefinedClientError = { "sMsgHttpUndefinedClientError",
                                                                "Undefined client error." };
const Platform::ResourceString sMsgHttpUndefinedError = { "sMsgHttpUndefinedError", "Udefined Error." };
const Platform::ResourceString sMsgOpenConfirm = { "sMsgOpenConfirm", "Are you sure to Open this data?" };
const Platform::ResourceString sMsgReleaseConfirm = { "sMsgReleaseConfirm", "Are you sure to Release this data?" };
const Platform::ResourceString sMsgSaveConfirm = { "sMsgSaveConfirm", "Is the data correct?" };
const Platform::ResourceString sMsgSaved = { "sMsgSaved", "Data has been saved." };
const Platform::ResourceString sMsgSessionExpired = { "sMsgSessionExpired", "Session has expired, please re-login." };

// Beside the catalogue: what a failed request or save tells the user.
const Platform::ResourceString sMsgNoConnection = {
    "sMsgNoConnection", "Cannot connect to the server. Check the network connection and try again."
};
const Platform::ResourceString sMsgNoAnswerInTime = { "sMsgNoAnswerInTime",
                                                      "The server did not answer in time. Please try again." };
const Platform::ResourceString sMsgServerFailed = { "sMsgServerFailed",
                                                    "The server failed to give a complete answer. Please try again." };
// A write that was sent may have been applied: another try could apply it twice.
const Platform::ResourceString sMsgWriteNoAnswerInTime = {
    "sMsgWriteNoAnswerInTime",
    "The server did not answer in time. It may have applied the change: check the data before you try again."
};
const Platform::ResourceString sMsgWriteServerFailed = {
    "sMsgWriteServerFailed",
    "The server failed to give a complete answer. It may have applied the change: check the data before you try "
    "again."
};
const Platform::ResourceString sMsgNothingToSave = { "sMsgNothingToSave", "There is no data to save." };

const char *const LangResProductName = "Custom Resource Strings";
const char *const FailureProductName = "Request Failure Resource Strings";

void AddResourceStringNames(QList<const Platform::ResourceString *> &AProduct)
{
    static const Platform::ResourceString *const catalogue[] = {
        &sAppClose,
        &sErrEmpty,
        &sErrLoginInfoFailed,
        &sErrSignInFailed,
        &sHeaderAsset,
        &sHeaderAssetCategory,
        &sHeaderAssetClasses,
        &sHeaderAssetLocation,
        &sHeaderAssetMovement,
        &sHeaderAssetStatus,
        &sHeaderAssetWarranty,
        &sHeaderBank,
        &sHeaderContacts,
        &sHeaderCustomers,
        &sHeaderIndustries,
        &sHeaderItem,
        &sHeaderItemCategory,
        &sHeaderItemTypes,
        &sHeaderLocations,
        &sHeaderLostReasons,
        &sHeaderOpportunityStatus,
        &sHeaderPaymentTerm,
        &sHeaderPO,
        &sHeaderPR,
        &sHeaderProjects,
        &sHeaderProjectTypes,
        &sHeaderRFQ,
        &sHeaderUoms,
        &sHeaderVendor,
        &sHeaderVendorGroup,
        &sHeaderVendorSelection,
        &sLabelAction,
        &sLabelActions,
        &sLabelActive,
        &sLabelAdd,
        &slabelAddExistingItem,
        &sLabelAddNewItem,
        &sLabelAddress,
        &sLabelAll,
        &sLabelApprovals,
        &sLabelAuthorization,
        &sLabelBuyer,
        &sLabelCancel,
        &sLabelCCProjectNo,
        &slabelCity,
        &sLabelCode,
        &sLabelContactPerson,
        &sLabelCostCenterID,
        &sLabelCostCenterName,
        &sLabelCostCenterNo,
        &sLabelCustomerName,
        &sLabelDelete,
        &sLabelDeleteItem,
        &sLabelDesc,
        &sLabelDetail,
        &sLabelEdit,
        &sLabelEmpName,
        &sLabelEmpNo,
        &sLabelEndDate,
        &sLabelFromDate,
        &sLabelId,
        &sLabelIndustry,
        &sLabelItemDetails,
        &slabelLastUpdate,
        &sLabelLocName,
        &sLabelName,
        &sLabelNotActive,
        &sLabelNotes,
        &sLabelOfPage,
        &sLabelOr,
        &sLabelPage,
        &sLabelPhone,
        &sLabelPONo,
        &sLabelPrjID,
        &sLabelPrjName,
        &sLabelPrjNo,
        &sLabelPRNo,
        &sLabelProjectNo,
        &sLabelPRStatus,
        &sLabelQty,
        &sLabelRecords,
        &sLabelRequestBy,
        &sLabelRevision,
        &sLabelRows,
        &sLabelSave,
        &sLabelSearch,
        &sLabelSearchText,
        &sLabelStartDate,
        &sLabelStatus,
        &sLabelSubTotal,
        &sLabelTo,
        &sLabelTotal,
        &sLabelTotalRecord,
        &sLabelType,
        &slabelUnitPrice,
        &sLabelUoM,
        &sLabelUpdatedAt,
        &sLabelUpdatedBy,
        &sLabelUpdatedDate,
        &sLabelUpdateLogs,
        &sLabelVAT,
        &sLabelVendorName,
        &sLabelViewLogs,
        &sLoginEmail,
        &sLoginForgotPassword,
        &sLoginPassword,
        &sLoginRememberMe,
        &sLoginSignIn,
        &sLoginWelcome1,
        &sLoginWelcome2,
        &sMsgAddNewConfirm,
        &sMsgAssignConfirm,
        &sMsgClearAssignConfirm,
        &sMsgDeleteConfirm,
        &sMsgDeleted,
        &sMsgDeleteError,
        &sMsgHttpBadRequest,
        &sMsgHttpForbidden,
        &sMsgHttpPageNotFound,
        &sMsgHttpServerError,
        &sMsgHttpUnauthorized,
        &sMsgHttpUndefinedClientError,
        &sMsgHttpUndefinedError,
        &sMsgOpenConfirm,
        &sMsgReleaseConfirm,
        &sMsgSaveConfirm,
        &sMsgSaved,
        &sMsgSessionExpired,
    };
    for (const Platform::ResourceString *s : catalogue)
        AProduct.append(s);
}

void LangResU_Initialize()
{
    QList<const Platform::ResourceString *> product;
    AddResourceStringNames(product);
    Platform::ResourceStringRepository::instance().registerProduct(QString::fromLatin1(LangResProductName), product);
    Platform::ResourceStringRepository::instance().registerProduct(QString::fromLatin1(FailureProductName),
                                                                   { &sMsgNoConnection, &sMsgNoAnswerInTime,
                                                                     &sMsgServerFailed, &sMsgWriteNoAnswerInTime,
                                                                     &sMsgWriteServerFailed, &sMsgNothingToSave });
}

void LangResU_Finalize()
{
    Platform::ResourceStringRepository::instance().unregisterProduct(QString::fromLatin1(FailureProductName));
    Platform::ResourceStringRepository::instance().unregisterProduct(QString::fromLatin1(LangResProductName));
}
