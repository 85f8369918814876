#include "imagewin/savepicture.h"

#include "imagefiles/imagefiles.h"

#include <QFileDialog>
#include <QMessageBox>

namespace qm {

bool SavePicture(QWidget* parent, const QImage& picture, const std::function<Status(const std::string&)>& saveData)
{
    QStringList filters = {QStringLiteral("Jpeg (*.jpg)"), QStringLiteral("BMP (*.bmp)"),
                           QStringLiteral("TIFF (*.tiff)"), QStringLiteral("PNG (*.png)")};
    static const PictureFormat formats[] = {PictureFormat::Jpeg, PictureFormat::Bmp, PictureFormat::Tiff,
                                            PictureFormat::Png};
    static const char* const suffixes[] = {"jpg", "bmp", "tiff", "png", "fits"};
    if (saveData)
        filters << QStringLiteral("FITS data (*.fits)");
    QFileDialog dialog(parent, QStringLiteral("Save Image"));
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, &filters](const QString& f) {
        const int i = int(filters.indexOf(f));
        dialog.setDefaultSuffix(QString::fromLatin1(suffixes[i < 0 ? 0 : i]));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const int chosen = std::max(0, int(filters.indexOf(dialog.selectedNameFilter())));
    const std::string name = dialog.selectedFiles().first().toStdString();
    const Status st = chosen == 4 ? saveData(name) : SavePictureAs(picture, name, formats[chosen]);
    if (!st) {
        QMessageBox::warning(parent, QStringLiteral("Save Image"), QString::fromStdString(st.message));
        return false;
    }
    return true;
}

} // namespace qm
