#pragma once

#include "ResourceStrings.h"

#include <QList>

// The module's own texts, for captions the common catalogue (LangResU)
// does not hold. They are fetched in the current language like the common
// ones; lang.ini translates them under these names.
extern const Platform::ResourceString sHeaderNewCustomer;
extern const Platform::ResourceString sHeaderEditCustomer;
extern const Platform::ResourceString sLabelCustomerCode;
extern const Platform::ResourceString sLabelCity;
extern const Platform::ResourceString sLabelEmail;
extern const Platform::ResourceString sLabelWebsite;
extern const Platform::ResourceString sLabelRefresh;
extern const Platform::ResourceString sLabelFirstPage;
extern const Platform::ResourceString sLabelPrevPage;
extern const Platform::ResourceString sLabelNextPage;
extern const Platform::ResourceString sLabelLastPage;
extern const Platform::ResourceString sErrInvalidEmail;
extern const Platform::ResourceString sLabelFind;
extern const Platform::ResourceString sHeaderFindCustomer;
extern const Platform::ResourceString sLabelAddContact;
extern const Platform::ResourceString sLabelPrint;

// Registered with the resource-string repository while the module is loaded.
inline constexpr const char CrmResourceProduct[] = "CRM Resource Strings";
QList<const Platform::ResourceString *> CrmResourceStrings();
