#include "recorder/Form_Trend.h"

#include "recording/TrendPicture.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QPainter>

namespace {
constexpr int NoteHeight = 22;
} // namespace

Form_Trend::Form_Trend(LogPath logPath, QWidget* parent)
    : QWidget(parent, Qt::Window), m_logPath(std::move(logPath)) {
    setObjectName(QStringLiteral("Form_Trend"));
    setWindowTitle(QStringLiteral("Trend"));
    resize(840, 520);
    setMinimumSize(360, 240);
    m_timer.setInterval(RefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &Form_Trend::Timer_Trend_Timer);
}

Form_Trend::~Form_Trend() = default;

void Form_Trend::Timer_Trend_Timer() {
    const QString path = m_logPath();
    if (path.isEmpty()) {
        m_reader.reset();
        m_note = QStringLiteral("No cycle log yet: the program starts one when it counts.");
        m_timer.setInterval(RefreshMs);
        update();
        return;
    }
    if (!m_reader || m_reader->path() != path) {
        m_reader = std::make_unique<CycleLogReader>(path, m_notes);
        m_notes.last.clear();
    }
    const std::size_t rowsBefore = m_reader->rows().size();
    const std::size_t marksBefore = m_reader->marks().size();
    const bool read = m_reader->read(BytesPerLook);
    m_timer.setInterval(read && m_reader->behindBytes() > 0 ? CatchUpMs : RefreshMs);
    QString note = QStringLiteral("%1: %2 cycles logged")
                       .arg(QFileInfo(path).fileName())
                       .arg(m_reader->rows().size());
    if (!read)
        note = m_reader->error();
    else if (m_reader->behindBytes() > 0)
        note += QStringLiteral(", reading...");
    if (!m_notes.last.isEmpty())
        note += QStringLiteral(" (%1)").arg(m_notes.last);
    const bool changed = note != m_note || m_reader->rows().size() != rowsBefore ||
                         m_reader->marks().size() != marksBefore;
    m_note = note;
    if (changed)
        update();
}

void Form_Trend::paintEvent(QPaintEvent* event) {
    (void)event;
    QPainter painter(this);
    const QSize pictureSize(width(), std::max(height() - NoteHeight, 1));
    if (m_reader) {
        TrendPicture(*m_reader).paint(painter, pictureSize);
    } else {
        painter.fillRect(QRect(QPoint(0, 0), pictureSize), Qt::white);
    }
    const QRect noteArea(0, pictureSize.height(), width(), NoteHeight);
    painter.fillRect(noteArea, palette().window());
    painter.setPen(palette().windowText().color());
    painter.drawText(noteArea.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(m_note, Qt::ElideMiddle, width() - 12));
}

void Form_Trend::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Timer_Trend_Timer();
    m_timer.start();
}

void Form_Trend::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QWidget::hideEvent(event);
}

void Form_Trend::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
    Q_EMIT hiddenByUser();
}
