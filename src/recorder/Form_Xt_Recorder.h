#pragma once
// The "X(t)-Recorder" tool window: a narrow strip chart of the voltage, time
// running downwards, with trigger marks, a t-scale and an X-scale menu. It
// draws what its XtRecorderModel reports (samples, triggers, a loaded file)
// into a persistent picture that its scroll timer moves down one row per
// interval, and redraws from the model after a change of scale or size.
//
// Created once over the model and the settings store (which must outlive it)
// and loaded hidden with Form_Load(); the owner shows and hides it. Closing it
// by the user only hides it and emits hiddenByUser(). Form_Unload() at program
// end writes the window's place and scales to section "Recorder" of the
// settings file and has the model save the data file.
#include "recorder/RecorderSettings.h"
#include "recorder/XtGeometry.h"

#include <QList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>

class SettingsStore;
class QAction;
class QMenu;
class QMenuBar;
class XtPlotView;
class XtRecorderModel;
class XtScaleView;

class Form_Xt_Recorder final : public QWidget {
    Q_OBJECT
public:
    Form_Xt_Recorder(XtRecorderModel& model, SettingsStore& settings, QWidget* parent = nullptr);
    ~Form_Xt_Recorder() override;

    // Reads section "Recorder", applies both scales (starting the scroll
    // timer) and places the window on the available part of the primary
    // screen, or of `screenArea`. The window stays hidden.
    void Form_Load();
    void Form_Load(const QRect& screenArea);
    // Arms the one-shot start timer; its tick has the model load the data
    // file (unless it did already) and redraws the chart.
    void enableTimerInit();
    // Places the window again for the frame the desktop put around it
    // (`frameExtra`: what the frame adds to the inner size), which the load
    // could not know; done once by itself when the window is first shown.
    void placeOnScreen(QSize frameExtra);
    // Writes "Recorder" and unloads the model (which saves the data file).
    // Runs once; afterwards the window can be closed and destroyed.
    void Form_Unload();

    void DrawXScale();
    void PlotTrigger(int32_t counter); // hands the trigger to the model
    void PlotXt();                     // redraws trace and marks, without clearing
    bool SaveData(const QString& Filename);
    bool LoadData(const QString& Filename);
    float ScaleXtoPixel(float voltage) const;
    float Xmin() const { return m_Xmin; }
    float Xmax() const { return m_Xmax; }
    float Ymin() const { return m_Ymin; }
    float Ymax() const { return m_Ymax; }
    void setXmin(float value) { m_Xmin = value; } // nothing is redrawn
    void setXmax(float value) { m_Xmax = value; }
    void setYmin(float value) { m_Ymin = value; }
    void setYmax(float value) { m_Ymax = value; }
    void ClearXY() { m_XYPointCount = 0; }
    void PlotY(float y);
    void PlotX(float x); // hands the sample to the model

    // The menu items' handlers, as a click on item `index` runs them.
    void mnutScaling_Click(int index);
    void mnuXScaling_Click(int index);
    // The scroll timer's and the start timer's ticks.
    void Timer1_Timer();
    void Timer_Init_Timer();

    int16_t TimeScaleIndex() const { return m_TimeScaleIndex; }
    int16_t XScaleIndex() const { return m_XScaleIndex; }
    int scrollIntervalMs() const { return m_Timer1.interval(); }
    bool scrolling() const { return m_Timer1.isActive(); }
    float PenX() const { return m_PenX; }
    int32_t XYPointCount() const { return m_XYPointCount; }
    const XtPlotView& plotView() const { return *m_Picture_Plot; }
    XtPlotView& plotView() { return *m_Picture_Plot; }
    const XtScaleView& scaleView() const { return *m_Picture_XScale; }
    QMenu* timeMenu() const { return m_mnutScale; }
    QMenu* xMenu() const { return m_mnuXScale; }

Q_SIGNALS:
    // The user closed the window; it is hidden, not unloaded.
    void hiddenByUser();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void DrawGrid();
    void Form_Resize();
    void Picture_Plot_Resize();
    void drawSample(float x);
    void drawTrigger(int32_t counter);
    void redrawLoaded();
    void writeSettings();
    std::array<XtGeometry::GridColumn, XtGeometry::GridLineCount> gridColumns() const;

    XtRecorderModel& m_model;
    SettingsStore& m_settings;
    RecorderSettings m_saved;
    QRect m_screenArea;
    bool m_framePlaced = false;

    QMenuBar* m_menuBar = nullptr;
    QMenu* m_mnutScale = nullptr;
    QMenu* m_mnuXScale = nullptr;
    QList<QAction*> m_mnutScaling;
    QList<QAction*> m_mnuXScaling;
    XtScaleView* m_Picture_XScale = nullptr;
    XtPlotView* m_Picture_Plot = nullptr;
    QTimer m_Timer_Init;
    QTimer m_Timer1;

    float m_Xmin = -11.0f;
    float m_Xmax = 11.0f;
    float m_Ymin = 0.0f;
    float m_Ymax = 0.0f;
    int16_t m_TimeScaleIndex = 3;
    int16_t m_XScaleIndex = 0;
    float m_PenX = 0.0f;
    int32_t m_XYPointCount = 0;
    bool m_unloaded = false;
};
