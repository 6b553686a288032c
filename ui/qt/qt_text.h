#pragma once
// The layers below hand the windows UTF-8 text; Qt shows QString.

#include <QString>
#include <string_view>

inline QString QStringOf(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
