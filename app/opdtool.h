#pragma once
// The OPD files tool: browses a folder for measured wavefronts (*.opd) and
// mirror profiles (*.csv, any letter case), shows the first line of the file
// under the cursor, assigns OPD files to the blue, green and red channels,
// loads a profile, and opens wavefront pictures made with that data.

#include "engine/simstate.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QToolButton;

namespace qm {

class SettingsStore;

class OPDFilesTool : public QWidget {
    Q_OBJECT
public:
    // openWavePicture opens a "wave" picture of the current settings (the
    // Wavefront command); problem shows a message to the user.
    OPDFilesTool(SimState& state, SettingsStore& settings, std::function<void()> openWavePicture,
                 std::function<void(const QString&)> problem, QWidget* parent = nullptr);

    // The OPD folder. setDirectory is the folder chooser's change: both lists
    // follow and the settings remember it. A folder that does not exist is
    // refused (false) and nothing changes.
    QString directory() const { return directory_; }
    bool setDirectory(const QString& folder, bool remember = true);

    void DriveComboBox1Change(int index);
    void FileListBox1Change();
    void FileListBox2Change();
    void BlueOPDassignbuttonClick();
    void GreenOPDassignbuttonClick();
    void RedOPDassignbuttonClick();
    void SpeedButton4Click();   // blue picture
    void SpeedButton5Click();   // green picture
    void SpeedButton6Click();   // red picture
    void SpeedButton7Click();   // load the profile
    void SpeedButton8Click();   // profile picture

    QComboBox* DriveComboBox1;
    QListWidget* DirectoryListBox1;
    QListWidget* FileListBox1;
    QListWidget* FileListBox2;
    QCheckBox* UseOPDcheckbox;
    QCheckBox* UseProfileBox;
    QLineEdit* Edit5;
    QLineEdit* Edit2;
    QLineEdit* Edit1;
    QLineEdit* BlueOPDname;
    QLineEdit* GreenOPDname;
    QLineEdit* RedOPDname;

private:
    void fillFolders();
    void fillFiles(QListWidget* list, const QString& mask);
    QString selectedFile(const QListWidget* list) const;
    void assign(QLineEdit* name, std::string& file, bool moveDown);
    void picture(int channel);

    SimState& state_;
    SettingsStore& settings_;
    std::function<void()> openWavePicture_;
    std::function<void(const QString&)> problem_;
    QString directory_;
};

// The first line of a file as the header previews show it: at most 512
// characters, and nothing for a file that is missing or not a regular file.
QString FirstLineOf(const QString& path);

} // namespace qm
