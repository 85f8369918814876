#include "app/opdtool.h"

#include "app/settingsstore.h"
#include "engine/opdfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStorageInfo>
#include <QToolButton>
#include <QVBoxLayout>

namespace qm {

namespace {

QToolButton* toolButton(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    return b;
}

QLineEdit* readOnlyEdit(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(true);
    return e;
}

QListWidget* list(QWidget* parent, const char* name)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

// The folder an entry of the folder chooser stands for.
constexpr int kFolderRole = Qt::UserRole;

} // namespace

QString FirstLineOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray line = f.readLine(513);
    while (!line.isEmpty() && (line.endsWith('\n') || line.endsWith('\r')))
        line.chop(1);
    return QString::fromLocal8Bit(line);
}

OPDFilesTool::OPDFilesTool(SimState& state, SettingsStore& settings, std::function<void()> openWavePicture,
                           std::function<void(const QString&)> problem, QWidget* parent)
    : QWidget(parent), state_(state), settings_(settings), openWavePicture_(std::move(openWavePicture)),
      problem_(std::move(problem))
{
    setObjectName(QStringLiteral("OPDFilesTool"));
    setWindowTitle(QStringLiteral("Optical Path Difference Files"));
    setFixedSize(513, 347);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            DriveComboBox1->addItem(QDir::toNativeSeparators(volume.rootPath()), volume.rootPath());
    DirectoryListBox1 = list(this, "DirectoryListBox1");
    UseOPDcheckbox = new QCheckBox(QStringLiteral("UseChromaticOPD"), this);
    UseOPDcheckbox->setObjectName(QStringLiteral("UseOPDcheckbox"));
    UseProfileBox = new QCheckBox(QStringLiteral("Use MirrorProfile"), this);
    UseProfileBox->setObjectName(QStringLiteral("UseProfileBox"));

    auto* left = new QVBoxLayout;
    left->addWidget(DriveComboBox1);
    left->addWidget(DirectoryListBox1, 1);
    left->addWidget(UseOPDcheckbox);
    left->addWidget(UseProfileBox);
    grid->addLayout(left, 0, 0, 12, 1);
    DirectoryListBox1->setFixedWidth(150);
    DriveComboBox1->setFixedWidth(150);

    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto* heading = label("Label17", QStringLiteral("Chromatic Optical Path Differences"));
    heading->setStyleSheet(QStringLiteral("font-weight: bold"));
    grid->addWidget(heading, 0, 1, 1, 4);
    grid->addWidget(label("Label6", QStringLiteral("OPD Header text (wavelength nm, aperture mm)")), 1, 1, 1, 4);
    Edit5 = readOnlyEdit(this, "Edit5");
    grid->addWidget(Edit5, 2, 1, 1, 4);
    FileListBox1 = list(this, "FileListBox1");
    grid->addWidget(FileListBox1, 3, 1, 3, 1);

    struct Row {
        const char* assign;
        const char* name;
        const char* picture;
        QString caption;
        QLineEdit** edit;
    };
    const Row rows[] = {
        {"BlueOPDassignbutton", "BlueOPDname", "SpeedButton4", QStringLiteral("Blue OPD"), &BlueOPDname},
        {"GreenOPDassignbutton", "GreenOPDname", "SpeedButton5", QStringLiteral("Green OPD (primary)"),
         &GreenOPDname},
        {"RedOPDassignbutton", "RedOPDname", "SpeedButton6", QStringLiteral("Red OPD"), &RedOPDname},
    };
    QToolButton* assignButtons[3];
    QToolButton* pictureButtons[3];
    for (int i = 0; i < 3; ++i) {
        auto* row = new QGridLayout;
        row->setSpacing(2);
        row->addWidget(new QLabel(rows[i].caption, this), 0, 0, 1, 3);
        assignButtons[i] = toolButton(this, rows[i].assign, QStringLiteral(">"));
        *rows[i].edit = readOnlyEdit(this, rows[i].name);
        pictureButtons[i] = toolButton(this, rows[i].picture, QStringLiteral("Show"));
        row->addWidget(assignButtons[i], 1, 0);
        row->addWidget(*rows[i].edit, 1, 1);
        row->addWidget(pictureButtons[i], 1, 2);
        grid->addLayout(row, 3 + i, 2, 1, 3);
    }
    grid->addWidget(label("Label12", QStringLiteral("Primary OPD's")), 6, 2, 1, 3);

    auto* mirror = label("Label18", QStringLiteral("Mirror Optical Path Difference"));
    mirror->setStyleSheet(QStringLiteral("font-weight: bold"));
    grid->addWidget(mirror, 7, 1, 1, 4);
    Edit2 = readOnlyEdit(this, "Edit2");
    grid->addWidget(Edit2, 8, 1, 1, 4);
    FileListBox2 = list(this, "FileListBox2");
    grid->addWidget(FileListBox2, 9, 1, 3, 1);
    auto* loadProfile = toolButton(this, "SpeedButton7", QStringLiteral("Load"));
    Edit1 = readOnlyEdit(this, "Edit1");
    auto* profilePicture = toolButton(this, "SpeedButton8", QStringLiteral("Show"));
    grid->addWidget(loadProfile, 9, 2);
    grid->addWidget(Edit1, 9, 3);
    grid->addWidget(profilePicture, 9, 4);
    FileListBox1->setMinimumWidth(150);
    FileListBox2->setMinimumWidth(150);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 1);

    connect(DriveComboBox1, &QComboBox::activated, this, &OPDFilesTool::DriveComboBox1Change);
    connect(DirectoryListBox1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (!setDirectory(item->data(kFolderRole).toString()) && problem_)
            problem_(QStringLiteral("The folder \"%1\" cannot be opened.").arg(item->data(kFolderRole).toString()));
    });
    connect(FileListBox1, &QListWidget::currentRowChanged, this, &OPDFilesTool::FileListBox1Change);
    connect(FileListBox2, &QListWidget::currentRowChanged, this, &OPDFilesTool::FileListBox2Change);
    connect(assignButtons[0], &QToolButton::clicked, this, &OPDFilesTool::BlueOPDassignbuttonClick);
    connect(assignButtons[1], &QToolButton::clicked, this, &OPDFilesTool::GreenOPDassignbuttonClick);
    connect(assignButtons[2], &QToolButton::clicked, this, &OPDFilesTool::RedOPDassignbuttonClick);
    connect(pictureButtons[0], &QToolButton::clicked, this, &OPDFilesTool::SpeedButton4Click);
    connect(pictureButtons[1], &QToolButton::clicked, this, &OPDFilesTool::SpeedButton5Click);
    connect(pictureButtons[2], &QToolButton::clicked, this, &OPDFilesTool::SpeedButton6Click);
    connect(loadProfile, &QToolButton::clicked, this, &OPDFilesTool::SpeedButton7Click);
    connect(profilePicture, &QToolButton::clicked, this, &OPDFilesTool::SpeedButton8Click);
    connect(UseOPDcheckbox, &QCheckBox::toggled, this, [this](bool on) { state_.panel.UseOPDcheckbox = on; });
    connect(UseProfileBox, &QCheckBox::toggled, this, [this](bool on) { state_.panel.UseProfileBox = on; });

    // Until a folder is chosen the lists show the current one.
    setDirectory(QDir::currentPath(), false);
}

