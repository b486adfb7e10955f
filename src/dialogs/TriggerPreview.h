#pragma once
// Picture_Preview of the trigger dialog: a small drawing of a signal, its
// threshold and the point where the chosen trigger source fires. Drawn with
// the widget's palette, so it reads in light and dark colour schemes alike.
#include <QWidget>
#include <cstdint>

class TriggerPreview final : public QWidget {
    Q_OBJECT
public:
    explicit TriggerPreview(QWidget* parent = nullptr);

    // 0..3 as TriggerSource; the picture changes at once.
    void setSource(int32_t source);
    int32_t source() const { return m_source; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int32_t m_source = 0;
};
