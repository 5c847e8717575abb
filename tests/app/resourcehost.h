#pragma once
// The owner a document store asks, backed by the shipped resource tables. With CIODataFileHost among `Extra`, its
// area and page-size answers serve the data-file object too.

#include "app/documentdata.h"
#include "app/resourcedata.h"

template <typename... Extra>
class ResourceHost : public CDocumentDataHost, public Extra... {
public:
    ResourceHost() { resources.Initialize(); }
    Setting::UserEnvironment &CurrentUserEnvironment() override { return environment; }
    int GetAreaLeftMin() const override { return resources.GetAreaLeftMin(); }
    int GetAreaLeftMax() const override { return resources.GetAreaLeftMax(); }
    int GetAreaTopMin() const override { return 0; }
    int GetAreaTopMax() const override { return resources.GetAreaTopMax(); }
    int FindPaperSizeIndexInUnit(int unit, int width, int height) const override
    {
        return resources.FindPaperSizeIndexInUnit(unit, width, height);
    }
    int GetPageSizeWidth(int index) const override { return resources.GetPageSizeWidth(index); }
    int GetPageSizeHeight(int index) const override { return resources.GetPageSizeHeight(index); }
    int GetPageSizeMaxWidth(int index) const override { return resources.GetPageSizeMaxWidth(index); }
    int GetPageSizeMaxHeight(int index) const override { return resources.GetPageSizeMaxHeight(index); }
    int GetInstalledPresetLevel() const override { return installedLevel; }
    int GetPresetLevel() const override { return 4; }
    bool IsDataFormatCurrent() const override { return installedLevel >= 4; }

    CResourceData resources;
    Setting::UserEnvironment environment;
    int installedLevel = 4;
};
