#pragma once
// The dialogs' Windows font names mapped to faces Debian installs, as the
// program does at start-up.

#include <QFont>

inline void substituteDialogFonts()
{
    QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("AR PL UMing CN"));
    QFont::insertSubstitution(QStringLiteral("微软雅黑"), QStringLiteral("WenQuanYi Zen Hei"));
}
