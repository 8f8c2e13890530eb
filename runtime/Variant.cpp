#include "runtime/Variant.h"

#include <QDate>

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

QString currencyText(Currency c) {
    // Through the unsigned magnitude, so the most negative amount has one too.
    const bool negative = c.raw() < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(c.raw()) : static_cast<std::uint64_t>(c.raw());
    QString s = QString::number(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        int places = 4;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --places;
        }
        s += QLatin1Char('.') + QString::number(fraction).rightJustified(places, QLatin1Char('0'));
    }
    return negative ? QLatin1Char('-') + s : s;
}

QString dateText(Date d) {
    if (!std::isfinite(d.days) || std::fabs(d.days) > 1e8)
        return doubleText(d.days); // no calendar day: show the number rather than invent one
    // The integer counts days (also below zero); the fraction is the time
    // of that day whatever the sign, rounded to the second as the runtime shows it.
    const double whole = std::trunc(d.days);
    auto days = static_cast<qint64>(whole);
    auto seconds = static_cast<qint64>(std::llround(std::fabs(d.days - whole) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    const QDate date = QDate(1899, 12, 30).addDays(days);
    const QString time = QStringLiteral("%1:%2:%3")
                             .arg(seconds / 3600)
                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (days == 0)
        return time;
    const QString day = QStringLiteral("%1/%2/%3")
                            .arg(date.year(), 4, 10, QLatin1Char('0'))
                            .arg(date.month(), 2, 10, QLatin1Char('0'))
                            .arg(date.day(), 2, 10, QLatin1Char('0'));
    return seconds == 0 ? day : day + QLatin1Char(' ') + time;
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
        QString operator()(Currency v) const { return currencyText(v); }
        QString operator()(TruthValue v) const { return isTrue(v.value) ? QStringLiteral("True") : QStringLiteral("False"); }
        QString operator()(Date v) const { return dateText(v); }
        QString operator()(const Decimal& v) const { return v.digits; }
    };
    return std::visit(Visitor{}, v_);
}

} // namespace vb
