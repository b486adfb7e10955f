#pragma once
// The A/D exchange file "~ADC.txt" in the temporary folder: little-endian
// singles with no header, rewritten in place from the start of the file, so
// other programs always read the newest count and channel voltages. A failed
// open or write is reported once to the problem sink (it happens while
// counting, so it never waits for a click); the program runs on and the file
// comes back by itself when it can be written again (see PeerFile).
#include "platform/PeerFile.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <span>

class MillisecondClock;
class ProblemSink;

class ExchangeFile {
public:
    static constexpr const char* FileName = "~ADC.txt";

    ExchangeFile(QString tempFolder, ProblemSink& problems, const MillisecondClock& clock);

    // Called with true when a write leaves the file at least 32 bytes long
    // (the activity line turns green) and false when the file closes (red).
    std::function<void(bool served)> onServed;

    // Closes any open file, opens it anew and writes eight zeros.
    bool ADCFile_open();
    // Writes the record at the start of the file. True also when not open.
    bool ADCFile_write(std::span<const float> record);
    void ADCFile_close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.path(); }

private:
    PeerFile m_file;
};
