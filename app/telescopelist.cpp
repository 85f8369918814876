// The telescope list of the panel: Add, and selecting a telescope.
#include "app/telescopepanel.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

namespace qm {

QString TelescopePanel::scopeName(int n) const
{
    if (n < 1 || n > Scopes->count())
        return {};
    return Scopes->itemText(n - 1);
}

void TelescopePanel::AddscopeButtonClick()
{
    // The table holds fifty telescopes; a further Add selects the last one again.
    if (ScopeCount >= kMaxScopes) {
        SelectScope(ScopeCount);
        return;
    }
    ++ScopeCount;
    CurrentScope = ScopeCount;
    const QString typed = Scopes->lineEdit() ? Scopes->lineEdit()->text() : QString();
    const bool useTyped = !typed.isEmpty() && !typed.startsWith(QLatin1String("Scope"));
    const QString name = useTyped ? typed : QStringLiteral("Scope %1").arg(ScopeCount);
    {
        const QSignalBlocker block(Scopes);
        Scopes->addItem(name);
    }
    for (int i = prmObstruction; i <= prmFocalRatio; ++i)
        s_.Params[i].Value = 0.0;
    s_.Params[prmAperture].Value = ApertureSpin->value();
    s_.Params[prmFocalRatio].Value = 10.0;
    ScopeTable[ScopeCount] = s_.Params;
    {
        const QSignalBlocker block(Scopes);
        Scopes->setCurrentIndex(Scopes->count() - 1);
    }
    SelectScope(Scopes->currentIndex() + 1);
    emit scopeAdded(ScopeCount);
}

void TelescopePanel::markSelected(int n)
{
    const QSignalBlocker block(Scopes);
    if (n >= 1 && n <= Scopes->count())
        Scopes->setCurrentIndex(n - 1);
}

void TelescopePanel::SelectScope(int n)
{
    if (n < 1 || n > ScopeCount)
        return;
    s_.Params = ScopeTable[n];
    CurrentScope = n;
    markSelected(n);
    selecting_ = true;
    const ParamTable stored = ScopeTable[n];
    // Each write that changes a box runs its handler, which copies the shown
    // (clamped, rounded) value back. A box that already shows the clamped value
    // raises no change, so its value is copied back here.
    auto write = [&](auto* box, int index, auto value, bool setsEnabled) {
        box->setValue(value);
        if (double(box->value()) != stored[index].Value)
            storeParam(index, box->value(), setsEnabled);
    };
    write(ResolutionSpin, prmResolution, stored[prmResolution].Value, false);
    write(ApertureSpin, prmAperture, int(std::lrint(stored[prmAperture].Value)), false);
    write(ObstructionSpin, prmObstruction, stored[prmObstruction].Value, true);
    write(FocusControl, prmFocus, stored[prmFocus].Value, true);
    write(ComaControl, prmComa, stored[prmComa].Value, true);
    write(ComaAngle, prmComaAngle, int(std::lrint(stored[prmComaAngle].Value)), true);
    write(AstigControl, prmAstig, stored[prmAstig].Value, true);
    write(AstigAngle, prmAstigAngle, int(std::lrint(stored[prmAstigAngle].Value)), true);
    write(LSAControl, prmLSA, stored[prmLSA].Value, true);
    write(HSAControl, prmHSA, stored[prmHSA].Value, true);
    write(PinchControl, prmPinch, stored[prmPinch].Value, true);
    write(PinchAngle, prmPinchAngle, int(std::lrint(stored[prmPinchAngle].Value)), true);
    write(TubeControl, prmTube, stored[prmTube].Value, true);
    write(TubeRadius, prmTubeRadius, stored[prmTubeRadius].Value, true);
    write(TurbulenceSpin, prmTurbulence, stored[prmTurbulence].Value, true);
    write(FocalRatio, prmFocalRatio, stored[prmFocalRatio].Value, false);
    selecting_ = false;
}

} // namespace qm
