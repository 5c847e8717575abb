#include "app/applicationdata.h"
#include "app/resourcedata.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

// The model's part, with reference colours from real resource data.
class StubHost : public CApplicationDataHost
{
public:
    explicit StubHost(bool posGap = true) : posGap(posGap) {}
    InkChannelList GetReferenceColors() const override { return resources.GetReferenceColors(); }
    bool IsPosGapMode() const override { return posGap; }
    CResourceData resources;
    bool posGap;
};

// Everything the settings file holds, as plain values.
struct FileFields {
    QByteArray geometry[2];
    QByteArray state[2];
    QByteArray panel[2];
    QString lastFolder;
    Setting::UserEnvironment env;
    Setting::ConnectSetting conn;
    Setting::MeasureDataSave save;
    Setting::MeasureConditionSetting main = {};
    Setting::MeasureConditionSetting density = {};
    QString nextCalibration;
    int presetLevel = 0;
};

FileFields fieldsOf(const CApplicationData &store)
{
    FileFields f;
    for (int i = 0; i < 2; ++i) {
        f.geometry[i] = store.GetWindowGeometry(i);
        f.state[i] = store.GetWindowState(i);
        f.panel[i] = store.GetPanelState(i);
    }
    f.lastFolder = store.GetLastFolder();
    f.env = store.GetUserEnvironment();
    f.conn = store.GetConnectionSetting();
    f.save = store.GetMeasureDataSaveSetting();
    f.main = store.GetMeasurementCondition(0);
    f.density = store.GetMeasurementCondition(1);
    f.nextCalibration = store.GetNextCalibrationTime();
    f.presetLevel = store.GetInstalledPresetLevel();
    return f;
}

QString displayText(const Setting::MeasureConditionSetting &r)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12")
        .arg(r.DensityShown)
        .arg(r.WhiteReference)
        .arg(r.DensityStatus)
        .arg(r.ColorSpaceShown)
        .arg(r.LabShown)
        .arg(r.LchShown)
        .arg(r.XyzShown)
        .arg(r.Observer)
        .arg(r.Illuminant)
        .arg(r.SpectralShown)
        .arg(r.ConditionMask, 0, 16)
        .arg(r.PatchColorShown);
}

// One line per field, so a comparison names the first field that differs. Only counted folders and printers.
QStringList dump(const FileFields &f)
{
    QStringList lines;
    const auto add = [&lines](const char *name, const QVariant &value) {
        lines << QLatin1String(name) + QLatin1Char('=') + value.toString();
    };
    for (int i = 0; i < 2; ++i) {
        add("geometry", f.geometry[i]);
        add("state", f.state[i]);
        add("panel", f.panel[i]);
    }
    add("lastFolder", f.lastFolder);
    const Setting::UserEnvironment &e = f.env;
    add("errorHandling", e.ErrorHandling);
    add("deleteJob", e.DeleteJobAfterUse);
    add("aperture", e.Aperture);
    add("confirm", e.ConfirmChart);
    add("autoExport", e.AutoExport);
    add("conditionSource", e.ConditionSource);
    add("fileNameMode", e.FileNameMode);
    add("exportName", e.AutoExportFileName);
    add("serial", e.AutoExportSerialNumber);
    add("format", e.AutoExportFormat);
    add("exportFolder", e.AutoExportFolder);
    add("envDisplay", displayText(e.Display));
    add("unit", e.LengthUnit);
    add("colourFormat", e.ColorFormat);
    for (const InkChannel &ink : e.Inks)
        add("ink", QStringLiteral("%1 %2 %3 %4").arg(ink.name).arg(ink.L).arg(ink.a).arg(ink.b));
    add("group", e.DataGroupName);
    add("columns", QStringLiteral("%1%2%3").arg(e.DatalistColumns.Column1).arg(e.DatalistColumns.Column2)
                       .arg(e.DatalistColumns.Column3));
    add("oneFile", e.AllConditionsInOneFile);
    add("bitDepth", e.BitDepth);
    add("autoConnect", e.AutoConnect);
    add("colourWarning", e.ColorWarning);
    add("positionGap", e.PositionGap);
    add("connKind", f.conn.ConnectionKind);
    add("port", f.conn.Port);
    add("addressKind", f.conn.AddressKind);
    add("address", f.conn.Address);
    add("network", f.conn.NetworkName);
    add("device", f.conn.DeviceName);
    add("specify", f.conn.SpecifyDevice);
    add("folderCount", f.save.FolderCount);
    for (int i = 0; i < qBound(0, f.save.FolderCount, 5); ++i)
        add("folder", f.save.Folders[i]);
    add("printerCount", f.save.PrinterCount);
    for (int i = 0; i < qBound(0, f.save.PrinterCount, 5); ++i) {
        const Setting::PrinterInfo &p = f.save.Printers[i];
        add("printer", QStringList({p.Name, p.Password, p.IPAddress, p.Port}).join(QLatin1Char('|')));
    }
    add("printId", f.save.PrintID);
    add("addFileName", f.save.AddFileName);
    add("transmission", f.save.AutoTransmission);
    add("saveKind", f.save.SaveKind);
    add("selected", f.save.SelectedIndex);
    add("mainDisplay", displayText(f.main));
    add("densityDisplay", displayText(f.density));
    add("calibration", f.nextCalibration);
    add("presetLevel", f.presetLevel);
    return lines;
}

constexpr int kRowCount = 26;

