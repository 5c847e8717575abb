#pragma once
// Every printer upload of the windows starts from here, so tests can put a fake uploader in its place.

#include <functional>

class CMeasureDataPrinterSave;
class QObject;

using PrinterUploaderFactory = std::function<CMeasureDataPrinterSave *(QObject *parent)>;

// A new uploader owned by parent.
CMeasureDataPrinterSave *CreatePrinterUploader(QObject *parent);
// An empty factory brings the real uploader back.
void SetPrinterUploaderFactory(PrinterUploaderFactory factory);
