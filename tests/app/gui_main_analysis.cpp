// The spectrum analysis in the window: regions marked with Shift and the mouse or from the
// cursor, the right-click menu on a band, the Log box and Ctrl+L, the Regions window, the
// calibration from peaks on an Am-241 spectrum, and what settings.ini keeps of it all.

#include "MainWindowTestSupport.h"

#include "app/AnalysisText.h"
#include "app/CalibrationFromPeaks.h"
#include "app/ImageView.h"
#include "app/RegionTable.h"
#include "app/SpectrumAnalysis.h"
#include "support/SyntheticSpectrum.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>

using namespace tarvio;
using namespace tarvio::test;

namespace {

// The simulated Am-241 source seen at 5 channels per keV above a baseline of 100: the
// 59.5 keV gamma and the Np L alpha and beta X-rays.
Spectrum am241Spectrum() {
    const auto channel = [](double keV) { return 100.0 + 5.0 * keV; };
    return syntheticSpectrum({{channel(59.5409), 4.6, 4.0e4},
                              {channel(13.944), 3.0, 1.5e4},
                              {channel(17.750), 3.2, 2.0e4}},
                             {30.0, -0.02}, 11);
}

class MainWindowAnalysis : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        createWindow();
        image = control<ImageView>("imgSpectrum");
    }

    SpectrumAnalysis& analysis() { return window->analysis(); }

    void send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
              Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(type, QPointF(at), image->mapToGlobal(QPointF(at)), button, held,
                          modifiers);
        QCoreApplication::sendEvent(image, &event);
    }

    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers) {
        send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, modifiers);
        send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, modifiers);
        send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, modifiers);
    }

    ImageView* image = nullptr;
};

TEST_F(MainWindowAnalysis, shiftDrag_marksRegionWhilePlainDragStillZooms) {
    // Full view: 4096 channels on 306 columns from x = 15.
    drag({100, 50}, {40, 200}, Qt::ShiftModifier);
    ASSERT_EQ(analysis().regions().size(), 1u);
    const auto channelAt = [](int x) {
        return static_cast<std::uint32_t>((x - 15) * 4096.0 / 306);
    };
    EXPECT_EQ(analysis().regions()[0], (Region{channelAt(40), channelAt(100)}));
    EXPECT_EQ(window->spectrumGraph().lastChannel(), 4096u); // no zoom
    EXPECT_TRUE(control<QWidget>("shpZoom")->isHidden());
    EXPECT_TRUE(control<QWidget>("shpRegion")->isHidden());

    drag({200, 50}, {200, 200}, Qt::ShiftModifier); // a click is no region
    EXPECT_EQ(analysis().regions().size(), 1u);

    drag({100, 50}, {200, 200}, Qt::NoModifier);
    EXPECT_LT(window->spectrumGraph().lastChannel(), 4096u);
    EXPECT_EQ(analysis().regions().size(), 1u);
}