// The settings file written row by row from the layout table: row r only when its version is at most `version`.
// rowStarts[r] is the offset at which row r begins.
QByteArray writeRows(const FileFields &f, qint8 version, QVector<qint64> *rowStarts = nullptr,
                     const QByteArray &extra = QByteArray())
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_5_2);
    s.setByteOrder(QDataStream::BigEndian);
    s.setFloatingPointPrecision(QDataStream::DoublePrecision);
    const Setting::UserEnvironment &e = f.env;
    const auto ints11 = [&s](const Setting::MeasureConditionSetting &r) {
        s << qint32(r.DensityShown) << qint32(r.WhiteReference) << qint32(r.DensityStatus) << qint32(r.ColorSpaceShown)
          << qint32(r.LabShown) << qint32(r.LchShown) << qint32(r.XyzShown) << qint32(r.Observer)
          << qint32(r.Illuminant) << qint32(r.SpectralShown) << qint32(r.ConditionMask);
    };
    const std::function<void()> rows[kRowCount + 1] = {
        [] {},
        /* 1 */ [&] { s << qint8(version) << qint8(0); },
        /* 2 */ [&] { s << f.geometry[0] << f.state[0]; },
        /* 3 */ [&] { s << f.lastFolder; },
        /* 4 */ [&] { s << qint32(e.ErrorHandling) << e.DeleteJobAfterUse << qint32(e.Aperture) << e.ConfirmChart; },
        /* 5 */
        [&] {
            s << e.AutoExport << qint32(e.ConditionSource) << qint32(e.FileNameMode) << e.AutoExportFileName
              << qint32(e.AutoExportSerialNumber) << qint32(e.AutoExportFormat) << e.AutoExportFolder;
        },
        /* 6 */ [&] { ints11(e.Display); },
        /* 7 */ [&] { s << qint32(e.LengthUnit) << qint32(e.ColorFormat); },
        /* 8 */
        [&] {
            for (const InkChannel &ink : e.Inks)
                s << ink.name << qint32(ink.L) << qint32(ink.a) << qint32(ink.b);
        },
        /* 9 */ [&] { s << e.DataGroupName; },
        /* 10 */ [&] { s << f.nextCalibration; },
        /* 11 */
        [&] {
            s << qint32(f.conn.ConnectionKind) << f.conn.Port << qint32(f.conn.AddressKind) << f.conn.Address
              << f.conn.NetworkName;
        },
        /* 12 */ [&] { ints11(f.main); },
        /* 13 */ [&] { ints11(f.density); },
        /* 14 */
        [&] {
            s << qint32(f.save.FolderCount);
            for (int i = 0; i < qBound(0, f.save.FolderCount, 8); ++i)
                s << f.save.Folders[i % 5];
        },
        /* 15 */
        [&] {
            s << qint32(f.save.PrinterCount);
            for (int i = 0; i < qBound(0, f.save.PrinterCount, 8); ++i) {
                const Setting::PrinterInfo &p = f.save.Printers[i % 5];
                s << p.Name << p.Password << p.IPAddress << p.Port;
            }
        },
        /* 16 */ [&] { s << f.save.PrintID << f.save.AddFileName; },
        /* 17 */ [&] { s << f.panel[0] << f.geometry[1] << f.state[1] << f.panel[1]; },
        /* 18 */
        [&] {
            s << e.DatalistColumns.Column1 << e.DatalistColumns.Column2 << e.DatalistColumns.Column3
              << qint32(e.AllConditionsInOneFile);
        },
        /* 19 */ [&] { s << f.save.AutoTransmission; },
        /* 20 */ [&] { s << qint32(f.save.SaveKind) << qint32(f.save.SelectedIndex); },
        /* 21 */ [&] { s << qint32(e.BitDepth); },
        /* 22 */ [&] { s << qint32(f.presetLevel); },
        /* 23 */ [&] { s << e.AutoConnect; },
        /* 24 */ [&] { s << e.ColorWarning << e.PositionGap; },
        /* 25 */ [&] { s << qint32(f.conn.SpecifyDevice) << f.conn.DeviceName; },
        /* 26 */
        [&] {
            s << qint32(e.Display.PatchColorShown) << qint32(f.main.PatchColorShown)
              << qint32(f.density.PatchColorShown);
        },
    };
    const int rowVersion[kRowCount + 1] = {0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                           1, 1, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    if (rowStarts)
        rowStarts->fill(-1, kRowCount + 2);
    for (int row = 1; row <= kRowCount; ++row) {
        if (rowVersion[row] > version)
            break;
        if (rowStarts)
            (*rowStarts)[row] = bytes.size();
        rows[row]();
    }
    if (rowStarts)
        (*rowStarts)[kRowCount + 1] = bytes.size();
    bytes += extra;
    return bytes;
}

