#pragma once
// The blocks the chart scanner's library takes for a registered sheet: its layout record and the list of
// patch colours it checks the scanned page against. Pure: they read the sheet and fill what they are given.

#include "app/records.h"
#include "app/settingrecords.h"

#include "OrloSDK.h"

#include <memory>
#include <vector>

// A colour-check list as the library takes it: the head followed by its entries.
class OrloColorCheckBuffer
{
public:
    void Reset(int flag, int count);
    OrloColorCheckList *List() { return reinterpret_cast<OrloColorCheckList *>(m_bytes.get()); }
    OrloColorCheckEntry *Entries() { return OrloColorCheckEntries(List()); }
    bool IsEmpty() const { return !m_bytes; }

private:
    std::unique_ptr<unsigned char[]> m_bytes;
};

// The library's layout record of a registered sheet. A 150 dpi barcode image is enlarged 2 x 2 into
// *enlarged, which the record then points at.
void BuildLayoutRecord(const ChartDefinitionData::Sheet &sheet, OrloLayoutRecord *layout,
                       std::vector<unsigned char> *enlarged);
// The colour-check list of a sheet; left empty when the sheet's first patch has no colour format.
void BuildColorCheckList(const ChartDefinitionData::Sheet &sheet, const InkChannelList &inks,
                         OrloColorCheckBuffer *list);
