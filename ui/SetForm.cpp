#include "ui/SetForm.h"

TSetFrm::TSetFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName("SetFrm");
    setWindowTitle(QStringLiteral("参数设置"));
}