// Copies the values of one file row from src to dst.
void takeRow(FileFields &dst, const FileFields &src, int row)
{
    Setting::UserEnvironment &d = dst.env;
    const Setting::UserEnvironment &e = src.env;
    switch (row) {
    case 2: dst.geometry[0] = src.geometry[0]; dst.state[0] = src.state[0]; break;
    case 3: dst.lastFolder = src.lastFolder; break;
    case 4:
        d.ErrorHandling = e.ErrorHandling;
        d.DeleteJobAfterUse = e.DeleteJobAfterUse;
        d.Aperture = e.Aperture;
        d.ConfirmChart = e.ConfirmChart;
        break;
    case 5:
        d.AutoExport = e.AutoExport;
        d.ConditionSource = e.ConditionSource;
        d.FileNameMode = e.FileNameMode;
        d.AutoExportFileName = e.AutoExportFileName;
        d.AutoExportSerialNumber = e.AutoExportSerialNumber;
        d.AutoExportFormat = e.AutoExportFormat;
        d.AutoExportFolder = e.AutoExportFolder;
        break;
    case 6: {
        const int keep = d.Display.PatchColorShown;
        d.Display = e.Display;
        d.Display.PatchColorShown = keep;
        break;
    }
    case 7: d.LengthUnit = e.LengthUnit; d.ColorFormat = e.ColorFormat; break;
    case 8:
        for (int i = 4; i < 8; ++i) // channels 1-4 always come back as the reference colours
            d.Inks[i] = e.Inks[i];
        break;
    case 9: d.DataGroupName = e.DataGroupName; break;
    case 10: dst.nextCalibration = src.nextCalibration; break;
    case 11: {
        const QString device = dst.conn.DeviceName;
        const int specify = dst.conn.SpecifyDevice;
        dst.conn = src.conn;
        dst.conn.DeviceName = device;
        dst.conn.SpecifyDevice = specify;
        break;
    }
    case 12: {
        const int keep = dst.main.PatchColorShown;
        dst.main = src.main;
        dst.main.PatchColorShown = keep;
        break;
    }
    case 13: {
        const int keep = dst.density.PatchColorShown;
        dst.density = src.density;
        dst.density.PatchColorShown = keep;
        break;
    }
    case 14:
        dst.save.FolderCount = src.save.FolderCount;
        for (int i = 0; i < 5; ++i)
            dst.save.Folders[i] = src.save.Folders[i];
        break;
    case 15:
        dst.save.PrinterCount = src.save.PrinterCount;
        for (int i = 0; i < 5; ++i)
            dst.save.Printers[i] = src.save.Printers[i];
        break;
    case 16: dst.save.PrintID = src.save.PrintID; dst.save.AddFileName = src.save.AddFileName; break;
    case 17:
        dst.panel[0] = src.panel[0];
        dst.geometry[1] = src.geometry[1];
        dst.state[1] = src.state[1];
        dst.panel[1] = src.panel[1];
        break;
    case 18: d.DatalistColumns = e.DatalistColumns; d.AllConditionsInOneFile = e.AllConditionsInOneFile; break;
    case 19: dst.save.AutoTransmission = src.save.AutoTransmission; break;
    case 20: dst.save.SaveKind = src.save.SaveKind; dst.save.SelectedIndex = src.save.SelectedIndex; break;
    case 21: d.BitDepth = e.BitDepth; break;
    case 22: dst.presetLevel = src.presetLevel; break;
    case 23: d.AutoConnect = e.AutoConnect; break;
    case 24: d.ColorWarning = e.ColorWarning; d.PositionGap = e.PositionGap; break;
    case 25: dst.conn.SpecifyDevice = src.conn.SpecifyDevice; dst.conn.DeviceName = src.conn.DeviceName; break;
    case 26:
        d.Display.PatchColorShown = e.Display.PatchColorShown;
        dst.main.PatchColorShown = src.main.PatchColorShown;
        dst.density.PatchColorShown = src.density.PatchColorShown;
        break;
    default: break;
    }
}

Setting::MeasureConditionSetting display(std::initializer_list<int> v)
{
    const std::vector<int> x(v);
    return {x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7], x[8], x[9], x[10], x[11]};
}

// Every field off its default; channels 1-4 stay the reference colours (they always come back as those).
FileFields offDefaults(const InkChannelList &reference)
{
    FileFields f;
    f.geometry[0] = "geo0";
    f.state[0] = "state0";
    f.panel[0] = "panel0";
    f.geometry[1] = "geo1";
    f.state[1] = "state1";
    f.panel[1] = QByteArray(300, '\x01');
    f.lastFolder = QStringLiteral("/last/folder");
    Setting::UserEnvironment &e = f.env;
    e.ErrorHandling = 1;
    e.DeleteJobAfterUse = true;
    e.Aperture = 3;
    e.ConfirmChart = true;
    e.AutoExport = true;
    e.ConditionSource = 1;
    e.FileNameMode = 1;
    e.AutoExportFileName = QStringLiteral("export name é");
    e.AutoExportSerialNumber = 17;
    e.AutoExportFormat = 8;
    e.AutoExportFolder = QStringLiteral("/x/export");
    e.Display = display({0, 1, 3, 0, 0, 1, 1, 1, 19, 0, 0x8001, 0});
    e.LengthUnit = 1;
    e.ColorFormat = 5;
    e.Inks = reference;
    for (int i = 4; i < 8; ++i)
        e.Inks[i] = {QStringLiteral("Ink%1").arg(i + 1), 100 * i, -50 * i, 7 * i};
    e.DataGroupName = QStringLiteral("Group 2");
    e.DatalistColumns = {false, false, true};
    e.AllConditionsInOneFile = 1;
    e.BitDepth = 0;
    e.AutoConnect = false;
    e.ColorWarning = true;
    e.PositionGap = true;
    f.conn = {1, QStringLiteral("COM3"), 1, QStringLiteral("192.168.1.20"), QStringLiteral("scanner"),
              QStringLiteral("Orlo 12345678"), 1};
    f.save.FolderCount = 2;
    f.save.Folders[0] = QStringLiteral("/f/one");
    f.save.Folders[1] = QStringLiteral("/f/two");
    f.save.Folders[2] = QStringLiteral("unused-slot");
    f.save.PrinterCount = 1;
    f.save.Printers[0] = {QStringLiteral("Press A"), QStringLiteral("secret"), QStringLiteral("10.0.0.7"),
                          QStringLiteral("8080")};
    f.save.Printers[1] = {QStringLiteral("unused-slot"), QString(), QString(), QString()};
    f.save.PrintID = QStringLiteral("P42");
    f.save.AddFileName = QStringLiteral("Extra");
    f.save.AutoTransmission = false;
    f.save.SaveKind = 1;
    f.save.SelectedIndex = 2;
    f.main = display({0, 1, 4, 0, 1, 1, 1, 1, 20, 0, 0xFFFFF, 0});
    f.density = display({1, 0, 0, 1, 0, 0, 1, 0, 5, 1, 0x10, 0});
    f.nextCalibration = QStringLiteral("2027/01/31 10:00:00");
    f.presetLevel = 4;
    return f;
}

