// The settings file: whatever the store takes from a file (a damaged one in part) it saves, and a second store
// loading the saved file must hold the same settings.
#include "fuzzsupport.h"

#include "app/applicationdata.h"

#include <QFileInfo>

#include <tuple>

namespace {

class Compare
{
public:
    template <typename T>
    void Field(const char *name, const T &before, const T &after)
    {
        if (text.isEmpty() && !(before == after))
            text = QLatin1String(name);
    }
    void Display(const char *name, const Setting::MeasureConditionSetting &a, const Setting::MeasureConditionSetting &b)
    {
        Field(name, std::tie(a.DensityShown, a.WhiteReference, a.DensityStatus, a.ColorSpaceShown, a.LabShown,
                             a.LchShown, a.XyzShown, a.Observer, a.Illuminant, a.SpectralShown, a.ConditionMask,
                             a.PatchColorShown),
              std::tie(b.DensityShown, b.WhiteReference, b.DensityStatus, b.ColorSpaceShown, b.LabShown, b.LchShown,
                       b.XyzShown, b.Observer, b.Illuminant, b.SpectralShown, b.ConditionMask, b.PatchColorShown));
    }
    QString text;
};

QString Differences(const CApplicationData &a, const CApplicationData &b)
{
    Compare c;
    const Setting::UserEnvironment &e = a.GetUserEnvironment();
    const Setting::UserEnvironment &f = b.GetUserEnvironment();
    c.Field("environment fields",
            std::tie(e.ErrorHandling, e.DeleteJobAfterUse, e.Aperture, e.ConfirmChart, e.AutoExport,
                     e.ConditionSource, e.FileNameMode, e.AutoExportFileName, e.AutoExportSerialNumber,
                     e.AutoExportFormat, e.AutoExportFolder, e.LengthUnit, e.ColorFormat, e.DataGroupName,
                     e.AllConditionsInOneFile, e.BitDepth, e.AutoConnect, e.ColorWarning, e.PositionGap),
            std::tie(f.ErrorHandling, f.DeleteJobAfterUse, f.Aperture, f.ConfirmChart, f.AutoExport,
                     f.ConditionSource, f.FileNameMode, f.AutoExportFileName, f.AutoExportSerialNumber,
                     f.AutoExportFormat, f.AutoExportFolder, f.LengthUnit, f.ColorFormat, f.DataGroupName,
                     f.AllConditionsInOneFile, f.BitDepth, f.AutoConnect, f.ColorWarning, f.PositionGap));
    c.Display("environment display", e.Display, f.Display);
    c.Field("datalist columns", e.DatalistColumns, f.DatalistColumns);
    c.Field("ink count", e.Inks.size(), f.Inks.size());
    for (int i = 0; i < e.Inks.size() && i < f.Inks.size(); ++i)
        c.Field("inks", std::tie(e.Inks[i].name, e.Inks[i].L, e.Inks[i].a, e.Inks[i].b),
                std::tie(f.Inks[i].name, f.Inks[i].L, f.Inks[i].a, f.Inks[i].b));
    const Setting::ConnectSetting &n = a.GetConnectionSetting();
    const Setting::ConnectSetting &m = b.GetConnectionSetting();
    c.Field("connection",
            std::tie(n.ConnectionKind, n.Port, n.AddressKind, n.Address, n.NetworkName, n.DeviceName, n.SpecifyDevice),
            std::tie(m.ConnectionKind, m.Port, m.AddressKind, m.Address, m.NetworkName, m.DeviceName, m.SpecifyDevice));
    const Setting::MeasureDataSave &s = a.GetMeasureDataSaveSetting();
    const Setting::MeasureDataSave &t = b.GetMeasureDataSaveSetting();
    c.Field("measure data save",
            std::tie(s.FolderCount, s.PrinterCount, s.PrintID, s.AddFileName, s.AutoTransmission, s.SaveKind,
                     s.SelectedIndex),
            std::tie(t.FolderCount, t.PrinterCount, t.PrintID, t.AddFileName, t.AutoTransmission, t.SaveKind,
                     t.SelectedIndex));
    for (int i = 0; i < Setting::kMaxSaveFolderCount; ++i)
        c.Field("save folders", s.Folders[i], t.Folders[i]);
    for (int i = 0; i < Setting::kMaxPrinterCount; ++i)
        c.Field("printers",
                std::tie(s.Printers[i].Name, s.Printers[i].Password, s.Printers[i].IPAddress, s.Printers[i].Port),
                std::tie(t.Printers[i].Name, t.Printers[i].Password, t.Printers[i].IPAddress, t.Printers[i].Port));
    for (int w = 0; w < 2; ++w) {
        c.Display("window condition", a.GetMeasurementCondition(w), b.GetMeasurementCondition(w));
        c.Field("window geometry", a.GetWindowGeometry(w), b.GetWindowGeometry(w));
        c.Field("window state", a.GetWindowState(w), b.GetWindowState(w));
        c.Field("panel state", a.GetPanelState(w), b.GetPanelState(w));
    }
    c.Field("next calibration time", a.GetNextCalibrationTime(), b.GetNextCalibrationTime());
    c.Field("last folder", a.GetLastFolder(), b.GetLastFolder());
    return c.text;
}

} // namespace

VAREMO_FUZZ_TARGET(settings)
{
    fuzz::EnsureApplication();
    const QString folder = fuzz::FreshFolder("settings");
    const QString documents = folder + QStringLiteral("/Documents");
    CApplicationData first(nullptr, nullptr, folder, documents);
    fuzz::WriteInput(folder, QFileInfo(first.GetSettingFilePath()).fileName(), data, size);
    first.LoadSetting();
    const int saved = first.SaveSetting();
    if (saved != CApplicationData::Success)
        fuzz::Fail("settings", QStringLiteral("the settings could not be saved (%1)").arg(saved));
    CApplicationData second(nullptr, nullptr, folder, documents);
    second.LoadSetting();
    const QString diff = Differences(first, second);
    if (!diff.isEmpty())
        fuzz::Fail("settings", diff + QStringLiteral(" changed"));
    return 0;
}
