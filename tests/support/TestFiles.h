#pragma once
// Files for tests: whole contents read and written in one call, the bytes of
// a record of singles, and a save loop (tests/support/save_loop.cpp) killed
// at a chosen moment.
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QtEndian>

#include <csignal>
#include <initializer_list>
#include <optional>

// The whole file, or nothing when it cannot be read.
inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool putFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Starts the save loop on `what` ("settings" or "chart") at `path`, kills it
// `pauseMs` after its first save and returns the number of the last save it
// reported as done (a line cut short by the kill does not count); nothing when
// the loop did not run.
inline std::optional<int> killMidSave(const char* loop, const char* what, const QString& path,
                                      unsigned long pauseMs) {
    QProcess helper;
    helper.start(QString::fromUtf8(loop), {QString::fromUtf8(what), path});
    if (!helper.waitForStarted() || !helper.waitForReadyRead(10000))
        return std::nullopt;
    QThread::msleep(pauseMs);
    ::kill(static_cast<pid_t>(helper.processId()), SIGKILL);
    if (!helper.waitForFinished())
        return std::nullopt;
    const QByteArray output = helper.readAllStandardOutput();
    const QByteArray done = output.left(output.lastIndexOf('\n'));
    return done.mid(done.lastIndexOf('\n') + 1).toInt();
}

// The bytes of a record of singles as the exchange file holds them.
inline QByteArray littleEndianFloats(std::initializer_list<float> values) {
    QByteArray bytes;
    for (const float value : values) {
        char le[4];
        qToLittleEndian(value, le);
        bytes.append(le, 4);
    }
    return bytes;
}