// Puts every value of f into the store through its setters; the last setter saves.
void applyFields(CApplicationData &store, const FileFields &f)
{
    for (int i = 0; i < 2; ++i) {
        store.SetWindowGeometry(f.geometry[i], i);
        store.SetWindowState(f.state[i], i);
        store.SetPanelState(f.panel[i], i);
    }
    QCOMPARE(store.SetSetting(f.env), 0);
    QCOMPARE(store.SetConnectionSetting(f.conn), 0);
    QCOMPARE(store.SetMeasureDataSaveSetting(f.save), 0);
    QCOMPARE(store.SetMeasureCondition(f.main, 0), 0);
    QCOMPARE(store.SetMeasureCondition(f.density, 1), 0);
    QCOMPARE(store.SetNextCalibrationTime(f.nextCalibration), 0);
    QCOMPARE(store.SetLastFolder(f.lastFolder), 0);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaultsWithoutFile();
    void version10RoundTrip();
    void version1File();
    void newerVersionWithExtraBytes();
    void truncatedFile_data();
    void truncatedFile();
    void damagedCounts_data();
    void damagedCounts();
    void validationAfterLoad_data();
    void validationAfterLoad();
    void inkChannelsAfterLoad();
    void positionGapNeedsMode();
    void setSettingSignals();
    void saveFailureKeepsOldFile();
    void saveIntoDirectoryFails();
    void printers();
    void presetLevel();
    void uncreatableFolders_data();
    void uncreatableFolders();
    void copyRecursively();
    void damagedFileKeptOnSave_data();
    void damagedFileKeptOnSave();
    void staleTemporariesRemovedAtStart();
    void measureConditionIndex_data();
    void measureConditionIndex();

private:
    // A store on the test's folders.
    std::unique_ptr<CApplicationData> makeStore(StubHost *host);
    FileFields loadFile(const QByteArray &bytes, bool posGap = true);
    FileFields defaults();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_data;
    QString m_docs;
    StubHost m_host;
};

void TestSettings::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_data = m_dir->filePath(QStringLiteral("data"));
    m_docs = m_dir->filePath(QStringLiteral("docs/VELMAR OSTRAND/Varemo"));
    m_host.posGap = true;
}

void TestSettings::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<CApplicationData> TestSettings::makeStore(StubHost *host)
{
    auto store = std::make_unique<CApplicationData>(host, nullptr, m_data, m_docs);
    [&] { QCOMPARE(store->Initialize(), 0); }();
    return store;
}

FileFields TestSettings::loadFile(const QByteArray &bytes, bool posGap)
{
    QDir().mkpath(m_data);
    writeAll(m_data + QStringLiteral("/Setting.bin"), bytes);
    StubHost host(posGap);
    return fieldsOf(*makeStore(&host));
}

FileFields TestSettings::defaults()
{
    CApplicationData store(&m_host, nullptr, m_data, m_docs);
    return fieldsOf(store);
}

void TestSettings::defaultsWithoutFile()
{
    auto store = makeStore(&m_host);
    QVERIFY(QFileInfo(m_data).isDir());
    QVERIFY(QFileInfo(m_docs).isDir());
    QCOMPARE(store->GetSettingFilePath(), m_data + QStringLiteral("/Setting.bin"));
    const Setting::UserEnvironment &e = store->GetUserEnvironment();
    QCOMPARE(e.Aperture, 1);
    QCOMPARE(e.ColorFormat, 1);
    QCOMPARE(e.BitDepth, 1);
    QVERIFY(e.AutoConnect);
    QCOMPARE(e.AutoExportFolder, m_docs);
    QCOMPARE(store->GetLastFolder(), m_docs);
    QCOMPARE(e.Display.ConditionMask, 7);
    QCOMPARE(store->GetMeasurementCondition(1).ConditionMask, 2);
    QCOMPARE(e.Inks.size(), 8);
    QCOMPARE(e.Inks.at(7).name, QStringLiteral("Blue"));
    QVERIFY(e.DatalistColumns == Setting::DisplayDatalistColumn());
    QVERIFY(store->IsAddFileNameEnabled());
    QCOMPARE(store->GetOpenFilterIndex(), 0);
    QCOMPARE(store->GetSaveFilterIndex(), 3);
    QCOMPARE(store->GetInstalledPresetLevel(), 0);
    QCOMPARE(store->GetPresetLevel(), 4);
    QVERIFY(!store->IsDataFormatCurrent());
    QVERIFY(!QFile::exists(store->GetSettingFilePath()));
}

void TestSettings::version10RoundTrip()
{
    const FileFields fields = offDefaults(m_host.GetReferenceColors());
    {
        auto store = makeStore(&m_host);
        applyFields(*store, fields);
        QCOMPARE(fieldsOf(*store).presetLevel, 0); // the level written is not the level read
    }
    const QByteArray file = readAll(m_data + QStringLiteral("/Setting.bin"));
    QVERIFY(file.startsWith(QByteArray("\x0A\x00", 2)));
    QCOMPARE(file, writeRows(fields, 10));
    // Only the counted folders and printers are written.
    QVERIFY(!file.contains(QByteArray("\0u\0n\0u\0s\0e\0d", 12)));
    QVERIFY(file.contains(QByteArray("\0P\0r\0e\0s\0s", 10)));

    QCOMPARE(dump(loadFile(file)), dump(fields));
}

