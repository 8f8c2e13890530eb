#include "runtime/Variant.h"

#include <cmath>

namespace vb {

namespace {

QString doubleText(double v) {
    if (std::isnan(v))
        return QStringLiteral("NaN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (v == std::trunc(v) && std::fabs(v) < 1e15)
        return QString::number(static_cast<qint64>(v));
    // 15 significant digits with an upper-case, signed exponent: 1E+20, 1E-05.
    QString s = QString::number(v, 'g', 15);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    if (e >= 0)
        s[e] = QLatin1Char('E');
    return s;
}

} // namespace

QString Variant::toText() const {
    struct Visitor {
        QString operator()(Null) const { return QString(); }
        QString operator()(std::int64_t v) const { return QString::number(v); }
        QString operator()(double v) const { return doubleText(v); }
        QString operator()(const QString& v) const { return v; }
        QString operator()(const QByteArray& v) const {
            return QString::fromUtf16(reinterpret_cast<const char16_t*>(v.constData()), v.size() / 2);
        }
    };
    return std::visit(Visitor{}, v_);
}

} // namespace vb
