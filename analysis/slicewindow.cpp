#include "analysis/slicewindow.h"

#include "engine/nint.h"
#include "imagewin/savepicture.h"
#include "imagewin/spinboxes.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

namespace qm {

namespace {

QToolButton* button(QWidget* parent, const char* name, const QString& text, const QString& hint)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    return b;
}

IntSpinBox* intSpin(QWidget* parent, const char* name, int lo, int hi, int value)
{
    auto* spin = new IntSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(lo, hi);
    spin->setValue(value);
    return spin;
}

} // namespace

TSliceForm::TSliceForm(SimState& state, ScopeList& scopes, FrameServices& frame, QWidget* parent)
    : QWidget(parent), state_(state), scopes_(scopes), frame_(frame)
{
    setObjectName(QStringLiteral("SliceForm"));
    setWindowTitle(QStringLiteral("Slice"));
    setMinimumSize(286, 224);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);

    auto* calculate = button(this, "RxSpeedButton1", QStringLiteral("Calculate"),
                             QStringLiteral("Calculate Side view"));
    auto* save = button(this, "RxSpeedButton2", QStringLiteral("Save"), QStringLiteral("Save Image"));

    SliceFocus = new RealSpinBox(this);
    SliceFocus->setObjectName(QStringLiteral("SliceFocus"));
    SliceFocus->setRange(0.0, 8.0);
    SliceFocus->setDecimals(1);
    SliceFocus->setSingleStep(0.1);
    SliceFocus->setValue(4.0);
    SliceFocus->setToolTip(QStringLiteral("Enter Focusrange (waves)"));
    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(0, 80);
    TrackBar1->setValue(40);

    SliceFFTSpace = new QComboBox(this);
    SliceFFTSpace->setObjectName(QStringLiteral("SliceFFTSpace"));
    SliceFFTSpace->addItems({QStringLiteral("512"), QStringLiteral("256"), QStringLiteral("128")});
    SliceFFTSpace->setCurrentText(QStringLiteral("128"));
    SliceAperture = intSpin(this, "SliceAperture", 10, 100, 50);
    SliceHeight = intSpin(this, "SliceHeight", 64, 512, 128);
    SliceWidth = intSpin(this, "SliceWidth", 64, 512, 256);

    auto label = [this](const QString& text) { return new QLabel(text, this); };
    grid->addWidget(calculate, 0, 0);
    grid->addWidget(label(QStringLiteral("Focusrange")), 0, 1);
    grid->addWidget(SliceFocus, 0, 2);
    grid->addWidget(label(QStringLiteral("FFT-Space")), 0, 3);
    grid->addWidget(SliceFFTSpace, 0, 4);
    grid->addWidget(save, 0, 5);
    grid->addWidget(TrackBar1, 1, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("Aperture")), 1, 3);
    grid->addWidget(SliceAperture, 1, 4);
    grid->addWidget(label(QStringLiteral("Height")), 2, 1);
    grid->addWidget(SliceHeight, 2, 2);
    grid->addWidget(label(QStringLiteral("Width")), 2, 3);
    grid->addWidget(SliceWidth, 2, 4);

    message = new QLabel(this);
    message->setObjectName(QStringLiteral("SliceMessage"));
    message->setStyleSheet(QStringLiteral("color: #b00000"));
    message->hide();
    grid->addWidget(message, 3, 0, 1, 6);

    Panel1_ = new QScrollArea(this);
    Panel1_->setObjectName(QStringLiteral("Panel1"));
    Panel1_->setFrameShape(QFrame::Panel);
    Panel1_->setFrameShadow(QFrame::Sunken);
    Panel1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SlicedImage = new QLabel;
    SlicedImage->setObjectName(QStringLiteral("SlicedImage"));
    Panel1_->setWidget(SlicedImage);
    grid->addWidget(Panel1_, 4, 0, 1, 6);
    grid->setRowStretch(4, 1);

    connect(calculate, &QToolButton::clicked, this, &TSliceForm::RxSpeedButton1Click);
    connect(save, &QToolButton::clicked, this, &TSliceForm::RxSpeedButton2Click);
    connect(SliceFocus, &QDoubleSpinBox::valueChanged, this, &TSliceForm::SliceFocusChange);
    connect(TrackBar1, &QSlider::valueChanged, this, &TSliceForm::TrackBar1Change);
    resize(342, 247);
}

void TSliceForm::SliceFocusChange(double value)
{
    SpinEchoGuard_ = true;
    TrackBar1->setValue(NintI(value * 10.0));
    SpinEchoGuard_ = false;   // a position the bar already had sends no change
}

void TSliceForm::TrackBar1Change(int position)
{
    if (!SpinEchoGuard_)
        SliceFocus->setValue(position * 0.1);
    SpinEchoGuard_ = false;
}

SliceSettings TSliceForm::settings() const
{
    SliceSettings s;
    s.focusRange = SliceFocus->value();
    s.fftSize = SliceFFTSpace->currentText().toInt();
    s.aperturePercent = SliceAperture->value();
    s.height = SliceHeight->value();
    s.width = SliceWidth->value();
    s.colour = state_.panel.UseOPDcheckbox;
    return s;
}

void TSliceForm::showPicture(const QImage& picture)
{
    SlicedImage->setPixmap(QPixmap::fromImage(picture));
    SlicedImage->resize(picture.size());
}

void TSliceForm::RxSpeedButton1Click()
{
    if (computing_)
        return;
    const SliceSettings settings = this->settings();
    if (!(settings.focusRange > 0.0)) {
        // Nothing to spread the columns over: the picture and the state stay.
        message->setText(QStringLiteral("Focus range must be above 0"));
        message->show();
        return;
    }
    message->hide();
    const QString caption = QStringLiteral("Slice ") + scopes_.scopeName(scopes_.currentScope());
    setWindowTitle(caption);
    emit captionChanged(caption);
    const SliceGeometry g = SliceGeometryFor(settings);
    emit sizeWanted(g.window);

    SliceHooks hooks;
    hooks.progress = [this](int column, int width) { frame_.showProgress(column, width); };
    hooks.columnDone = [this](const QImage& picture) { showPicture(picture); };
    hooks.keepGoing = [this] {
        QCoreApplication::processEvents();
        return !abort_;
    };
    abort_ = false;
    computing_ = true;
    qApp->installEventFilter(this);
    SliceResult r = ComputeSlice(state_, settings, hooks);
    qApp->removeEventFilter(this);
    computing_ = false;
    frame_.showProgress(1, 1);
    if (!r.status) {
        message->setText(QString::fromStdString(r.status.message));
        message->show();
        frame_.log(QString::fromStdString(r.status.message));
    }
    if (!r.picture.isNull()) {
        picture_ = r.picture;
        showPicture(picture_);
    }
    if (closeWhenDone_) {
        QWidget* target = parentWidget() ? parentWidget() : this;
        QTimer::singleShot(0, target, [target] { target->close(); });
    }
}

void TSliceForm::RxSpeedButton2Click()
{
    if (!picture_.isNull())
        SavePicture(this, picture_);
}

bool TSliceForm::eventFilter(QObject* watched, QEvent* event)
{
    // Escape anywhere in the window stops the computation.
    if (computing_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && (w == this || isAncestorOf(w))) {
            abort_ = true;
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TSliceForm::closeEvent(QCloseEvent* event)
{
    if (computing_) {
        // Stop after this column and close once the computation has returned.
        abort_ = true;
        closeWhenDone_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace qm