void TestSettings::version1File()
{
    const FileFields fields = offDefaults(m_host.GetReferenceColors());
    FileFields expected = defaults();
    for (int row = 2; row <= 17; ++row)
        takeRow(expected, fields, row);
    const FileFields loaded = loadFile(writeRows(fields, 1));
    QCOMPARE(dump(loaded), dump(expected));
    // The fields the later versions added are at their defaults.
    QVERIFY(loaded.env.DatalistColumns == Setting::DisplayDatalistColumn());
    QVERIFY(loaded.save.AutoTransmission);
    QCOMPARE(loaded.env.BitDepth, 1);
    QVERIFY(loaded.env.AutoConnect);
    QVERIFY(!loaded.env.ColorWarning && !loaded.env.PositionGap);
    QCOMPARE(loaded.presetLevel, 0);
    QCOMPARE(loaded.env.Display.PatchColorShown, 1);
    QCOMPARE(loaded.main.PatchColorShown, 1);
    QCOMPARE(loaded.density.PatchColorShown, 1);
    QCOMPARE(loaded.env.DataGroupName, QStringLiteral("Group 2"));
}

void TestSettings::newerVersionWithExtraBytes()
{
    const FileFields fields = offDefaults(m_host.GetReferenceColors());
    const QByteArray extra = QByteArray::fromHex("00000005") + QByteArray("more bytes of a newer writer");
    const QByteArray file = writeRows(fields, 11, nullptr, extra);
    QCOMPARE(dump(loadFile(file)), dump(fields));
}

void TestSettings::truncatedFile_data()
{
    QTest::addColumn<int>("row");
    for (int row : {2, 9, 15, 18, 26})
        QTest::newRow(qPrintable(QStringLiteral("row %1").arg(row))) << row;
}

void TestSettings::truncatedFile()
{
    QFETCH(int, row);
    const FileFields fields = offDefaults(m_host.GetReferenceColors());
    QVector<qint64> starts;
    const QByteArray file = writeRows(fields, 10, &starts);
    const qint64 cut = starts[row] + (starts[row + 1] - starts[row]) / 2; // inside the row
    QVERIFY(cut > starts[row] && cut < starts[row + 1]);

    FileFields expected = defaults();
    for (int r = 2; r < row; ++r)
        takeRow(expected, fields, r);
    QCOMPARE(dump(loadFile(file.left(int(cut)))), dump(expected));
}

void TestSettings::damagedCounts_data()
{
    QTest::addColumn<int>("folders");
    QTest::addColumn<int>("printers");
    QTest::addColumn<int>("damagedRow");
    QTest::newRow("six folders") << 6 << 1 << 14;
    QTest::newRow("negative printers") << 2 << -1 << 15;
    QTest::newRow("huge printer count") << 2 << 1000000000 << 15;
    QTest::newRow("huge folder count") << 1000000000 << 1 << 14;
}

void TestSettings::damagedCounts()
{
    QFETCH(int, folders);
    QFETCH(int, printers);
    QFETCH(int, damagedRow);
    FileFields fields = offDefaults(m_host.GetReferenceColors());
    fields.save.FolderCount = folders;
    fields.save.PrinterCount = printers;
    FileFields expected = defaults();
    for (int r = 2; r < damagedRow; ++r)
        takeRow(expected, fields, r);
    QCOMPARE(dump(loadFile(writeRows(fields, 10))), dump(expected));
}

using FieldEdit = std::function<void(FileFields &)>;
using FieldCheck = std::function<bool(const FileFields &)>;
Q_DECLARE_METATYPE(FieldEdit)
Q_DECLARE_METATYPE(FieldCheck)

void TestSettings::validationAfterLoad_data()
{
    QTest::addColumn<FieldEdit>("edit");
    QTest::addColumn<FieldCheck>("check");
    QTest::newRow("observer 3") << FieldEdit([](FileFields &f) { f.main.Observer = 3; })
                                << FieldCheck([](const FileFields &f) { return f.main.Observer == 0; });
    QTest::newRow("spectral flag 7") << FieldEdit([](FileFields &f) { f.density.SpectralShown = 7; })
                                     << FieldCheck([](const FileFields &f) { return f.density.SpectralShown == 1; });
    QTest::newRow("environment mask") << FieldEdit([](FileFields &f) { f.env.Display.ConditionMask = 0x100000; })
                                      << FieldCheck([](const FileFields &f) { return f.env.Display.ConditionMask == 7; });
    QTest::newRow("density mask") << FieldEdit([](FileFields &f) { f.density.ConditionMask = 0x100000; })
                                  << FieldCheck([](const FileFields &f) { return f.density.ConditionMask == 2; });
    QTest::newRow("negative mask") << FieldEdit([](FileFields &f) { f.main.ConditionMask = -1; })
                                   << FieldCheck([](const FileFields &f) { return f.main.ConditionMask == 7; });
    QTest::newRow("illuminant 21") << FieldEdit([](FileFields &f) { f.main.Illuminant = 21; })
                                   << FieldCheck([](const FileFields &f) { return f.main.Illuminant == 2; });
    QTest::newRow("aperture -1") << FieldEdit([](FileFields &f) { f.env.Aperture = -1; })
                                 << FieldCheck([](const FileFields &f) { return f.env.Aperture == 1; });
    QTest::newRow("export format 10") << FieldEdit([](FileFields &f) { f.env.AutoExportFormat = 10; })
                                      << FieldCheck([](const FileFields &f) { return f.env.AutoExportFormat == 0; });
    QTest::newRow("colour format 7") << FieldEdit([](FileFields &f) { f.env.ColorFormat = 7; })
                                     << FieldCheck([](const FileFields &f) { return f.env.ColorFormat == 1; });
    QTest::newRow("bit depth 2") << FieldEdit([](FileFields &f) { f.env.BitDepth = 2; })
                                 << FieldCheck([](const FileFields &f) { return f.env.BitDepth == 1; });
    QTest::newRow("connection kind 2") << FieldEdit([](FileFields &f) { f.conn.ConnectionKind = 2; })
                                       << FieldCheck([](const FileFields &f) { return f.conn.ConnectionKind == 0; });
    for (const char *name : {"..", ".", "a/b", "a\\b", "x:y", "tab\there", "q?", "pipe|", "\"quoted\""})
        QTest::newRow(qPrintable(QStringLiteral("group %1").arg(QLatin1String(name))))
            << FieldEdit([name](FileFields &f) { f.env.DataGroupName = QLatin1String(name); })
            << FieldCheck([](const FileFields &f) { return f.env.DataGroupName.isEmpty(); });
    for (const char *name : {"Group 1", " x", "a.b", "..x"})
        QTest::newRow(qPrintable(QStringLiteral("group kept %1").arg(QLatin1String(name))))
            << FieldEdit([name](FileFields &f) { f.env.DataGroupName = QLatin1String(name); })
            << FieldCheck([name](const FileFields &f) { return f.env.DataGroupName == QLatin1String(name); });
}

