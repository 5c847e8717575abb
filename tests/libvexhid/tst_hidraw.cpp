// The hidraw backend without a device node: descriptor parsing, sysfs reading on a fixture tree,
// the exclusive open and report reads on stand-in files.
#include "hidraw_backend.h"

#include <QtTest>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

using namespace vexhid;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Short items.
Bytes ReportSize(int bits) { return {0x75, static_cast<std::uint8_t>(bits)}; }
Bytes ReportCount(int n) { return n > 255 ? Bytes{0x96, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)} : Bytes{0x95, static_cast<std::uint8_t>(n)}; }
Bytes ReportId(int id) { return {0x85, static_cast<std::uint8_t>(id)}; }
const Bytes kInput = {0x81, 0x02};
const Bytes kOutput = {0x91, 0x02};
const Bytes kOpen = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00};
const Bytes kClose = {0xC0};

Bytes Bytes8(int n, const Bytes& main) { return ReportSize(8) + ReportCount(n) + Bytes{0x09, 0x01} + main; }

class FakeControl : public NodeControl {
public:
    bool RawInfo(int, std::uint32_t* bus, std::uint16_t* vendor, std::uint16_t* product) override
    {
        *bus = 3;
        *vendor = 0xFFFE;
        *product = 0x4C4D;
        return true;
    }
    bool ReportDescriptor(int, std::vector<std::uint8_t>* d) override
    {
        *d = kOpen + Bytes8(64, kInput) + Bytes8(64, kOutput) + kClose;
        return true;
    }
};

bool WriteText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

}  // namespace

Q_DECLARE_METATYPE(Bytes)

