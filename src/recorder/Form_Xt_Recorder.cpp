#include "recorder/Form_Xt_Recorder.h"

#include "platform/ProfileFile.h"
#include "platform/SettingsStore.h"
#include "recorder/RecorderPlacement.h"
#include "recorder/RecorderSettings.h"
#include "recorder/XtPlotView.h"
#include "recorder/XtRedrawPlan.h"
#include "recorder/XtScaleView.h"
#include "recorder/XtScales.h"
#include "recording/XtRecorderModel.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

namespace {
constexpr int InitIntervalMs = 1;
constexpr int MinimumPlotHeight = 3 * XtGeometry::RowsPerDivision;
} // namespace

Form_Xt_Recorder::Form_Xt_Recorder(XtRecorderModel& model, SettingsStore& settings, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_model(model), m_settings(settings) {
    setObjectName(QStringLiteral("Form_Xt_Recorder"));
    setWindowTitle(QStringLiteral("X(t)-Recorder"));
    m_Picture_XScale = new XtScaleView(this);
    m_Picture_Plot = new XtPlotView(this);
    m_Picture_Plot->image().setFont(font());
    buildMenus();
    setFixedWidth(RecorderPlacement::WindowWidth);
    setMinimumHeight(m_menuBar->sizeHint().height() + m_Picture_XScale->stripHeight() +
                     MinimumPlotHeight);

    m_Timer1.setInterval(*XtScales::scrollIntervalMs(XtScales::DefaultTimeScaleIndex));
    m_Timer_Init.setSingleShot(true);
    m_Timer_Init.setInterval(InitIntervalMs);
    connect(&m_Timer_Init, &QTimer::timeout, this, &Form_Xt_Recorder::Timer_Init_Timer);
    connect(&m_Timer1, &QTimer::timeout, this, &Form_Xt_Recorder::Timer1_Timer);
    connect(&m_model, &XtRecorderModel::samplePlotted, this, &Form_Xt_Recorder::drawSample);
    connect(&m_model, &XtRecorderModel::triggerPlotted, this, &Form_Xt_Recorder::drawTrigger);
    connect(&m_model, &XtRecorderModel::dataLoaded, this, &Form_Xt_Recorder::redrawLoaded);
    resize(RecorderPlacement::WindowWidth, 400);
    Form_Resize();
}

Form_Xt_Recorder::~Form_Xt_Recorder() = default;

void Form_Xt_Recorder::buildMenus() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setNativeMenuBar(false);
    m_mnutScale = m_menuBar->addMenu(QStringLiteral("&t-Scale"));
    m_mnutScale->setObjectName(QStringLiteral("mnutScale"));
    for (size_t n = 0; n < XtScales::TimeScales.size(); ++n) {
        QAction* item = m_mnutScale->addAction(QLatin1String(XtScales::TimeScales[n].caption));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this,
                [this, n] { mnutScaling_Click(static_cast<int>(n)); });
        m_mnutScaling.append(item);
    }
    m_mnuXScale = m_menuBar->addMenu(QStringLiteral("&X-Scale"));
    m_mnuXScale->setObjectName(QStringLiteral("mnuXScale"));
    for (size_t n = 0; n < XtScales::VoltageScales.size(); ++n) {
        QAction* item = m_mnuXScale->addAction(QLatin1String(XtScales::VoltageScales[n].caption));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this,
                [this, n] { mnuXScaling_Click(static_cast<int>(n)); });
        m_mnuXScaling.append(item);
    }
}

void Form_Xt_Recorder::Form_Load() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    Form_Load(screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768));
}

void Form_Xt_Recorder::Form_Load(const QRect& screenArea) {
    m_saved = RecorderSettings::read(m_settings.file());
    m_screenArea = screenArea;
    m_TimeScaleIndex = m_saved.TimeScaleIndex;
    m_XScaleIndex = m_saved.XScaleIndex;
    mnuXScaling_Click(m_XScaleIndex);
    placeOnScreen(frameGeometry().size() - geometry().size());
    mnutScaling_Click(m_TimeScaleIndex);
}

void Form_Xt_Recorder::placeOnScreen(QSize frameExtra) {
    const RecorderPlacement::Place place =
        RecorderPlacement::place(m_saved, frameExtra.expandedTo(QSize(0, 0)), m_screenArea);
    resize(RecorderPlacement::WindowWidth, std::max(place.height, minimumHeight()));
    move(place.topLeft);
    Form_Resize();
}

// The load could not know the frame the desktop puts around the window: a
// window flush with the right edge or as tall as the screen would stick out
// by it. Placed again once, when the frame is known.
void Form_Xt_Recorder::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_framePlaced)
        return;
    m_framePlaced = true;
    QTimer::singleShot(0, this, [this] {
        const QSize frameExtra = frameGeometry().size() - geometry().size();
        if ((frameExtra.width() > 0 || frameExtra.height() > 0) && !m_screenArea.isEmpty())
            placeOnScreen(frameExtra);
    });
}

void Form_Xt_Recorder::enableTimerInit() {
    m_Timer_Init.start();
}

void Form_Xt_Recorder::Timer_Init_Timer() {
    m_Timer_Init.stop();
    mnuXScaling_Click(m_XScaleIndex);
    m_model.loadOnce();
    redrawLoaded();
}

void Form_Xt_Recorder::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_Timer_Init.stop();
    m_Timer1.stop();
    writeSettings();
    m_model.unload();
}

