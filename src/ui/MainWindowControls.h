#pragma once
// The controls of the main window below its menus, laid out and named as the
// rest of the program and the link server know them, in the way a Designer
// form class holds them: the window reaches them through these pointers, and
// Qt's parent ownership deletes them. Only looks; no behaviour.
#include <QPalette>
#include <QWidget>
#include <cstdint>

class ActivityLine;
class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QScrollBar;

class MainWindowControls final : public QWidget {
    Q_OBJECT
public:
    explicit MainWindowControls(QWidget* parent = nullptr);

    // A colour as 0xRRGGBB for one role of the widget's palette.
    static void setColour(QWidget* widget, QPalette::ColorRole role, uint32_t rgb);

    QLabel* Label_AD_get_cyclomarkator = nullptr;  // cycle count, large
    QLabel* Label_AD_get_cyclomarkator2 = nullptr; // minor count
    QLabel* Label_Periodizitaet = nullptr;         // extrema per cycle
    QLabel* Label_TrigEvents = nullptr;
    QLabel* Label_TrigCount = nullptr; // next trigger
    QComboBox* Combo_AD_channel = nullptr;
    QLabel* Label_AD_get_Voltage = nullptr;
    QScrollBar* VScroll_Voltage = nullptr; // disabled for good
    QFrame* Picture1 = nullptr;            // frame of the activity line
    ActivityLine* Line_Timer = nullptr;
    QFrame* Picture_DDE = nullptr; // DDE lamp
    QLabel* Label_AD_cmd = nullptr;
    QLabel* Label_AD_trigger = nullptr;
    QLabel* Label_Status = nullptr;
    QLabel* Label_Watch = nullptr; // the specimen watch's one-line state

private:
    QLabel* makeLabel(const QString& name, const QString& text, const QString& toolTip = {});
    QWidget* buildCounterPanel();
    void addSmallValue(QGridLayout* grid, int column, const QString& heading, QLabel* value);
    QWidget* buildInputPanel();
    QWidget* buildLinkPanel();
};
