#include "imagewin/spinboxes.h"

#include "engine/nint.h"

#include <QLineEdit>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

// Longer texts are no number a telescope takes; the limit keeps them finite.
constexpr int kMaxTypedLength = 24;

QLocale plainLocale()
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    return c;
}

// The beginnings of a number that are not one yet.
bool isStartOfNumber(const QString& t)
{
    static const QStringList starts = {QString(), QStringLiteral("+"), QStringLiteral("-"),
                                       QStringLiteral("."), QStringLiteral(","),
                                       QStringLiteral("+."), QStringLiteral("-."),
                                       QStringLiteral("+,"), QStringLiteral("-,")};
    return starts.contains(t);
}

QValidator::State typedState(const QString& input)
{
    const QString t = input.trimmed();
    if (t.size() > kMaxTypedLength)
        return QValidator::Invalid;
    if (isStartOfNumber(t))
        return QValidator::Intermediate;
    return ParseTypedNumber(t) ? QValidator::Acceptable : QValidator::Invalid;
}

} // namespace

std::optional<double> ParseTypedNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > kMaxTypedLength)
        return std::nullopt;
    int i = 0;
    if (t[0] == QLatin1Char('+') || t[0] == QLatin1Char('-'))
        ++i;
    int digits = 0, marks = 0;
    QString plain = t.left(i);
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            ++digits;
            plain += c;
        } else if (c == QLatin1Char('.') || c == QLatin1Char(',')) {
            if (++marks > 1)
                return std::nullopt;
            plain += QLatin1Char('.');
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

RealSpinBox::RealSpinBox(QWidget* parent) : QDoubleSpinBox(parent)
{
    setLocale(plainLocale());
}

QValidator::State RealSpinBox::validate(QString& input, int&) const
{
    return typedState(input);
}

double RealSpinBox::valueFromText(const QString& text) const
{
    const auto v = ParseTypedNumber(text);
    if (!v)
        return value();
    const double rounded = QLocale::c().toDouble(QString::number(*v, 'f', decimals()));
    return std::clamp(rounded, minimum(), maximum());
}

QString RealSpinBox::textFromValue(double v) const
{
    return plainLocale().toString(v, 'f', decimals());
}

void RealSpinBox::fixup(QString&) const {}

IntSpinBox::IntSpinBox(QWidget* parent) : QSpinBox(parent)
{
    setLocale(plainLocale());
}

QValidator::State IntSpinBox::validate(QString& input, int&) const
{
    return typedState(input);
}

int IntSpinBox::valueFromText(const QString& text) const
{
    const auto v = ParseTypedNumber(text);
    if (!v)
        return value();
    const double clamped = std::clamp(*v, double(minimum()), double(maximum()));
    return NintI(clamped);
}

QString IntSpinBox::textFromValue(int v) const
{
    return QString::number(v);
}

void IntSpinBox::fixup(QString&) const {}

} // namespace qm
