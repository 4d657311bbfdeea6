#include "EmpListFrmU.h"

#include "LangResU.h"

#include <QLineEdit>

using FT = Platform::MemTable::FieldType;

TEmpListFrm::TEmpListFrm(QWidget *AParent)
    : TMasterPickListFrm(sHeaderEmpList, QSize(611, 508), true, false, AParent)
{
    setObjectName(QStringLiteral("EmpListFrm"));
    defineData({ { QStringLiteral("emp_id"), FT::LargeInt, 0 },
                 { QStringLiteral("emp_name"), FT::String, 200 },
                 { QStringLiteral("gender"), FT::String, 6 },
                 { QStringLiteral("org_name"), FT::String, 100 } },
               { { QStringLiteral("emp_name"), &sLabelEmpName },
                 { QStringLiteral("gender"), &sLabelGender },
                 { QStringLiteral("org_name"), &sLabelOrganization } });
}

void TEmpListFrm::LoadData()
{
    auto params = std::make_unique<THttpParams>();
    params->AddParam(QStringLiteral("mode"), QStringLiteral("lookup"), pdtString, ptQuery);
    params->AddParam(QStringLiteral("q"), edtSearch->text(), pdtString, ptQuery);
    lookupLoad(QStringLiteral("/hrm/v1/master/employees"), std::move(params));
}

void TEmpListFrm::FormShow()
{
    edtSearch->clear();
    LoadData();
}
