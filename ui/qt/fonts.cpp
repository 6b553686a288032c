#include "ui/qt/fonts.h"

#include <QFont>
#include <QStringList>

#include "present/layout.h"

void InstallFontSubstitutions()
{
    QFont::insertSubstitutions(QString::fromUtf8(UiLayout::kSongFamily),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("SimSun")});
    QFont::insertSubstitutions(
        QString::fromUtf8(UiLayout::kYaHeiFamily),
        {QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Microsoft YaHei")});
    QFont::insertSubstitutions(
        QString::fromUtf8(UiLayout::kSansFamily),
        {QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("DejaVu Sans")});
}
