#pragma once

// What the window's test suites share: a record to run, and reading back what a run left.

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QtTest>

#include <cmath>

// A growing-amplitude cyclic record: a header line, then "index deformation load" per line,
// with hysteresis so that later cycles cross earlier ones.
inline void writeCyclicRecord(const QString& path, int samples = 900)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("no.  deformation  load\r\n");
    for (int i = 0; i < samples; ++i) {
        const double t = 0.045 * i;
        const double amplitude = 0.5 + 0.3 * t;
        const double x = amplitude * std::sin(t);
        const double y = 40.0 * std::tanh(x / 4.0) + 3.0 * amplitude * std::cos(t);
        file.write(QString::asprintf("%d %.6f %.6f\r\n", i + 1, x, y).toLatin1());
    }
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

inline const QStringList kFinishedRun = { QStringLiteral("Data reading..."),
    QStringLiteral("Cross checking..."), QStringLiteral("Varnel creating..."),
    QStringLiteral("Finish") };
