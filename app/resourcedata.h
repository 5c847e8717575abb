#pragma once
// The fixed data the installation ships beside the program (QR-code presets and sizes, density templates,
// instrument names, the ISO 12642-2 default layouts, file-name additions), read once at start-up, plus the
// translated names and layout limits derived from the constant tables. Read-only once loaded, so the chart
// scanner's event thread may use it beside the GUI thread.

#include "app/constants.h"
#include "app/records.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

constexpr int kBarcodeLevelCount = 4; // QR error-correction levels L, M, Q, H

struct BarcodeSizeData {
    int SymbolNumber = 0; // kept, never read
    int Modules = 0;      // per side
    int Capacity[kBarcodeLevelCount] = {};
};

struct TemplateData {
    QString Name;
    int FirstNumber = 0;  // 0: encoded measurement file, otherwise the text file
    int SecondNumber = 0; // 0 or 1
    QList<int> NumberList; // indexes into the instrument names
};

struct DefaultPositionData {
    int Column1 = 0;
    int Row1 = 0;
    int Column2 = 0;
    int Row2 = 0;
};

struct BarcodeEntry {
    QString Code;
    SheetInfoRecord Record;
};

// The shared two-entry choice list {"None", "Exist"}, translated by CResourceData's constructor.
QStringList &NoneExistNames();

class CResourceData : public QObject
{
    Q_OBJECT

public:
    // Empty tables; translates the shared name lists (install the translator first).
    explicit CResourceData(QObject *parent = nullptr);

    // Reads the six installation files from folder (default: the program's folder); a missing file leaves its
    // table empty. Always 0.
    int Initialize(const QString &folder = QString());

    // QR codes.
    SheetInfoRecord GetBarcodeRecord(const SheetInfoRecord &scanned) const;
    QString GetDeviceCode(const SheetInfoRecord &record) const;
    QString GetDeviceCodeA(const SheetInfoRecord &record) const;
    QString GetDeviceCodeB(const SheetInfoRecord &record) const;
    QList<BarcodeEntry> FindBarcodeEntries(QChar c1, QChar c2) const;
    QString MakeBarcodeText(const SheetInfoRecord &record) const;
    int GetBarcodeSize(const SheetInfoRecord &record, int level, int pixelsPerModule) const;
    int GetBarcodeInsetPixels(int pixelsPerModule) const;

    QString GetAddFileName(const QString &key) const;

    // Density templates; a row that does not exist gives -1 / an empty list.
    QStringList GetTemplateList() const;
    int GetTemplateTextOutput(int index) const;
    int GetTemplateSecondNumber(int index) const;
    QList<int> GetTemplateNumberList(int index) const;
    QStringList GetInstrumentNames() const;

    // {column, row} of a patch id in layout 1 (flag 0) or layout 2; {0, 0} for an unknown id.
    QPair<int, int> GetIso12642DefaultPosition(int id, int layoutFlag) const;
    int GetIso12642LayoutLongSide() const;
    int GetIso12642LayoutShortSide() const;

    QStringList GetNoneExistNames() const;
    InkChannelList GetReferenceColors() const;

    // Colour formats 0-6; 0 or empty for any other value.
    float GetColorDefaultValue(int format) const;
    float GetColorMaxValue(int format) const;
    float GetColorMinValue(int format) const;
    QStringList GetColorChannelNames(int format) const;

    // Paper sizes 0-8 (8 = Custom), hundredths of a millimetre; 0 or empty for any other index.
    QString GetPageSizeName(int index) const;
    QStringList GetPageSizeNames() const;
    int GetPageSizeWidth(int index) const;
    int GetPageSizeHeight(int index) const;
    int GetPageSizeMaxWidth(int index) const;
    int GetPageSizeMaxHeight(int index) const;
    int FindPaperSizeIndex(int width, int height) const;
    int FindPaperSizeIndexInUnit(int unit, int width, int height) const;

    // Layout limits, from the Custom paper size.
    int GetAreaLeftMin() const;
    int GetAreaLeftMax() const;
    int GetAreaTopMax() const;
    int GetMaxColumnCount() const;
    int GetMaxRowCount() const;
    int GetMinRowColumnCount() const;

private:
    void ReadBarcodeList(const QString &path);
    void ReadBarcodeSizeList(const QString &path);
    void ReadTemplateList(const QString &path);
    void ReadInstrumentList(const QString &path);
    void ReadDefaultPositions(const QString &path);
    void ReadAddFileNames(const QString &path);
    const TemplateData *TemplateAt(int index) const;

    QMap<QString, SheetInfoRecord> m_barcodeRecords;
    QList<BarcodeSizeData> m_barcodeSizes;
    QList<TemplateData> m_templates;
    QStringList m_instrumentNames;
    QMap<int, DefaultPositionData> m_defaultPositions;
    QMap<QString, QString> m_addFileNames;
};
