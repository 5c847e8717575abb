// The shared store plumbing: count checks before allocation, float lists, the atomic writer, damaged files kept
// aside and the temporary files of interrupted saves.

#include "app/storeconventions.h"
#include "app/storeio.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>

namespace {

// Accepts writes until `limit` bytes are in, then fails every write.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 limit) : m_limit(limit) {}
    QByteArray written;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        if (written.size() + len > m_limit)
            return -1;
        written.append(data, int(len));
        return len;
    }

private:
    qint64 m_limit;
};

QByteArray StreamBytes(const std::function<void(QDataStream &)> &write)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    Store::PrepareStream(out);
    write(out);
    return bytes;
}

void WriteBody(QDataStream &s)
{
    s << qint32(7) << QStringLiteral("body");
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestStorePlumbing : public QObject {
    Q_OBJECT

private slots:
    void countCheck_data()
    {
        QTest::addColumn<qint32>("count");
        QTest::addColumn<int>("bytesLeft");
        QTest::addColumn<qint64>("leastItemBytes");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("exactly fits") << qint32(3) << 12 << qint64(4) << true;
        QTest::newRow("zero, nothing left") << qint32(0) << 0 << qint64(668) << true;
        QTest::newRow("one byte short") << qint32(4) << 15 << qint64(4) << false;
        QTest::newRow("damaged huge count") << qint32(INT_MAX) << 64 << qint64(8) << false;
        QTest::newRow("negative") << qint32(-1) << 64 << qint64(8) << false;
        QTest::newRow("product past 64 bits") << qint32(INT_MAX) << 64 << (qint64(1) << 40) << false;
    }

    void countCheck()
    {
        QFETCH(qint32, count);
        QFETCH(int, bytesLeft);
        QFETCH(qint64, leastItemBytes);
        QFETCH(bool, accepted);
        const QByteArray bytes = StreamBytes([&](QDataStream &s) { s << count; }) + QByteArray(bytesLeft, 'x');
        QDataStream in(bytes);
        Store::PrepareStream(in);
        qint32 read = -99;
        QCOMPARE(Store::ReadCount(in, &read, leastItemBytes), accepted);
        QCOMPARE(read, accepted ? count : 0);
        QCOMPARE(in.status() == QDataStream::Ok, accepted);
    }

    void countCheckOnTruncatedStream()
    {
        QByteArray bytes("\0\0", 2); // not even the count
        QDataStream in(bytes);
        Store::PrepareStream(in);
        qint32 read = -99;
        QVERIFY(!Store::ReadCount(in, &read, 1));
        QCOMPARE(read, 0);
    }

    void floatList_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("capacity");
        QTest::newRow("longer than capacity") << 12 << 8;
        QTest::newRow("shorter") << 3 << 8;
        QTest::newRow("exactly capacity") << 8 << 8;
        QTest::newRow("empty") << 0 << 8;
        QTest::newRow("no capacity") << 5 << 0;
    }

    void floatList()
    {
        QFETCH(int, length);
        QFETCH(int, capacity);
        QVector<float> list(length);
        for (int i = 0; i < length; ++i)
            list[i] = 0.25f * (i + 1);
        const QByteArray bytes = StreamBytes([&](QDataStream &s) {
            Store::WriteFloatList(s, list.constData(), length);
            s << qint32(0x1234) << QStringLiteral("next");
        });
        QCOMPARE(bytes.size(), 4 + 8 * length + 4 + 4 + 8);

        QDataStream in(bytes);
        Store::PrepareStream(in);
        float values[8];
        std::fill(std::begin(values), std::end(values), -1.0f);
        bool longer = !(length > capacity);
        QCOMPARE(Store::ReadFloatList(in, values, capacity, &longer), length);
        QCOMPARE(longer, length > capacity);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(values[i], i < qMin(length, capacity) ? list[i] : -1.0f);

        // The whole list was consumed: the following fields read right.
        qint32 marker = 0;
        QString text;
        in >> marker >> text;
        QCOMPARE(marker, qint32(0x1234));
        QCOMPARE(text, QStringLiteral("next"));
        QVERIFY(in.atEnd());
    }

    void floatListDamagedCount()
    {
        const QByteArray bytes = StreamBytes([](QDataStream &s) { s << qint32(1000) << 1.0 << 2.0; });
        QDataStream in(bytes);
        Store::PrepareStream(in);
        float values[8] = {};
        QCOMPARE(Store::ReadFloatList(in, values, 8), -1);
        QVERIFY(in.status() != QDataStream::Ok);
        QCOMPARE(values[0], 0.0f);
    }

    void writerReportsFailingDevice_data()
    {
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("ok");
        QTest::newRow("fails at the version bytes") << qint64(1) << false;
        QTest::newRow("fails in the body") << qint64(4) << false;
        QTest::newRow("fails at the last byte") << qint64(2 + 4 + 4 + 8 - 1) << false;
        QTest::newRow("room for everything") << qint64(1000) << true;
    }

    void writerReportsFailingDevice()
    {
        QFETCH(qint64, limit);
        QFETCH(bool, ok);
        FailingDevice device(limit);
        QVERIFY(device.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QCOMPARE(Store::WriteStream(device, QStringLiteral("Setting"), WriteBody), ok);
        if (ok)
            QCOMPARE(device.written, QByteArray("\x0A\x00", 2) + StreamBytes(WriteBody));
    }

    void writerRefusesUnknownRecord()
    {
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        QVERIFY(!Store::WriteStream(buffer, QStringLiteral("NoSuchRecord"), WriteBody));
    }

    void saveFileReplacesAtomically()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(WithBinExtension(QStringLiteral("UserLight")));
        const QByteArray old("old content");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }

        // A write failing midway keeps the old file byte for byte and leaves no temporary file behind.
        QVERIFY(!Store::SaveFile(path, QStringLiteral("UserLight"), [](QDataStream &s) {
            s << qint32(1);
            s.setStatus(QDataStream::WriteFailed);
        }));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        f.close();
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{QStringLiteral("UserLight.bin")});

        QVERIFY(Store::SaveFile(path, QStringLiteral("UserLight"), WriteBody));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\x01\x00", 2) + StreamBytes(WriteBody));
    }

    void saveFileCannotReplaceDirectory()
    {
        // A directory at the target path cannot be replaced; root ignores permissions, this it cannot ignore.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("Setting.bin"));
        QVERIFY(QDir().mkdir(path));
        QFile inside(path + QStringLiteral("/keep"));
        QVERIFY(inside.open(QIODevice::WriteOnly));
        inside.write("kept");
        inside.close();

        QVERIFY(!Store::SaveFile(path, QStringLiteral("Setting"), WriteBody));
        QVERIFY(QFileInfo(path).isDir());
        QVERIFY(inside.open(QIODevice::ReadOnly));
        QCOMPARE(inside.readAll(), QByteArray("kept"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{QStringLiteral("Setting.bin")});
    }

    void saveFileMissingFolder()
    {
        QTemporaryDir dir;
        QVERIFY(!Store::SaveFile(dir.filePath(QStringLiteral("none/Setting.bin")), QStringLiteral("Setting"),
                                 WriteBody));
    }

    // A damaged file moves aside under a dated name, never onto an earlier kept file, and says so on stderr.
    void keepDamagedFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Setting.bin"));
        const QDateTime when(QDate(2024, 1, 31), QTime(8, 5, 9), Qt::UTC);
        const QString first = path + QStringLiteral(".damaged-20240131T080509Z");
        for (const QString &expected : {first, first + QStringLiteral("-1"), first + QStringLiteral("-2")}) {
            QVERIFY(WriteFile(path, expected.toUtf8()));
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("%1 could not be read; it is kept as %2")
                                                              .arg(path, expected)));
            QCOMPARE(Store::KeepDamagedFile(path, when), expected);
            QVERIFY(!QFileInfo::exists(path));
        }
        // Each kept file still holds what it held.
        for (const QString &kept : {first, first + QStringLiteral("-1"), first + QStringLiteral("-2")})
            QCOMPARE(ReadFile(kept), kept.toUtf8());
        QCOMPARE(Store::KeepDamagedFile(path, when), QString()); // nothing there to keep
    }

    void damagedFileGuard_data()
    {
        QTest::addColumn<QString>("onDisk"); // "file", "folder" or "none"
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<bool>("kept");
        QTest::newRow("damaged file") << "file" << false << true;
        QTest::newRow("sound file") << "file" << true << false;
        QTest::newRow("missing file") << "none" << false << false;
        QTest::newRow("folder in the way") << "folder" << false << false;
    }

    void damagedFileGuard()
    {
        QFETCH(QString, onDisk);
        QFETCH(bool, loaded);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Diagnose.bin"));
        if (onDisk == QLatin1String("file"))
            QVERIFY(WriteFile(path, "damaged"));
        else if (onDisk == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(path));
        Store::DamagedFileGuard guard;
        guard.AfterLoad(path, loaded);
        QCOMPARE(guard.Marked(), kept);
        if (kept)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(" is kept as ")));
        // The first save keeps it; later saves write over their own file.
        QVERIFY(guard.BeforeSave(path));
        QVERIFY(Store::SaveFile(path, QStringLiteral("Diagnose"), WriteBody) || onDisk == QLatin1String("folder"));
        QVERIFY(guard.BeforeSave(path));
        const QStringList keptFiles =
            QDir(dir.path()).entryList({QStringLiteral("Diagnose.bin.damaged-*")}, QDir::Files | QDir::Hidden);
        QCOMPARE(keptFiles.size(), kept ? 1 : 0);
        if (kept)
            QCOMPARE(ReadFile(dir.filePath(keptFiles.first())), QByteArray("damaged"));
    }

    // Only the atomic writer's temporary names beside store and document files go; nothing else, in any folder.
    void removeStaleTemporaries()
    {
        QTemporaryDir dir;
        const QStringList stale = {
            QStringLiteral("Setting.bin.AbCdEf"),
            QStringLiteral("UserLight.bin.qwerty"),
            QStringLiteral("Chart/00001.vrchart.XyZabc"),
            QStringLiteral("Chart/Data/00001/00002.vrmeas.QWERTY"),
            QStringLiteral("Density/.group/00003/00001.vrmeas.abcdef"),
        };
        const QStringList kept = {
            QStringLiteral("Setting.bin"),
            QStringLiteral("Setting.bin.damaged-20240131T080509Z"),
            QStringLiteral("Setting.bin.AbCdE1"),
            QStringLiteral("Setting.bin.AbCdEfg"),
            QStringLiteral("Setting.bin.AbCdE"),
            QStringLiteral(".bin.AbCdEf"),
            QStringLiteral("notes.txt.AbCdEf"),
            QStringLiteral("Setting.binary.AbCdEf"),
            QStringLiteral("barcode_image.tiff"),
            QStringLiteral("Chart/00001.vrchart"),
            QStringLiteral("Chart/.00001.vrchart.0123abcd.part"),
        };
        for (const QString &name : stale + kept) {
            QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(name)).path()));
            QVERIFY(WriteFile(dir.filePath(name), name.toUtf8()));
        }
        // A folder and a link of a temporary's name are not files the writer made.
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Diagnose.bin.Folder"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("Setting.bin")), dir.filePath(QStringLiteral("x.bin.Linked"))));

        QCOMPARE(Store::RemoveStaleTemporaries(dir.path()), stale.size());
        for (const QString &name : stale)
            QVERIFY2(!QFileInfo::exists(dir.filePath(name)), qPrintable(name));
        for (const QString &name : kept)
            QCOMPARE(ReadFile(dir.filePath(name)), name.toUtf8());
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Diagnose.bin.Folder"))).isDir());
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("x.bin.Linked"))).isSymLink());
        QCOMPARE(Store::RemoveStaleTemporaries(dir.filePath(QStringLiteral("missing"))), 0);
    }
};

QTEST_GUILESS_MAIN(TestStorePlumbing)
#include "test_store_plumbing.moc"
