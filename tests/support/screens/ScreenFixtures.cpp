#include "ScreenFixtures.h"

#include "AccessDetailsU.h"

MdiHost::MdiHost()
    : m_main(std::make_unique<QMainWindow>())
{
    m_area = new QMdiArea(m_main.get());
    m_main->setCentralWidget(m_area);
    m_main->resize(1000, 700);
    m_main->show();
}

MdiHost::~MdiHost() = default;

TTestScreenFrm::TTestScreenFrm(QWidget *AOwner)
    : TBaseChildFrm(AOwner)
{
    btnSave = new QPushButton(QStringLiteral("Save"), this);
    AccessDetails()->AddControl(QStringLiteral("crud"), btnSave, caHidden, caVisible, caVisible, caHidden, caHidden,
                                caHidden);
}