bool OPDFilesTool::setDirectory(const QString& folder, bool remember)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !QDir(folder).isReadable())
        return false;
    directory_ = QDir::cleanPath(info.absoluteFilePath());
    state_.panel.OpdDirectory = QDir::toNativeSeparators(directory_).toStdString();
    fillFolders();
    fillFiles(FileListBox1, QStringLiteral("*.opd"));
    fillFiles(FileListBox2, QStringLiteral("*.CSV"));
    if (remember)
        settings_.write(QStringLiteral("OPDDirectory"), directory_);
    return true;
}

void OPDFilesTool::fillFolders()
{
    DirectoryListBox1->clear();
    // The folder's ancestors from the root down, the folder itself, then its subfolders.
    QStringList chain;
    for (QDir d(directory_);; ) {
        chain.prepend(d.absolutePath());
        if (!d.cdUp())
            break;
    }
    int depth = 0;
    for (const QString& path : chain) {
        const QString name = QDir(path).isRoot() ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, DirectoryListBox1);
        item->setData(kFolderRole, path);
        ++depth;
    }
    DirectoryListBox1->setCurrentRow(int(chain.size()) - 1);
    const QStringList subs = QDir(directory_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& sub : subs) {
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + sub, DirectoryListBox1);
        item->setData(kFolderRole, QDir(directory_).filePath(sub));
    }
    // The drive chooser shows the volume the folder is on.
    const int drive = DriveComboBox1->findData(QStorageInfo(directory_).rootPath());
    if (drive >= 0)
        DriveComboBox1->setCurrentIndex(drive);
}