void Form_Xt_Recorder::writeSettings() {
    RecorderSettings current;
    current.Left = static_cast<float>(RecorderPlacement::pixelsToTwips(pos().x()));
    current.Top = static_cast<float>(RecorderPlacement::pixelsToTwips(pos().y()));
    current.Height = static_cast<float>(RecorderPlacement::pixelsToTwips(height()));
    current.TimeScaleIndex = m_TimeScaleIndex;
    current.XScaleIndex = m_XScaleIndex;
    m_settings.save([&current](ProfileFile& file) { current.write(file); });
}

void Form_Xt_Recorder::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    event->ignore();
    hide();
    Q_EMIT hiddenByUser();
}

void Form_Xt_Recorder::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form_Xt_Recorder::Form_Resize() {
    const int menuHeight = std::max(m_menuBar->heightForWidth(width()), 0);
    const int stripHeight = m_Picture_XScale->stripHeight();
    m_menuBar->setGeometry(0, 0, width(), menuHeight);
    m_Picture_XScale->setGeometry(0, menuHeight, width(), stripHeight);
    const QRect plot(0, menuHeight + stripHeight, width(),
                     std::max(0, height() - menuHeight - stripHeight));
    m_Picture_Plot->setGeometry(plot);
    if (m_Picture_Plot->image().size() != plot.size())
        Picture_Plot_Resize();
}

// A new size needs a new picture. Unlike a bare grid, the redraw brings the
// trace back at once instead of at the next change of scale.
void Form_Xt_Recorder::Picture_Plot_Resize() {
    m_Picture_Plot->image().resize(m_Picture_Plot->size());
    DrawGrid();
    DrawXScale();
    PlotXt();
}

void Form_Xt_Recorder::mnuXScaling_Click(int index) {
    const std::optional<XtScales::XRange> range = XtScales::xRange(index);
    if (!range)
        return;
    for (qsizetype n = 0; n < m_mnuXScaling.size(); ++n)
        m_mnuXScaling[n]->setChecked(n == index);
    m_Xmin = range->Xmin;
    m_Xmax = range->Xmax;
    m_XScaleIndex = static_cast<int16_t>(index);
    m_mnuXScale->setTitle(XtScales::xMenuTitle(index));
    DrawXScale();
    DrawGrid();
    PlotXt();
}

void Form_Xt_Recorder::mnutScaling_Click(int index) {
    for (qsizetype n = 0; n < m_mnutScaling.size(); ++n)
        m_mnutScaling[n]->setChecked(n == index);
    m_Timer1.stop();
    if (const std::optional<int32_t> interval = XtScales::scrollIntervalMs(index)) {
        m_TimeScaleIndex = static_cast<int16_t>(index);
        m_Timer1.setInterval(*interval);
        m_mnutScale->setTitle(XtScales::timeMenuTitle(index));
    }
    m_Timer1.start();
    DrawGrid();
    PlotXt();
}

std::array<XtGeometry::GridColumn, XtGeometry::GridLineCount>
Form_Xt_Recorder::gridColumns() const {
    return XtGeometry::gridColumns(m_Xmin, m_Xmax, m_Picture_Plot->width());
}

float Form_Xt_Recorder::ScaleXtoPixel(float voltage) const {
    return XtGeometry::ScaleXtoPixel(voltage, m_Xmin, m_Xmax, m_Picture_Plot->width());
}

void Form_Xt_Recorder::DrawGrid() {
    m_Picture_Plot->image().drawGrid(gridColumns());
    m_Picture_Plot->update();
}

void Form_Xt_Recorder::DrawXScale() {
    m_Picture_XScale->setLabels(
        XtGeometry::scaleLabels(m_Xmin, m_Xmax, m_Picture_Plot->width(), QLocale::system()));
}

void Form_Xt_Recorder::Timer1_Timer() {
    m_Picture_Plot->image().scrollStep(gridColumns());
    m_Picture_Plot->showScrolledDown();
}

void Form_Xt_Recorder::PlotXt() {
    const XtRedrawPlan plan = XtRedrawPlan::make(m_model.recording(), m_Xmin, m_Xmax,
                                                 m_Picture_Plot->width(), m_Timer1.interval());
    m_Picture_Plot->image().drawPlan(plan);
    // The pen goes on from the newest sample in the present scale, not from
    // a column of the scale before.
    if (!plan.trace.empty()) {
        m_PenX = static_cast<float>(plan.trace.front().x());
        m_Picture_Plot->setPenColumn(m_PenX);
    }
    m_Picture_Plot->update();
}

void Form_Xt_Recorder::redrawLoaded() {
    DrawGrid();
    PlotXt();
}

void Form_Xt_Recorder::PlotX(float x) {
    m_model.PlotX(x);
}

void Form_Xt_Recorder::drawSample(float x) {
    const float from = m_PenX;
    m_PenX = ScaleXtoPixel(x);
    m_Picture_Plot->image().drawPenMove(from, m_PenX);
    m_Picture_Plot->setPenColumn(m_PenX);
}

void Form_Xt_Recorder::PlotTrigger(int32_t counter) {
    m_model.PlotTrigger(counter);
}

void Form_Xt_Recorder::drawTrigger(int32_t counter) {
    m_Picture_Plot->image().drawTriggerMark(XtGeometry::PenRow, counter);
    m_Picture_Plot->update();
}

bool Form_Xt_Recorder::SaveData(const QString& Filename) {
    return m_model.SaveData(Filename);
}

bool Form_Xt_Recorder::LoadData(const QString& Filename) {
    return m_model.LoadData(Filename);
}

void Form_Xt_Recorder::PlotY(float y) {
    const double row = XtGeometry::plotYRow(y, m_Ymin, m_Ymax, m_Picture_Plot->height());
    m_Picture_Plot->image().setPixel(m_Picture_Plot->width() - 1, row, XtPlotImage::PointColour);
    m_Picture_Plot->update();
}
