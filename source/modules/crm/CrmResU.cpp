#include "CrmResU.h"

const Platform::ResourceString sHeaderNewCustomer = { "sHeaderNewCustomer", "New Customer" };
const Platform::ResourceString sHeaderEditCustomer = { "sHeaderEditCustomer", "Edit Customer" };
const Platform::ResourceString sLabelCustomerCode = { "sLabelCustomerCode", "Customer Code" };
// the common catalogue's slabelCity has no English text
const Platform::ResourceString sLabelCity = { "sLabelCity", "City" };
const Platform::ResourceString sLabelEmail = { "sLabelEmail", "Email" };
const Platform::ResourceString sLabelWebsite = { "sLabelWebsite", "Website" };
const Platform::ResourceString sLabelRefresh = { "sLabelRefresh", "Refresh" };
const Platform::ResourceString sLabelFirstPage = { "sLabelFirstPage", "First page" };
const Platform::ResourceString sLabelPrevPage = { "sLabelPrevPage", "Previous page" };
const Platform::ResourceString sLabelNextPage = { "sLabelNextPage", "Next page" };
const Platform::ResourceString sLabelLastPage = { "sLabelLastPage", "Last page" };
const Platform::ResourceString sErrInvalidEmail = { "sErrInvalidEmail", "is not a valid e-mail address." };
const Platform::ResourceString sLabelFind = { "sLabelFind", "Find" };
const Platform::ResourceString sHeaderFindCustomer = { "sHeaderFindCustomer", "Find Customer" };
const Platform::ResourceString sLabelAddContact = { "sLabelAddContact", "Add Contact" };
const Platform::ResourceString sLabelPrint = { "sLabelPrint", "Print" };

QList<const Platform::ResourceString *> CrmResourceStrings()
{
    return { &sHeaderNewCustomer, &sHeaderEditCustomer, &sLabelCustomerCode, &sLabelCity,
             &sLabelEmail,        &sLabelWebsite,       &sLabelRefresh,      &sLabelFirstPage,
             &sLabelPrevPage,     &sLabelNextPage,      &sLabelLastPage,     &sErrInvalidEmail,
             &sLabelFind,         &sHeaderFindCustomer, &sLabelAddContact,   &sLabelPrint };
}