void OPDFilesTool::fillFiles(QListWidget* list, const QString& mask)
{
    list->clear();
    // Masks match whatever the letter case of the names.
    QDir dir(directory_);
    dir.setNameFilters({mask});
    dir.setFilter(QDir::Files | QDir::Readable);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    list->addItems(dir.entryList());
}

QString OPDFilesTool::selectedFile(const QListWidget* list) const
{
    const QListWidgetItem* item = list->currentItem();
    return item ? item->text() : QString();
}

void OPDFilesTool::DriveComboBox1Change(int index)
{
    const QString root = DriveComboBox1->itemData(index).toString();
    if (!setDirectory(root) && problem_)
        problem_(QStringLiteral("The drive \"%1\" cannot be opened.").arg(QDir::toNativeSeparators(root)));
}

void OPDFilesTool::FileListBox1Change()
{
    const QString name = selectedFile(FileListBox1);
    if (!name.isEmpty() && QFileInfo::exists(QDir(directory_).filePath(name)))
        Edit5->setText(FirstLineOf(QDir(directory_).filePath(name)));
}

void OPDFilesTool::FileListBox2Change()
{
    const QString name = selectedFile(FileListBox2);
    if (!name.isEmpty() && QFileInfo::exists(QDir(directory_).filePath(name)))
        Edit2->setText(FirstLineOf(QDir(directory_).filePath(name)));
}

void OPDFilesTool::assign(QLineEdit* name, std::string& file, bool moveDown)
{
    name->setText(selectedFile(FileListBox1));
    name->setCursorPosition(0);
    file = name->text().toStdString();
    if (moveDown && FileListBox1->currentRow() + 1 < FileListBox1->count())
        FileListBox1->setCurrentRow(FileListBox1->currentRow() + 1);
}

void OPDFilesTool::BlueOPDassignbuttonClick()
{
    assign(BlueOPDname, state_.BlueOpdFile, true);
}

void OPDFilesTool::GreenOPDassignbuttonClick()
{
    assign(GreenOPDname, state_.GreenOpdFile, true);
}

void OPDFilesTool::RedOPDassignbuttonClick()
{
    assign(RedOPDname, state_.RedOpdFile, false);
}

void OPDFilesTool::picture(int channel)
{
    UseOPDcheckbox->setChecked(true);
    state_.OpdChannel = channel;
    if (openWavePicture_)
        openWavePicture_();
    state_.OpdChannel = 0;
}

void OPDFilesTool::SpeedButton4Click()
{
    picture(1);
}

void OPDFilesTool::SpeedButton5Click()
{
    picture(2);
}

void OPDFilesTool::SpeedButton6Click()
{
    picture(3);
}

void OPDFilesTool::SpeedButton7Click()
{
    const QString name = selectedFile(FileListBox2);
    if (name.isEmpty()) {
        if (problem_)
            problem_(QStringLiteral("Choose a mirror profile file in the list first."));
        return;
    }
    Edit1->setText(name);
    state_.MirrorProfileFile = QDir::toNativeSeparators(QDir(directory_).filePath(name)).toStdString();
    const Status st = LoadMirrorProfile(state_, state_.MirrorProfileFile);
    if (!st && problem_)
        problem_(QString::fromStdString(st.message));
}

void OPDFilesTool::SpeedButton8Click()
{
    UseProfileBox->setChecked(true);
    if (openWavePicture_)
        openWavePicture_();
}

} // namespace qm
