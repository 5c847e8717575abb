#pragma once
// Collects one printer entry for the measurement-file upload: printer name, password, IP address and port.
// Storing the entry is the opener's business; the dialog only checks the four texts and hands them out.

#include "chart/vcdialog.h"

#include <memory>

class CModel;

namespace Ui {
class PrinterAddDialog;
}

class CVCPrinterAdd : public CVCDialog
{
    Q_OBJECT
public:
    // model: used only to report refused input.
    CVCPrinterAdd(CModel *model, QWidget *parent);
    ~CVCPrinterAdd() override;

    void SetIPAddress(const QString &address);
    // Hands out the four texts and empties the fields, so a dialog used again starts empty.
    void GetPrinter(QString *name, QString *password, QString *address, QString *port);

public slots:
    void PushOK();
    void PushCancel();

private:
    void Initialize();
    void SetButtonBox();
    void ClearFields();

    std::unique_ptr<Ui::PrinterAddDialog> ui;
    CModel *m_model;
};