TEST_F(MainWindowAnalysis, cursorKeyTwice_marksRegionBetweenTheTwoPlaces) {
    auto* mark = control<QAction>("miMarkRegionEdge");
    EXPECT_EQ(mark->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    window->spectrumGraph().setCursorChannel(420);
    mark->trigger();
    EXPECT_EQ(analysis().pendingEdge(), 420u);
    EXPECT_TRUE(analysis().regions().empty());
    window->spectrumGraph().setCursorChannel(380);
    mark->trigger();
    EXPECT_FALSE(analysis().pendingEdge());
    ASSERT_EQ(analysis().regions().size(), 1u);
    EXPECT_EQ(analysis().regions()[0], (Region{380, 420}));
}

TEST_F(MainWindowAnalysis, rightClick_onBandOpensItsMenuElsewhereResetsTheZoom) {
    analysis().addRegion({1000, 1400});
    const int inBand = 15 + static_cast<int>(1200 * 306.0 / 4096);
    send(QEvent::MouseButtonPress, {inBand, 100}, Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    auto* menu = image->findChild<QMenu*>("mnuRegion");
    ASSERT_NE(menu, nullptr);
    QStringList entries;
    for (QAction* a : menu->actions())
        entries << a->text();
    EXPECT_TRUE(entries.contains("Delete Region 1 (1000 \u2013 1400)"))
        << entries.join('|').toStdString();
    for (QAction* a : menu->actions())
        if (a->text().startsWith("Delete"))
            a->trigger();
    menu->close();
    EXPECT_TRUE(analysis().regions().empty());

    window->spectrumGraph().zoomToRect(100, 50, 50, 100);
    send(QEvent::MouseButtonPress, {inBand, 100}, Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    EXPECT_EQ(window->spectrumGraph().lastChannel(), 4096u);
}

TEST_F(MainWindowAnalysis, logBox_besideCalibratedAndSwitchedByCtrlL) {
    auto* log = control<QCheckBox>("chbLog");
    auto* calibrated = control<QCheckBox>("chbCalibrated");
    auto* cursor = control<QCheckBox>("chbCursor");
    EXPECT_EQ(log->parentWidget()->objectName(), "GroupBox3");
    EXPECT_EQ(log->text(), "Log");
    EXPECT_EQ(log->y(), 319);
    EXPECT_LT(log->geometry().right(), calibrated->x());
    EXPECT_GT(log->x(), cursor->geometry().right());
    EXPECT_FALSE(log->isChecked());
    // As the window grows the box keeps its place beside Calibrated.
    const int gap = calibrated->x() - log->x();
    const QPoint before = calibrated->pos();
    window->resize(window->size() + QSize(300, 200));
    QCoreApplication::processEvents();
    EXPECT_NE(calibrated->pos(), before);
    EXPECT_EQ(calibrated->x() - log->x(), gap);
    EXPECT_EQ(log->y(), calibrated->y());

    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(log->isChecked());
    EXPECT_TRUE(window->spectrumGraph().logScale());
    log->click();
    EXPECT_FALSE(control<QAction>("miLogScale")->isChecked());
    EXPECT_FALSE(window->spectrumGraph().logScale());
}

TEST_F(MainWindowAnalysis, am241_regionsFitCalibrationFromPeaksAndAxisInKeV) {
    analysis().spectrumDrawn(am241Spectrum());
    // The 59.5 keV gamma, then the L alpha and L beta lines, 19 channels apart.
    for (Region r : {Region{370, 425}, Region{160, 179}, Region{179, 199}})
        analysis().addRegion(r);
    analysis().showRegionTable();
    auto* table = analysis().regionTable()->table();
    ASSERT_EQ(table->rowCount(), 3);
    const std::vector<RegionFigures>& f = analysis().figures();
    for (const RegionFigures& figures : f)
        ASSERT_TRUE(figures.centroid && figures.fwhm) << figures.remark;
    EXPECT_NEAR(*f[0].centroid, 397.70, 0.1);
    EXPECT_NEAR(*f[1].centroid, 169.72, 0.2);
    EXPECT_NEAR(*f[2].centroid, 188.75, 0.2);
    EXPECT_NEAR(*f[0].fwhm, 4.6 * 2.3548, 0.3);
    EXPECT_NEAR(f[0].net, 4.0e4, 4 * f[0].netUncertainty + 200);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("370 \u2013 425"));

    for (std::size_t i = 0; i < 3; ++i)
        analysis().fitRegion(i);
    ASSERT_TRUE(analysis().fit(0));
    EXPECT_NEAR(analysis().fit(0)->centroid.value, 397.70, 0.1);
    EXPECT_FALSE(table->item(0, 8)->text().isEmpty());

    // The dialog offers the centroids and fits; the operator picks three lines.
    const QString alpha = QString::number(*f[1].centroid);
    const QString beta = QString::number(*f[2].centroid);
    analysis().setDialogRunner([&](CalibrationFromPeaks& dialog) {
        auto* first = qobject_cast<QComboBox*>(dialog.table()->cellWidget(0, 0));
        EXPECT_TRUE(first->itemText(1).endsWith("region 1 fit"));
        dialog.setRow(0, first->itemText(1), "59.5409  Am-241 gamma");
        dialog.setRow(1, alpha, "13.944");
        dialog.addRow(beta, "17.75");
        EXPECT_TRUE(dialog.okButton()->isEnabled()) << dialog.statusLabel()->text().toStdString();
        return true;
    });
    analysis().showCalibrationFromPeaks();
    const auto axis = window->spectrumGraph().calibration();
    ASSERT_TRUE(axis);
    EXPECT_NEAR(axis->coefficients[1], 0.2, 0.002);
    EXPECT_NEAR(axis->energy(397.70), 59.54, 0.1);
    EXPECT_TRUE(control<QCheckBox>("chbCalibrated")->isChecked());
    EXPECT_EQ(
        cursorLabelText(1200, 7, analysis().shownCalibration()),
        QStringLiteral("Channel: 1200 (%1 keV) Value: 7").arg(figureText(axis->energy(1200), 1)));

    // The two-point dialog cancelled keeps the calibration from peaks; accepted, its line
    // labels the axis again.
    auto* calibrate = control<QPushButton>("btnCalibrate");
    whileModal(
        *frmCalibrate, [&] { click(frmCalibrate->btnCancel); }, [&] { click(calibrate); });
    EXPECT_TRUE(window->session().analysis().calibrationFromPeaks());
    whileModal(
        *frmCalibrate, [&] { click(frmCalibrate->btnOK); }, [&] { click(calibrate); });
    EXPECT_FALSE(window->session().analysis().calibrationFromPeaks());
}

TEST_F(MainWindowAnalysis, regionsAndCalibration_keptInSettingsBetweenRuns) {
    analysis().addRegion({170, 185});
    analysis().addRegion({380, 420});
    analysis().setDialogRunner([](CalibrationFromPeaks& dialog) {
        dialog.setRow(0, "177.7", "13.944");
        dialog.setRow(1, "397.7", "59.5409");
        return true;
    });
    analysis().showCalibrationFromPeaks();
    closeWindow();
    const std::string text = readText(settingsFile());
    EXPECT_NE(text.find("[Regions]\nRegion1=170-185\nRegion2=380-420\n"), std::string::npos);
    EXPECT_NE(text.find("[EnergyCalibration]\nActive=1\n"), std::string::npos);

    createWindow();
    EXPECT_EQ(analysis().regions(), (std::vector<Region>{{170, 185}, {380, 420}}));
    ASSERT_TRUE(window->session().analysis().calibrationFromPeaks());
    EXPECT_NEAR(window->session().analysis().calibrationFromPeaks()->energy(397.7), 59.5409, 1e-9);
}

} // namespace
