#include "ui/uAboutForm.h"

Tform_About::Tform_About(QWidget* parent) : QDialog(parent)
{
    setObjectName("form_About");
    setWindowTitle(QStringLiteral("关于"));
}
