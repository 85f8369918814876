#include "app/doublestartool.h"

#include "app/controls.h"
#include "engine/nint.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace qm {

DoubleStarTool::DoubleStarTool(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DoubleStarToolPanel"));
    separationSpin = RealBox("separationSpin", 0.0, 50.0, 0.1, 2.0, 1);
    AngleSpin = IntegerBox("AngleSpin", 0, 360, 1, 0);
    auto button = [](const char* name, const QString& text, const QString& hint) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::fromLatin1(name));
        SetHint(b, hint);
        return b;
    };
    SpeedButton1 = button("SpeedButton1", QStringLiteral("Load"), QStringLiteral("Load Doubles"));
    SpeedButton2 = button("SpeedButton2", QStringLiteral("Save"), QStringLiteral("Save Doubles"));
    SpeedButton3 = button("SpeedButton3", QStringLiteral("Update"), QStringLiteral("Update image"));

    AdvStringGrid1 = new QTableWidget(0, 6);
    AdvStringGrid1->setObjectName(QStringLiteral("AdvStringGrid1"));
    AdvStringGrid1->setHorizontalHeaderLabels({QStringLiteral("Nr"), QStringLiteral("Name"),
                                               QStringLiteral("Magn. A"), QStringLiteral("Magn. B"),
                                               QStringLiteral("Sep (\")"), QString::fromUtf8("Angle (\u00b0)")});
    AdvStringGrid1->verticalHeader()->hide();
    AdvStringGrid1->verticalHeader()->setDefaultSectionSize(16);
    AdvStringGrid1->setAlternatingRowColors(true);
    const int widths[] = {24, 64, 64, 64, 64, 64};
    for (int c = 0; c < 6; ++c)
        AdvStringGrid1->setColumnWidth(c, widths[c]);

    auto* g = new QGridLayout(this);
    g->addWidget(new QLabel(QStringLiteral("Sep (\")")), 0, 0);
    g->addWidget(separationSpin, 0, 1);
    g->addWidget(new QLabel(QString::fromUtf8("Angle(\u00b0)")), 0, 2);
    g->addWidget(AngleSpin, 0, 3);
    g->addWidget(SpeedButton1, 0, 4);
    g->addWidget(SpeedButton2, 0, 5);
    g->addWidget(SpeedButton3, 0, 6);
    g->addWidget(AdvStringGrid1, 1, 0, 1, 7);
    setFixedSize(420, 260);

    connect(SpeedButton1, &QPushButton::clicked, this, &DoubleStarTool::loadClick);
    connect(SpeedButton2, &QPushButton::clicked, this, &DoubleStarTool::saveClick);
    connect(SpeedButton3, &QPushButton::clicked, this, &DoubleStarTool::updateRequested);
    connect(AdvStringGrid1, &QTableWidget::cellClicked, this, &DoubleStarTool::cellClicked);
}

std::vector<DoubleStarRow> DoubleStarTool::rows() const
{
    std::vector<DoubleStarRow> out;
    for (int r = 0; r < AdvStringGrid1->rowCount(); ++r) {
        DoubleStarRow row;
        for (int c = 1; c <= 5; ++c)
            if (QTableWidgetItem* item = AdvStringGrid1->item(r, c))
                row[std::size_t(c - 1)] = item->text().toStdString();
        out.push_back(row);
    }
    return out;
}

void DoubleStarTool::setRows(const std::vector<DoubleStarRow>& rows)
{
    AdvStringGrid1->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 1; c <= 5; ++c)
            AdvStringGrid1->setItem(r, c, new QTableWidgetItem(QString::fromStdString(rows[std::size_t(r)][std::size_t(c - 1)])));
    renumber();
}

void DoubleStarTool::renumber()
{
    for (int r = 0; r < AdvStringGrid1->rowCount(); ++r) {
        auto* nr = new QTableWidgetItem(QString::number(r + 1));
        nr->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);   // fixed column
        AdvStringGrid1->setItem(r, 0, nr);
    }
}

Status DoubleStarTool::loadFile(const QString& path)
{
    std::vector<DoubleStarRow> loaded;
    const Status st = LoadDoubleStars(path.toStdString(), Separator, loaded);
    if (!st)
        return st;
    setRows(loaded);
    caption_ = QStringLiteral("Double Stars : ") + QFileInfo(path).fileName() + QStringLiteral(" (") +
               QString::number(loaded.size()) + QStringLiteral(" records)");
    emit captionChanged(caption_);
    return st;
}

Status DoubleStarTool::saveFile(const QString& path) const
{
    return SaveDoubleStars(path.toStdString(), rows(), Separator);
}

void DoubleStarTool::pickRow(int row)
{
    if (row < 0 || row >= AdvStringGrid1->rowCount())
        return;
    auto cell = [&](int c) {
        const QTableWidgetItem* item = AdvStringGrid1->item(row, c);
        return item ? DoubleStarNumber(item->text().trimmed().toStdString()) : 0.0;
    };
    MagnitudeA = cell(2);
    MagnitudeB = cell(3);
    separationSpin->setValue(cell(4));
    AngleSpin->setValue(NintI(std::clamp(cell(5), -1e6, 1e6)));
}

void DoubleStarTool::loadClick()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Load Doubles"), QString(),
                                                      QStringLiteral("Comma separated values (*.csv)"));
    if (path.isEmpty())
        return;
    if (const Status st = loadFile(path); !st)
        emit problem(QString::fromStdString(st.message));
}

void DoubleStarTool::saveClick()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Doubles"));
    if (path.isEmpty())
        return;
    if (const Status st = saveFile(path); !st)
        emit problem(QString::fromStdString(st.message));
}

// Insert adds a row below the current one, Ctrl+Delete removes the current row.
void DoubleStarTool::keyPressEvent(QKeyEvent* event)
{
    const int current = AdvStringGrid1->currentRow();
    if (event->key() == Qt::Key_Insert) {
        AdvStringGrid1->insertRow(current + 1);
        renumber();
        return;
    }
    if (event->key() == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier) && current >= 0) {
        AdvStringGrid1->removeRow(current);
        renumber();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace qm
