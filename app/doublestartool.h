#pragma once
// The double-star tool: separation and position angle of the companion, and a
// table of real pairs to load, edit, save and pick from.

#include "engine/doublestars.h"

#include <QWidget>

class QDoubleSpinBox;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace qm {

class DoubleStarTool : public QWidget {
    Q_OBJECT
public:
    explicit DoubleStarTool(QWidget* parent = nullptr);

    // Loads a list into the table; the caption names the file and its records.
    Status loadFile(const QString& path);
    Status saveFile(const QString& path) const;
    std::vector<DoubleStarRow> rows() const;
    void setRows(const std::vector<DoubleStarRow>& rows);
    // Takes separation, angle and magnitudes from a table row into effect.
    void pickRow(int row);
    QString caption() const { return caption_; }

    QDoubleSpinBox* separationSpin;
    QSpinBox* AngleSpin;
    QPushButton* SpeedButton1;   // Load
    QPushButton* SpeedButton2;   // Save
    QPushButton* SpeedButton3;   // Update
    QTableWidget* AdvStringGrid1;
    double MagnitudeA = 0.0;
    double MagnitudeB = 0.0;
    // The run's field separator: 0 until a loaded file chooses one.
    char Separator = 0;

signals:
    void captionChanged(const QString& caption);
    void updateRequested();
    // A cell was clicked: row and column of the table, the header row excluded.
    void cellClicked(int row, int column);
    void problem(const QString& message);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void renumber();
    void loadClick();
    void saveClick();
    QString caption_ = QStringLiteral("Double Stars :");
};

} // namespace qm