void TestSettings::validationAfterLoad()
{
    QFETCH(FieldEdit, edit);
    QFETCH(FieldCheck, check);
    FileFields fields = offDefaults(m_host.GetReferenceColors());
    edit(fields);
    QVERIFY(check(loadFile(writeRows(fields, 10))));
}

void TestSettings::inkChannelsAfterLoad()
{
    FileFields fields = offDefaults(m_host.GetReferenceColors());
    for (int i = 0; i < 8; ++i)
        fields.env.Inks[i] = {QStringLiteral("Edited%1").arg(i), 11 * i, 12 * i, 13 * i};
    const InkChannelList inks = loadFile(writeRows(fields, 10)).env.Inks;
    const InkChannelList reference = m_host.GetReferenceColors();
    QCOMPARE(inks.size(), 8);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(inks[i].name, reference[i].name);
        QCOMPARE(inks[i].L, reference[i].L);
        QCOMPARE(inks[i].b, reference[i].b);
    }
    for (int i = 4; i < 8; ++i) {
        QCOMPARE(inks[i].name, QStringLiteral("Edited%1").arg(i));
        QCOMPARE(inks[i].a, 12 * i);
    }
}

void TestSettings::positionGapNeedsMode()
{
    FileFields fields = offDefaults(m_host.GetReferenceColors());
    fields.env.PositionGap = true;
    QVERIFY(!loadFile(writeRows(fields, 10), false).env.PositionGap);
    QVERIFY(loadFile(writeRows(fields, 10), true).env.PositionGap);
}

