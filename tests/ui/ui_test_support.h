#pragma once

// What the UI test suites share: a record to run, the message boxes recorded instead of shown,
// the texts of the run's messages, and reading back what a run left.

#include "run/run_driver.h"
#include "settings/run_settings.h"
#include "ui/common/data_file_preview.h"
#include "ui/common/message_presenter.h"
#include "ui/file_chooser/file_chooser_dialog.h"
#include "ui/main_window/main_window.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdint>

// Picks `path` as the chooser does on a choice: it stores the path and shows the preview.
inline auto picking(const QString& path)
{
    return [path](ui::frmOpenSave& chooser) {
        settings::runSettings().DataFilePath = QFile::encodeName(path).toStdString();
        ui::ShowDataFilePreview(path);
        chooser.accept();
    };
}

// Chooses `path`, a copy of examples/cyclic_wall.prn, and sets the boxes for its columns as
// examples/README.md gives them (X 2, Y 3, two header lines).
inline void chooseWallExample(ui::Form1& w, const QString& path)
{
    w.showChooser = picking(path);
    w.dataFileOpenButton->click();
    w.skipLinesBox->setText(QStringLiteral("2"));
    w.xColumnBox->setText(QStringLiteral("2"));
    w.yColumnBox->setText(QStringLiteral("3"));
}

#ifdef EXAMPLES_DIR
// A shown main window, and a copy of examples/cyclic_wall.prn in a folder of its own for it
// to run; ready() says whether both could be had.
struct WallExampleWindow
{
    QTemporaryDir dir;
    QString data = dir.filePath(QStringLiteral("wall.prn"));
    ui::Form1 w;

    bool ready()
    {
        if (!dir.isValid() || !QFile::copy(QStringLiteral(EXAMPLES_DIR "/cyclic_wall.prn"), data))
            return false;
        w.endProgram = [] {};
        w.show();
        return QTest::qWaitForWindowExposed(&w);
    }
};
#endif

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

inline void writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), text.size());
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

// Records the message boxes instead of showing them.
class RecordingPresenter : public ui::MessagePresenter
{
public:
    struct Message
    {
        QString title;
        QString text;
        QString detail;
    };

    void warning(QWidget*, const QString& title, const QString& text) override
    {
        messages.append({ title, text, {} });
    }

    void warningWithDetail(
        QWidget*, const QString& title, const QString& text, const QString& detail) override
    {
        messages.append({ title, text, detail });
    }

    QStringList texts() const
    {
        QStringList all;
        for (const Message& m : messages)
            all << m.text;
        return all;
    }

    QList<Message> messages;
};

// The run's messages as the user reads them, from the run's own texts.
inline QString outputFileText(run::FailureCode code)
{
    return QString::fromStdString(run::outputFileErrorMessage(code));
}

inline QString dataErrorText(run::FailureCode code)
{
    return QString::fromStdString(run::dataErrorMessage(code));
}

inline QString sameXText(std::int64_t line)
{
    return QString::fromStdString(run::sameXErrorMessage(line));
}