class TestHidraw : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // Lays out sysfs's shape for one hidraw node under `parent` (a device directory).
    void AddEntry(int n, const QString& parent, const char* uevent)
    {
        const QString root = dir_.path();
        const QString hidDevice = parent + QString("/0003:FFFE:4C4D.%1").arg(n, 4, 10, QChar('0'));
        const QString node = hidDevice + "/hidraw/hidraw" + QString::number(n);
        QVERIFY(QDir().mkpath(root + "/sys/" + node));
        if (uevent)
            QVERIFY(WriteText(root + "/sys/" + hidDevice + "/uevent", uevent));
        QCOMPARE(::symlink("../..", QFile::encodeName(root + "/sys/" + node + "/device").constData()), 0);
        QCOMPARE(::symlink(QFile::encodeName("../../" + node).constData(),
                           QFile::encodeName(root + "/sys/class/hidraw/hidraw" + QString::number(n)).constData()),
                 0);
        QVERIFY(WriteText(root + "/dev/hidraw" + QString::number(n), ""));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        const QString root = dir_.path();
        QVERIFY(QDir().mkpath(root + "/sys/class/hidraw"));
        QVERIFY(QDir().mkpath(root + "/dev"));
        const QString usb = "devices/pci0000:00/usb1/1-1";
        QVERIFY(QDir().mkpath(root + "/sys/" + usb));
        QVERIFY(WriteText(root + "/sys/" + usb + "/idVendor", "fffe\n"));
        QVERIFY(WriteText(root + "/sys/" + usb + "/serial", "USB-SERIAL-7\n"));
        AddEntry(10, usb + "/1-1:1.0", "HID_ID=0005:0000FFFE:00004C4D\nHID_NAME=x\nHID_UNIQ=uniq-10\n");
        AddEntry(2, usb + "/1-1:1.1", "HID_ID=0003:0000FFFE:00004C4D\nHID_UNIQ=\n");
        AddEntry(3, "devices/virtual/misc", "HID_ID=0003:00001234:00005678\nHID_UNIQ=\n");
        AddEntry(4, "devices/virtual/misc", "HID_ID=0003:0000FFFE:00004C4D\nHID_UNIQ=\xc3\x84\xe2\x82\xac\xf0\x9f\x98\x80\n");
        AddEntry(6, "devices/virtual/misc", nullptr);
        QCOMPARE(::symlink("../../devices/gone/hidraw5",
                           QFile::encodeName(root + "/sys/class/hidraw/hidraw5").constData()),
                 0);
    }

    void descriptors_data()
    {
        QTest::addColumn<Bytes>("descriptor");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<int>("input");
        QTest::addColumn<int>("output");
        QTest::newRow("64 in + 64 out") << kOpen + Bytes8(64, kInput) + Bytes8(64, kOutput) + kClose << true << 65 << 65;
        QTest::newRow("64 in") << kOpen + Bytes8(64, kInput) + kClose << true << 65 << 0;
        QTest::newRow("512 in") << kOpen + Bytes8(512, kInput) + kClose << true << 513 << 0;
        QTest::newRow("63 in + 63 out") << kOpen + Bytes8(63, kInput) + Bytes8(63, kOutput) + kClose << true << 64 << 64;
        QTest::newRow("report ids 20 and 64")
            << kOpen + ReportId(1) + Bytes8(20, kInput) + ReportId(2) + Bytes8(64, kInput) + kClose << true << 65 << 0;
        QTest::newRow("push/pop around a report size")
            << kOpen + ReportSize(8) + ReportCount(64) + Bytes{0xA4} + ReportSize(16) + ReportCount(1) + kInput +
                   Bytes{0xB4} + kInput + kClose
            << true << 67 << 0;
        QTest::newRow("long item skipped")
            << kOpen + Bytes{0xFE, 0x02, 0x10, 0x81, 0x02} + Bytes8(64, kInput) + kClose << true << 65 << 0;
        QTest::newRow("item cut short") << kOpen + Bytes8(64, kInput) + Bytes{0x26, 0xFF} << false << 0 << 0;
        QTest::newRow("long item cut short") << kOpen + Bytes{0xFE, 0x08, 0x10, 0x00} << false << 0 << 0;
        QTest::newRow("pop without push") << kOpen + Bytes{0xB4} << false << 0 << 0;
    }
    void descriptors()
    {
        QFETCH(Bytes, descriptor);
        QFETCH(bool, parses);
        int in = -1;
        int out = -1;
        QCOMPARE(ParseReportDescriptor(descriptor.data(), descriptor.size(), &in, &out), parses);
        if (parses) {
            QTEST(in, "input");
            QTEST(out, "output");
        }
    }

    void sysfsEntries()
    {
        const std::vector<HidrawEntry> entries =
            ListHidrawEntries(QFile::encodeName(dir_.path() + "/sys").toStdString(),
                              QFile::encodeName(dir_.path() + "/dev").toStdString());
        QCOMPARE(entries.size(), std::size_t(4));  // hidraw5 dangles, hidraw6 has no uevent
        QCOMPARE(entries[0].number, 2);
        QCOMPARE(entries[1].number, 3);
        QCOMPARE(entries[2].number, 4);
        QCOMPARE(entries[3].number, 10);
        QCOMPARE(QString::fromStdString(entries[3].nodePath), dir_.path() + "/dev/hidraw10");
        QCOMPARE(entries[0].bus, 3u);
        QCOMPARE(entries[3].bus, 5u);
        QCOMPARE(int(entries[0].vendorId), 0xFFFE);
        QCOMPARE(int(entries[0].productId), 0x4C4D);
        QCOMPARE(int(entries[1].vendorId), 0x1234);

        std::u16string serial;
        QVERIFY(ReadEntrySerial(entries[3], &serial));
        QCOMPARE(serial, std::u16string(u"uniq-10"));
        QVERIFY(ReadEntrySerial(entries[0], &serial));  // from the USB device above it
        QCOMPARE(serial, std::u16string(u"USB-SERIAL-7"));
        QVERIFY(!ReadEntrySerial(entries[1], &serial));
        QVERIFY(ReadEntrySerial(entries[2], &serial));
        QCOMPARE(serial, std::u16string(u"\u00C4\u20AC\U0001F600"));
        QCOMPARE(serial.size(), std::size_t(4));
    }

    void backendOverFixture()
    {
        FakeControl control;
        HidrawBackend backend(QFile::encodeName(dir_.path() + "/sys").toStdString(),
                              QFile::encodeName(dir_.path() + "/dev").toStdString(), &control);
        const std::vector<std::string> paths = backend.Enumerate();
        QCOMPARE(paths.size(), std::size_t(4));
        std::unique_ptr<HidPort> port = backend.Open(paths[0], true);
        QVERIFY(port);
        QVERIFY(!backend.Open(paths[0], false));  // the lock binds this process too
        std::uint16_t vendor = 0;
        std::uint16_t product = 0;
        QVERIFY(port->GetIds(&vendor, &product));
        QCOMPARE(int(vendor), 0xFFFE);
        int in = 0;
        int out = 0;
        QVERIFY(port->GetReportLengths(&in, &out));
        QCOMPARE(in, 65);
        QCOMPARE(out, 65);
        std::u16string serial;
        QVERIFY(port->GetSerial(&serial, 126));
        QCOMPARE(serial, std::u16string(u"USB-SERIAL-7"));
        QVERIFY(!port->GetSerial(&serial, 5));
        port.reset();
        QVERIFY(backend.Open(paths[0], false));
    }

    void exclusiveOpen()
    {
        const QString path = dir_.path() + "/node";
        QVERIFY(WriteText(path, ""));
        const int first = OpenNodeExclusive(QFile::encodeName(path).toStdString(), true);
        QVERIFY(first >= 0);
        QCOMPARE(OpenNodeExclusive(QFile::encodeName(path).toStdString(), false), -1);
        ::close(first);
        const int again = OpenNodeExclusive(QFile::encodeName(path).toStdString(), false);
        QVERIFY(again >= 0);
        ::close(again);
    }

    void reads_data()
    {
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("inputLength");
        QTest::newRow("nothing written") << 0 << 65;
        QTest::newRow("64-byte report") << 64 << 65;
        QTest::newRow("512-byte report") << 512 << 513;
    }
    void reads()
    {
        QFETCH(int, written);
        QFETCH(int, inputLength);
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        std::vector<std::uint8_t> content(static_cast<std::size_t>(written));
        for (int i = 0; i < written; ++i)
            content[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i + 1);
        if (written)
            QCOMPARE(::write(fds[1], content.data(), content.size()), ssize_t(written));
        std::uint8_t report[65];
        std::memset(report, 0xCC, sizeof report);
        const ReadResult r = ReadNodeReport(fds[0], inputLength, report, 0);
        if (written == 0) {
            QVERIFY(r == ReadResult::Timeout);
        } else {
            QVERIFY(r == ReadResult::Ok);
            QCOMPARE(int(report[0]), 0);
            QVERIFY(std::memcmp(report + 1, content.data(), 64) == 0);
        }
        ::close(fds[1]);
        // A node that went away reads as a failure, not as a time-out.
        QVERIFY(ReadNodeReport(fds[0], inputLength, report, 0) == ReadResult::Failed);
        ::close(fds[0]);
    }

    void writesReportNumberZero()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        std::uint8_t report[65];
        std::memset(report, 7, sizeof report);
        QVERIFY(WriteNodeReport(fds[1], report));
        std::uint8_t back[65] = {};
        QCOMPARE(::read(fds[0], back, sizeof back), ssize_t(65));
        QCOMPARE(int(back[0]), 0);
        QCOMPARE(int(back[64]), 7);
        ::close(fds[0]);
        std::signal(SIGPIPE, SIG_IGN);
        QVERIFY(!WriteNodeReport(fds[1], report));
        ::close(fds[1]);
    }
};

QTEST_GUILESS_MAIN(TestHidraw)
#include "tst_hidraw.moc"
