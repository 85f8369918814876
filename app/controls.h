#pragma once
// Spin boxes as the panels use them: a name for tests and look-ups, range, step,
// start value and hint; the value is taken when typing ends, not per keystroke,
// clamped to the range and rounded to the decimals.

#include "imagewin/spinboxes.h"

#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QString>

namespace qm {

inline void SetHint(QWidget* w, const QString& hint)
{
    w->setToolTip(hint);
    w->setStatusTip(hint);
}

template <class Box, class T>
Box* SetUpSpinBox(Box* b, const char* name, T lo, T hi, T step, T value, const QString& hint)
{
    b->setObjectName(QString::fromLatin1(name));
    b->setRange(lo, hi);
    b->setSingleStep(step);
    b->setValue(value);
    b->setKeyboardTracking(false);
    if (!hint.isEmpty())
        SetHint(b, hint);
    return b;
}

inline QDoubleSpinBox* RealBox(const char* name, double lo, double hi, double step, double value,
                               int decimals = 2, const QString& hint = {})
{
    auto* b = new RealSpinBox;
    b->setDecimals(decimals);   // before the range and value, which it rounds
    return SetUpSpinBox(b, name, lo, hi, step, value, hint);
}

inline QSpinBox* IntegerBox(const char* name, int lo, int hi, int step, int value, const QString& hint = {})
{
    return SetUpSpinBox(new IntSpinBox, name, lo, hi, step, value, hint);
}

} // namespace qm
