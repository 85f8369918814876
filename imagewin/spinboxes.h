#pragma once
// Spin boxes that take what the user types. Qt's own boxes reject a keystroke
// that would leave the range (typing 99 into a 0..95 box gives 9) and read the
// text in the user's locale. These accept any plain decimal number while it is
// typed, clamp it to the range and round it to the box's decimals when editing
// finishes, and read "," as a decimal mark, never as a thousands separator.

#include <QDoubleSpinBox>
#include <QSpinBox>

#include <optional>

namespace qm {

// A plain decimal number as typed: optional sign, digits with "." or "," as the
// decimal mark; no exponent, no grouping. nullopt for anything else.
std::optional<double> ParseTypedNumber(const QString& text);

class RealSpinBox : public QDoubleSpinBox {
    Q_OBJECT
public:
    explicit RealSpinBox(QWidget* parent = nullptr);

    QValidator::State validate(QString& input, int& pos) const override;
    double valueFromText(const QString& text) const override;
    QString textFromValue(double value) const override;
    void fixup(QString& input) const override;
};

class IntSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit IntSpinBox(QWidget* parent = nullptr);

    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;
    void fixup(QString& input) const override;
};

} // namespace qm