void TestSettings::setSettingSignals()
{
    auto store = makeStore(&m_host);
    QSignalSpy changed(store.get(), &CApplicationData::CurrentUserEnvironmentChanged);
    QSignalSpy columns(store.get(), &CApplicationData::UpdateDatalistColumn);

    Setting::UserEnvironment e = store->GetUserEnvironment();
    e.DataGroupName = QStringLiteral("Other");
    e.DatalistColumns.Column3 = true;
    QCOMPARE(store->SetSetting(e), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(columns.count(), 0);

    e.DatalistColumns.Column1 = false;
    QCOMPARE(store->SetSetting(e), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(columns.count(), 1);
    const auto sent = columns.first().first().value<Setting::DisplayDatalistColumn>();
    QVERIFY(!sent.Column1 && sent.Column2 && sent.Column3);

    e.Aperture = 2; // neither name nor columns
    QCOMPARE(store->SetSetting(e), 0);
    QCOMPARE(store->SetSetting(e), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(columns.count(), 1);
    QCOMPARE(store->GetUserEnvironment().Aperture, 2);
}

void TestSettings::saveFailureKeepsOldFile()
{
    auto store = makeStore(&m_host);
    QCOMPARE(store->SaveSetting(), 0);
    const QString path = store->GetSettingFilePath();
    const QByteArray before = readAll(path);
    QVERIFY(!before.isEmpty());

    // A file-size limit makes the write fail even for root; the old file must survive it.
    struct rlimit saved;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);

    QSignalSpy changed(store.get(), &CApplicationData::CurrentUserEnvironmentChanged);
    QSignalSpy columns(store.get(), &CApplicationData::UpdateDatalistColumn);
    Setting::UserEnvironment e = store->GetUserEnvironment();
    e.DataGroupName = QStringLiteral("Renamed");
    e.AutoExportFileName = QString(200, QLatin1Char('n'));
    const int result = store->SetSetting(e);

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(result, 60001);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(columns.count(), 0);
    QCOMPARE(store->GetUserEnvironment().DataGroupName, QStringLiteral("Renamed")); // memory keeps the change
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(m_data).entryList(QDir::Files), QStringList({"Setting.bin"})); // no temporary left behind
}

void TestSettings::saveIntoDirectoryFails()
{
    auto store = makeStore(&m_host);
    QVERIFY(QDir().mkpath(store->GetSettingFilePath()));
    QSignalSpy changed(store.get(), &CApplicationData::CurrentUserEnvironmentChanged);
    Setting::UserEnvironment e = store->GetUserEnvironment();
    e.DataGroupName = QStringLiteral("Renamed");
    QCOMPARE(store->SetSetting(e), 60001);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(store->GetUserEnvironment().DataGroupName, QStringLiteral("Renamed"));
    QCOMPARE(store->SetLastFolder(QStringLiteral("/tmp")), 60001);
    QCOMPARE(store->Terminate(), 60001);
    QVERIFY(QFileInfo(store->GetSettingFilePath()).isDir());
}

void TestSettings::printers()
{
    auto store = makeStore(&m_host);
    Setting::MeasureDataSave record;
    record.PrinterCount = 2;
    record.Printers[0] = {QStringLiteral("10.0.0.9"), QStringLiteral("pw"), QStringLiteral("10.0.0.1"),
                          QStringLiteral("80")};
    record.Printers[1] = {QStringLiteral("Second"), QStringLiteral("pw2"), QStringLiteral("10.0.0.9"),
                          QStringLiteral("8080")};
    record.Printers[2] = {QStringLiteral("Uncounted"), QString(), QStringLiteral("10.0.0.3"), QString()};
    QCOMPARE(store->SetMeasureDataSaveSetting(record), 0);

    Setting::PrinterInfo found;
    QVERIFY(store->FindPrinter(QStringLiteral("10.0.0.9"), &found)); // by address, not by the first entry's name
    QCOMPARE(found.Name, QStringLiteral("Second"));
    QVERIFY(!store->FindPrinter(QStringLiteral("10.0.0.3"), &found)); // beyond the count
    QVERIFY(!store->FindPrinter(QStringLiteral("Second"), &found));
    QVERIFY(!store->IsPrinterListFull());

    store->StorePrinterEntry({QStringLiteral("Third"), QString(), QStringLiteral("10.0.0.4"), QString()});
    QCOMPARE(store->GetMeasureDataSaveSetting().PrinterCount, 2);
    QCOMPARE(store->GetMeasureDataSaveSetting().Printers[2].Name, QStringLiteral("Third"));

    record.PrinterCount = 7; // clamped when stored
    QCOMPARE(store->SetMeasureDataSaveSetting(record), 0);
    QCOMPARE(store->GetMeasureDataSaveSetting().PrinterCount, 5);
    QVERIFY(store->IsPrinterListFull());
    const Setting::MeasureDataSave full = store->GetMeasureDataSaveSetting();
    store->StorePrinterEntry({QStringLiteral("Sixth"), QString(), QString(), QString()});
    for (int i = 0; i < 5; ++i)
        QCOMPARE(store->GetMeasureDataSaveSetting().Printers[i].Name, full.Printers[i].Name);

    record.FolderCount = -4;
    QCOMPARE(store->SetMeasureDataSaveSetting(record), 0);
    QCOMPARE(store->GetMeasureDataSaveSetting().FolderCount, 0);
}

void TestSettings::presetLevel()
{
    FileFields fields = offDefaults(m_host.GetReferenceColors());
    fields.presetLevel = 0;
    const QByteArray file = writeRows(fields, 10);
    {
        auto store = std::make_unique<CApplicationData>(&m_host, nullptr, m_data, m_docs);
        QDir().mkpath(m_data);
        writeAll(m_data + QStringLiteral("/Setting.bin"), file);
        QCOMPARE(store->Initialize(), 0);
        QCOMPARE(store->GetInstalledPresetLevel(), 0);
        QVERIFY(!store->IsDataFormatCurrent());
        QCOMPARE(store->Terminate(), 0);
    }
    auto store = makeStore(&m_host);
    QCOMPARE(store->GetInstalledPresetLevel(), 4);
    QVERIFY(store->IsDataFormatCurrent());
}

void TestSettings::uncreatableFolders_data()
{
    QTest::addColumn<bool>("blockData");
    QTest::newRow("data folder") << true;
    QTest::newRow("documents folder") << false;
}

void TestSettings::uncreatableFolders()
{
    QFETCH(bool, blockData);
    const QString blocker = m_dir->filePath(QStringLiteral("blocker"));
    QVERIFY(writeAll(blocker, "a regular file where a folder must go"));
    const QString data = blockData ? blocker + QStringLiteral("/data") : m_data;
    const QString docs = blockData ? m_docs : blocker + QStringLiteral("/docs");
    CApplicationData store(&m_host, nullptr, data, docs);
    QCOMPARE(store.Initialize(), 60009);
}

void TestSettings::copyRecursively()
{
    const QString source = m_dir->filePath(QStringLiteral("source"));
    QVERIFY(QDir().mkpath(source + QStringLiteral("/Density/sub")));
    QVERIFY(writeAll(source + QStringLiteral("/top.txt"), "top"));
    QVERIFY(writeAll(source + QStringLiteral("/.hidden"), "hidden"));
    QVERIFY(writeAll(source + QStringLiteral("/Density/00077.vrchart"), "chart"));
    QVERIFY(writeAll(source + QStringLiteral("/Density/sub/deep.bin"), "deep"));
    QVERIFY(QDir().mkpath(source + QStringLiteral("/Empty")));

    const QString copy = m_dir->filePath(QStringLiteral("a/b/copy"));
    QVERIFY(CopyRecursively(source, copy));
    QCOMPARE(readAll(copy + QStringLiteral("/top.txt")), QByteArray("top"));
    QCOMPARE(readAll(copy + QStringLiteral("/.hidden")), QByteArray("hidden"));
    QCOMPARE(readAll(copy + QStringLiteral("/Density/00077.vrchart")), QByteArray("chart"));
    QCOMPARE(readAll(copy + QStringLiteral("/Density/sub/deep.bin")), QByteArray("deep"));
    QVERIFY(QFileInfo(copy + QStringLiteral("/Empty")).isDir());

    // A file already at the destination stops the copy; it is not overwritten and nothing copied is removed.
    const QString partial = m_dir->filePath(QStringLiteral("partial"));
    QVERIFY(QDir().mkpath(partial + QStringLiteral("/Density")));
    QVERIFY(writeAll(partial + QStringLiteral("/Density/00077.vrchart"), "mine"));
    QVERIFY(!CopyRecursively(source, partial));
    QCOMPARE(readAll(partial + QStringLiteral("/Density/00077.vrchart")), QByteArray("mine"));
    for (const QString &name : {QStringLiteral("top.txt"), QStringLiteral(".hidden")})
        if (QFile::exists(partial + QLatin1Char('/') + name))
            QCOMPARE(readAll(partial + QLatin1Char('/') + name), readAll(source + QLatin1Char('/') + name));

    QVERIFY(CopyRecursively(m_dir->filePath(QStringLiteral("missing")), m_dir->filePath(QStringLiteral("none"))));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("none"))));

    const QString single = m_dir->filePath(QStringLiteral("single.txt"));
    QVERIFY(CopyRecursively(source + QStringLiteral("/top.txt"), single));
    QCOMPARE(readAll(single), QByteArray("top"));
    QVERIFY(!CopyRecursively(source + QStringLiteral("/top.txt"), single)); // never overwrites

    // A destination folder that cannot be made.
    QVERIFY(!CopyRecursively(source, single + QStringLiteral("/below")));
}

