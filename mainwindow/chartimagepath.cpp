#include "mainwindow/chartimagepath.h"

#include "app/widgets/uipresenter.h"
#include "mainwindow/fileactionnames.h"

#include <QCoreApplication>
#include <QFileInfo>

QString ChooseChartImagePath(QWidget *parent, const QString &proposal, int pageCount)
{
    CUiPresenter &presenter = CUiPresenter::Current();
    QString start = proposal;
    for (;;) {
        const QString fileName = presenter.SaveFileName(
            parent, QCoreApplication::translate("FileActions", "Save"), start, QStringLiteral("tiff File (*.tiff)"));
        if (fileName.isEmpty() || FirstExistingChartImagePage(fileName, pageCount).isEmpty())
            return fileName;
        const QString question =
            QFileInfo(fileName).fileName() +
            QCoreApplication::translate("FileActions", " already exists. Are you sure you want to overwrite?");
        if (presenter.Ask(parent, question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
            return fileName;
        start = fileName;
    }
}
