#include "ui/common/data_file_preview.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using ui::PreviewTarget;
using ui::setPreviewTarget;
using ui::ShowDataFilePreview;

namespace {

// Stands in for the main window's six preview boxes.
class RecordingTarget : public PreviewTarget
{
public:
    QStringList boxes = QStringList(6, QStringLiteral("unchanged"));
    int writes = 0;

    void setPreviewLine(int index, const QString& text) override
    {
        QVERIFY(index >= 0 && index < 6);
        boxes[index] = text;
        ++writes;
    }
};

}  // namespace

class tst_DataFilePreview : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void testLines_data();
    void testLines();
    void testShorterFileKeepsLowerBoxes();
    void testUnreadablePathChangesNothing();

private:
    QString write(const QString& name, const QByteArray& bytes);

    QTemporaryDir m_dir;
    RecordingTarget m_target;
};

void tst_DataFilePreview::init()
{
    QVERIFY(m_dir.isValid());
    m_target = RecordingTarget();
    setPreviewTarget(&m_target);
}

void tst_DataFilePreview::cleanup()
{
    setPreviewTarget(nullptr);
}

QString tst_DataFilePreview::write(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void tst_DataFilePreview::testLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    const QString u = QStringLiteral("unchanged");

    QByteArray ten;
    for (int line = 1; line <= 10; ++line)
        ten += "line " + QByteArray::number(line) + "\r\n";
    QTest::newRow("ten lines") << ten
                               << QStringList { "line 1", "line 2", "line 3", "line 4", "line 5",
                                      "line 6" };
    QTest::newRow("one line without line end")
        << QByteArray("1.5 2.5") << QStringList { "1.5 2.5", u, u, u, u, u };
    QTest::newRow("LF only") << QByteArray("a\nb\nc\n") << QStringList { "a", "b", "c", u, u, u };
    QTest::newRow("CR only") << QByteArray("a\rb\r") << QStringList { "a", "b", u, u, u, u };
    QTest::newRow("mixed ends, empty line")
        << QByteArray("a\r\n\nb\rc") << QStringList { "a", "", "b", "c", u, u };
    QTest::newRow("byte-order mark")
        << QByteArray("\xEF\xBB\xBFX-axis\r\n1\r\n") << QStringList { "X-axis", "1", u, u, u, u };
    QTest::newRow("tabs and blanks kept")
        << QByteArray("\t1,  2\t \r\n  3\r\n") << QStringList { "\t1,  2\t ", "  3", u, u, u, u };
    QTest::newRow("empty file") << QByteArray() << QStringList { u, u, u, u, u, u };
    QTest::newRow("legacy single-byte text")
        << QByteArray("\xB5m\r\n") << QStringList { QString::fromUtf8("µm"), u, u, u, u, u };
}

void tst_DataFilePreview::testLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    const QString path = write(QStringLiteral("data.prn"), content);
    QVERIFY(!path.isEmpty());
    ShowDataFilePreview(path);
    QCOMPARE(m_target.boxes, expected);
}

void tst_DataFilePreview::testShorterFileKeepsLowerBoxes()
{
    QByteArray eight;
    for (int line = 1; line <= 8; ++line)
        eight += "old " + QByteArray::number(line) + "\r\n";
    const QString first = write(QStringLiteral("eight.prn"), eight);
    const QString second = write(QStringLiteral("three.prn"), "new 1\r\nnew 2\r\nnew 3\r\n");
    ShowDataFilePreview(first);
    ShowDataFilePreview(second);
    QCOMPARE(
        m_target.boxes, (QStringList { "new 1", "new 2", "new 3", "old 4", "old 5", "old 6" }));
}

void tst_DataFilePreview::testUnreadablePathChangesNothing()
{
    ShowDataFilePreview(m_dir.filePath(QStringLiteral("missing.prn")));
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.prn")));
    ShowDataFilePreview(m_dir.filePath(QStringLiteral("folder.prn")));
    ShowDataFilePreview(QString());
    QCOMPARE(m_target.writes, 0);
}

QTEST_GUILESS_MAIN(tst_DataFilePreview)
#include "tst_data_file_preview.moc"
