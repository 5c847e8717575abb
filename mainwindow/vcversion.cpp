#include "mainwindow/vcversion.h"

#include "ui_versiondialog.h"

#include "app/widgets/versionlabels.h"

CVCVersion::CVCVersion(QWidget *parent) : CVCDialog(parent), ui(new Ui::VersionDialog)
{
    Q_INIT_RESOURCE(Resource);
    ui->setupUi(this);
    AddVersionLabels(ui->label);
}

CVCVersion::~CVCVersion() = default;