void TestSettings::damagedFileKeptOnSave_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("kept");
    FileFields fields = offDefaults(m_host.GetReferenceColors());
    QVector<qint64> starts;
    const QByteArray sound = writeRows(fields, 10, &starts);
    QTest::newRow("cut inside row 9") << sound.left(int(starts[9] + 3)) << true << true;
    QTest::newRow("cut inside row 26") << sound.left(int(starts[26] + 1)) << true << true;
    QTest::newRow("version bytes only") << QByteArray("\x0A\x00", 2) << true << true;
    QTest::newRow("empty") << QByteArray() << true << true;
    fields.save.FolderCount = 6;
    QTest::newRow("six folders") << writeRows(fields, 10) << true << true;
    QTest::newRow("sound") << sound << true << false;
    QTest::newRow("sound version 1") << writeRows(offDefaults(m_host.GetReferenceColors()), 1) << true << false;
    QTest::newRow("missing") << QByteArray() << false << false;
}

// A file that did not load is moved aside before the first save writes a new one; the program starts all the same.
void TestSettings::damagedFileKeptOnSave()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, present);
    QFETCH(bool, kept);
    const QString path = m_data + QStringLiteral("/Setting.bin");
    QVERIFY(QDir().mkpath(m_data));
    if (present)
        QVERIFY(writeAll(path, bytes));
    auto store = makeStore(&m_host);
    if (kept)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^%1 could not be read; it is kept as %1\\.damaged-"
                                                               "\\d{8}T\\d{6}Z$")
                                                    .arg(QRegularExpression::escape(path))));
    QCOMPARE(store->Terminate(), 0);
    QCOMPARE(store->SetLastFolder(m_docs), 0); // a second save keeps nothing more
    const QStringList keptFiles = QDir(m_data).entryList({QStringLiteral("Setting.bin.damaged-*")}, QDir::Files);
    QCOMPARE(keptFiles.size(), kept ? 1 : 0);
    if (kept)
        QCOMPARE(readAll(m_data + QLatin1Char('/') + keptFiles.first()), bytes);

    // What was written loads whole: the next start keeps nothing.
    auto again = makeStore(&m_host);
    QCOMPARE(again->Terminate(), 0);
    QCOMPARE(QDir(m_data).entryList({QStringLiteral("Setting.bin.damaged-*")}, QDir::Files), keptFiles);
}

void TestSettings::staleTemporariesRemovedAtStart()
{
    const QStringList stale = {QStringLiteral("Setting.bin.AbCdEf"), QStringLiteral("Chart/00001.vrchart.QwErTy")};
    const QStringList others = {QStringLiteral("notes.txt.AbCdEf"), QStringLiteral("Chart/00001.vrchart")};
    for (const QString &name : stale + others) {
        QVERIFY(QDir().mkpath(QFileInfo(m_data + QLatin1Char('/') + name).path()));
        QVERIFY(writeAll(m_data + QLatin1Char('/') + name, "x"));
    }
    auto store = makeStore(&m_host);
    for (const QString &name : stale)
        QVERIFY2(!QFileInfo::exists(m_data + QLatin1Char('/') + name), qPrintable(name));
    for (const QString &name : others)
        QVERIFY2(QFileInfo::exists(m_data + QLatin1Char('/') + name), qPrintable(name));
}

void TestSettings::measureConditionIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("result");
    QTest::newRow("main window") << 0 << 0;
    QTest::newRow("density window") << 1 << 0;
    QTest::newRow("index 2") << 2 << 60002;
    QTest::newRow("index -1") << -1 << 60002;
}

void TestSettings::measureConditionIndex()
{
    QFETCH(int, index);
    QFETCH(int, result);
    auto store = makeStore(&m_host);
    Setting::MeasureConditionSetting record = store->GetMeasurementCondition(0);
    record.ConditionMask = 0x10;
    QCOMPARE(store->SetMeasureCondition(record, index), result);
    QCOMPARE(QFile::exists(store->GetSettingFilePath()), result == 0);
    QCOMPARE(store->GetMeasurementCondition(0).ConditionMask, index == 0 ? 0x10 : 7);
    QCOMPARE(store->GetMeasurementCondition(1).ConditionMask, index == 1 ? 0x10 : 2);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
