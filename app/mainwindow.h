#pragma once
// TMainForm: the frame of the program. An MDI area for the pictures and the
// analysis windows, the tool bar of image commands, the telescope panel docked
// at the left and the tool windows. The one simulation state of the run is
// owned by main() and outlives the frame and every panel that holds it.

#include "analysis/mtfwindow.h"
#include "analysis/psfwindow.h"
#include "app/settingsstore.h"
#include "engine/simstate.h"
#include "imagewin/imagehost.h"
#include "imagewin/imagekinds.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QToolButton;

namespace qm {

class CalibrationTool;
class DoubleStarTool;
class OPDFilesTool;
class TD3Wave;
class TSliceForm;
class ImageSettingTool;
class TelescopePanel;
class TMDIImage;

class TMainForm : public QMainWindow,
                  public ScopeList,
                  public ColourTool,
                  public PlotWindows,
                  public FrameServices,
                  public DoubleStarInputs {
    Q_OBJECT
public:
    // The settings store is the user's own unless one is given (tests).
    explicit TMainForm(SimState& state, std::unique_ptr<SettingsStore> settings = nullptr,
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    // --- image commands -------------------------------------------------------------
    void StarImageButtonClick();
    void RxSpeedButton2Click();    // Intra/Extra
    void RxSpeedButton3Click();    // Chroma
    void RxSpeedButton1Click();    // Double
    void PlanetImageButtonClick();
    void AllScopeButtonClick();    // Calculate all
    void PointAtClick();           // update of the active image
    void RxSpeedButton5Click();    // MTF
    void RxSpeedButton7Click();    // PSF/EE
    void RxSpeedButton4Click();    // monitor calibration
    void CallChromaticControlClick();
    void RxSpeedButton8Click();    // Slice
    void N3dWavefront1Click();     // 3d Wavefront
    void RxSpeedButton6Click();    // OPD files tool
    void UpdateMenuItems();

    // --- the program's shared state ----------------------------------------------------
    SimState& Sim() { return state_; }
    TelescopePanel* telescopePanel() const { return panel_; }
    CalibrationTool* calibrationTool() const { return calibration_; }
    ImageSettingTool* imageSettingTool() const { return colorTool_; }
    QMdiArea* mdiArea() const { return mdi_; }
    QPlainTextEdit* logMemo() const { return LogMemo_; }
    TMTFForm* mtfForm() const { return mtf_; }
    TPSFFORM* psfForm() const { return psf_; }
    QDockWidget* aboutWindow() const { return AboutWindow_; }
    TMDIImage* activeImage() const;

    // The kind of the next picture, set by the image commands.
    PictureKind ImageKind = PictureKind::Star;
    QString PlanetFile;
    double PlanetResolution = 10.0;
    int NextWindowLeft = 0;
    int NextWindowTop = 0;
    bool MtfFormOpen = false;
    bool PsfFormOpen = false;
    bool D3WaveOpen = false;
    bool SliceFormOpen = false;
    bool ChromaControlsOpen = false;
    int MtfToolWidth = 256;
    int MtfToolHeight = 256;
    QString OpdDirectory;

    // --- what the image windows use ------------------------------------------------------
    ImageWindowLinks imageLinks() { return {state_, *this, *this, *this, *this, *this}; }
    int newImageSize() const override;
    int currentScope() const override;
    QString scopeName(int number) const override;
    ParamTable scopeParams(int number) const override;
    void storeScopeParams(int number, const ParamTable& params) override;
    void selectScope(int number) override;
    void markScopeSelected(int number) override;
    QPoint nextWindowPosition() const override { return {NextWindowLeft, NextWindowTop}; }
    void setNextWindowPosition(QPoint p) override;
    void log(const QString& line) override;
    void reportProblem(const QString& message) override;
    void updateActiveImage() override;
    void showEyepiece(const QString& millimetres) override;
    ColourLevels colourLevels() const override;
    void showColourLevels(const ColourLevels& levels, bool dimming) override;
    void setDimmingChecked(bool on) override;
    void showColourTool() override;
    void setLuminosityLevel(int position) override;
    bool psfFormOpen() const override { return PsfFormOpen; }
    bool mtfFormOpen() const override { return MtfFormOpen; }
    void fillPsfWindows(const Plane& plane, float peak, int sampleCount) override;
    void fillMtfWindows(const MtfCurves& curves, bool checkUndersampling) override;
    void fillMtfChannel(int pass, int wavelength, const MtfCurves& curves) override;
    void refreshWave3d() override;
    void showProgress(int done, int total) override;
    QString planetFile() const override { return PlanetFile; }
    void openPlanetView(const QString& file, double resolution) override;
    double planetResolution() const override { return PlanetResolution; }
    Measurement& measurement() override { return measurement_; }
    // Opens a planet picture file as a "planet" window (the Planet command after its dialog).
    void openPlanetFile(const QString& file);
    double separation() const override;
    int positionAngle() const override;
    double magnitudeA() const override;
    double magnitudeB() const override;
    void showDoubleStarTool(QWidget* imageWindow) override;
    DoubleStarTool* doubleStarTool() const { return doubleStars_; }
    OPDFilesTool* opdFilesTool() const { return opdFiles_; }
    QDockWidget* opdFilesWindow() const { return OPDFilesTool_; }
    TSliceForm* sliceForm() const;
    TD3Wave* wave3dForm() const;
    // A computation that lets events run is under way: commands wait.
    bool busy() const { return busy_; }

protected:
    bool event(QEvent* e) override;

private:
    void FormCreate();
    void buildToolBar();
    void buildMenus();
    void buildToolWindows();
    void readSettings();
    void imageCommand(PictureKind kind, bool rebuildTable);
    void placeBeside();
    TMDIImage* CreateImageWindow(PictureKind kind);
    // Opens an analysis window unless openFlag says one is open; the flag stays
    // set until its sub-window goes. Returns the new sub-window, or null.
    QMdiSubWindow* openOnce(bool& openFlag, const std::function<QWidget*()>& make,
                            const char* subWindowName, Qt::WindowFlags flags = {});
    void keepPlotWindowsInView();
    void subWindowActivated(QMdiSubWindow* sub);
    // Runs a rearrangement of the sub-windows; sizes it sets are not the user's.
    void arrange(const std::function<void()>& how);
    void cascade();
    void synthesize();
    void LRGBChange();
    void CheckBox1Click(bool on);
    // Recomputes the current telescope's pictures, last opened first; with
    // withWave3d the 3-D wavefront windows are refreshed in the same visit.
    void updateImagesOfCurrentScope(bool withWave3d = false);
    void doubleStarCellClicked(int row, int column);

    SimState& state_;
    std::unique_ptr<SettingsStore> settings_;
    QMdiArea* mdi_ = nullptr;
    TelescopePanel* panel_ = nullptr;
    CalibrationTool* calibration_ = nullptr;
    ImageSettingTool* colorTool_ = nullptr;
    QDockWidget* TelescopeTool_ = nullptr;
    QDockWidget* ColorTool_ = nullptr;
    QDockWidget* AboutWindow_ = nullptr;
    QDockWidget* ScreenCalibrateTool_ = nullptr;
    QDockWidget* Logwindow_ = nullptr;
    QDockWidget* ProgressWindow_ = nullptr;
    QDockWidget* DoubleStarTool_ = nullptr;
    DoubleStarTool* doubleStars_ = nullptr;
    QDockWidget* OPDFilesTool_ = nullptr;
    OPDFilesTool* opdFiles_ = nullptr;
    QPlainTextEdit* LogMemo_ = nullptr;
    QLabel* hintPanel_ = nullptr;
    QLabel* memoryPanel_ = nullptr;
    QList<QAction*> windowItems_;
    QPointer<TMTFForm> mtf_;
    QPointer<TPSFFORM> psf_;
    // The image window the user last brought to the front: activation that only
    // returns focus to it must not reload its telescope.
    QPointer<QMdiSubWindow> lastActiveImage_;
    bool applyingLevels_ = false;
    bool arranging_ = false;
    bool busy_ = false;
    Measurement measurement_;
};

} // namespace qm
