#include "platform/dao/ConnectText.h"

#include <QStringList>

namespace dao {

std::optional<QString> passwordFromConnect(const QString& connect) {
    std::optional<QString> password;
    for (const QString& part : connect.split(QLatin1Char(';'))) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed().compare(QLatin1String("pwd"), Qt::CaseInsensitive) == 0)
            password = part.mid(eq + 1);
    }
    return password;
}

} // namespace dao
