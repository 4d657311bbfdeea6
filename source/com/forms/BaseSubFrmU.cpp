#include "BaseSubFrmU.h"

#include "ErrorHandlerU.h"

#include <QFont>
#include <QLayout>
#include <QVBoxLayout>

TBaseSubFrm::TBaseSubFrm(QWidget *AOwner)
    : QWidget(AOwner)
{
    setWindowTitle(QStringLiteral("BaseSubFrm"));
    resize(654, 421);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
}

TBaseSubFrm::~TBaseSubFrm() = default;

TBaseSubFrm *TBaseSubFrm::LoadForm(QWidget *AParent, const Factory &ASubFrmClass)
{
    if (!AParent || !ASubFrmClass)
        return nullptr;
    TBaseSubFrm *form = ASubFrmClass(AParent);
    if (!form)
        return nullptr;
    form->setVisible(false);
    // a child widget, so no window frame of its own
    form->setParent(AParent, Qt::Widget);
    QLayout *layout = AParent->layout();
    if (!layout) {
        layout = new QVBoxLayout(AParent);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(form);
    form->setVisible(true);
    layout->activate();
    return form;
}
