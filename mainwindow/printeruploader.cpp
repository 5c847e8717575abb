#include "mainwindow/printeruploader.h"

#include "files/measuredataprintersave.h"

namespace {
PrinterUploaderFactory &Factory()
{
    static PrinterUploaderFactory factory;
    return factory;
}
} // namespace

CMeasureDataPrinterSave *CreatePrinterUploader(QObject *parent)
{
    if (Factory())
        return Factory()(parent);
    return new CMeasureDataPrinterSave(parent);
}

void SetPrinterUploaderFactory(PrinterUploaderFactory factory)
{
    Factory() = std::move(factory);
}
