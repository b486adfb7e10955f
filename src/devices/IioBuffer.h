#pragma once
// Buffered capture of an Industrial I/O converter, handed to the counting as
// a stream: the scan elements of the channels read (at most eight) and the
// timestamp are enabled, the rate is set on the device (or on its trigger),
// the kernel buffer is sized for BufferSeconds and enabled, and the device
// node is read without blocking. A buffer left enabled by a run that crashed
// is taken over; one whose node another program holds is refused. The buffer
// is disabled again when this object goes. Scans are numbered as read; a
// jump of the timestamp by more than one scan period counts the scans the
// kernel dropped as lost. No data for StallNs (and StallPeriods scans) is a
// failed read until data arrives again. Setup failures throw DeviceError.
#include "adc/ScanStream.h"
#include "devices/IioScanLayout.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class IioBuffer final : public ScanStream {
public:
    struct Channel {
        int index = 0;                    // N of in_voltageN
        double scale = 1.0, offset = 0.0; // millivolts = (raw + offset) * scale
    };
    struct Setup {
        QString node;   // the device's sysfs folder
        QString root;   // the folder of the devices, where triggers are
        QString device; // the device node, /dev/iio:deviceN (a FIFO in tests)
        std::vector<Channel> channels;
        double rate = 0.0; // scans per second asked for
    };
    using Stopwatch = std::function<int64_t()>; // monotonic nanoseconds

    static constexpr size_t MaxChannels = 8;
    static constexpr double BufferSeconds = 4.0;
    static constexpr int64_t StallNs = 1'000'000'000;
    static constexpr int64_t StallPeriods = 4;

    IioBuffer(Setup setup, Stopwatch stopwatch);
    ~IioBuffer() override;
    IioBuffer(const IioBuffer&) = delete;
    IioBuffer& operator=(const IioBuffer&) = delete;

    // The rate the device took, which may differ from the one asked for.
    double rate() const override { return m_rate; }
    int32_t channels() const override { return static_cast<int32_t>(m_setup.channels.size()); }
    void takeScans(ScanBlock& block, int64_t maxScans) override;

    // For readings outside the counting: takes every scan that waited (the
    // counting then sees them as lost) and keeps the newest. Throws
    // DeviceError as takeScans does, or when no scan has come yet.
    void takeNewest();
    // The raw count of `channel` (from 0) in that scan, and in volts.
    int64_t newestRaw(int32_t channel) const;
    double volts(int32_t channel, int64_t raw) const;

    // "stream of 4 channels at 860 scans/s", and what was taken over.
    QString description() const;

    // Sysfs attributes: opened without blocking and refused unless they are
    // regular files; throw DeviceError naming the file.
    static QByteArray readAttribute(const QString& path);
    static void writeAttribute(const QString& path, const QByteArray& text);

private:
    struct Descriptor {
        int fd = -1;
        ~Descriptor();
    };

    void openDevice();
    IioScanLayout chooseElements();
    QString frequencyFile() const;
    void setRate();
    void fill(size_t wanted);
    int64_t lostBefore(int64_t stamp, int64_t index) const;
    size_t decode(ScanBlock& block, size_t scans);

    Setup m_setup;
    Stopwatch m_now;
    Descriptor m_device;
    IioScanLayout m_layout{{}};
    const IioScanLayout::Element* m_stampElement = nullptr;
    std::vector<const IioScanLayout::Element*> m_channelElements; // per channel
    double m_rate = 0.0;
    int64_t m_length = 0; // scans the kernel buffer holds
    bool m_tookOver = false;
    bool m_enabled = false;

    std::vector<uint8_t> m_pending; // bytes read and not yet handed out
    bool m_arrived = false;         // the last fill() read something
    int64_t m_lastData = 0;         // stopwatch when data last came
    int64_t m_next = 0;             // index of the next scan
    bool m_haveStamp = false;
    int64_t m_stamp = 0, m_stampIndex = 0; // the last timestamp that moved, its scan
    std::vector<int64_t> m_newest;         // raw counts of the newest scan
    ScanBlock m_drained;
};
