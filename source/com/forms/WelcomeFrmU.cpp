#include "WelcomeFrmU.h"

#include <QPalette>

TWelcomeFrm::TWelcomeFrm(QWidget *AOwner)
    : TBaseChildFrm(AOwner)
{
    setWindowTitle(QStringLiteral("Welcome"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
    FBorderless = true;
    FMaximized = true;
}

TWelcomeFrm::~TWelcomeFrm() = default;

void TWelcomeFrm::TranslationChanged() { }

void TWelcomeFrm::FormClose(TCloseAction &AAction)
{
    AAction = caFree;
}
