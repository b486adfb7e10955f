#pragma once
// The A/D exchange file "~ADC.txt" in the temporary folder: little-endian
// singles with no header, rewritten in place from the start of the file, so
// other programs always read the newest count and channel voltages. A failed
// open or write is reported once (critical message box) and the program runs
// on without the file.
#include "platform/TempFile.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <span>

class Prompts;

class ExchangeFile {
public:
    static constexpr const char* FileName = "~ADC.txt";

    ExchangeFile(QString tempFolder, Prompts& prompts);

    // Called with true when a write leaves the file at least 32 bytes long
    // (the activity line turns green) and false when the file closes (red).
    std::function<void(bool served)> onServed;

    // Closes any open file, opens it anew and writes eight zeros. 1 or 0.
    int32_t ADCFile_open();
    // Writes the record at the start of the file. 1 also when not open; 0 on error.
    int32_t ADCFile_write(std::span<const float> record);
    void ADCFile_close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const;

private:
    QString m_tempFolder;
    Prompts& m_prompts;
    TempFile m_file;
};
