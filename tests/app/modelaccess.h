#pragma once
// What the tests and benchmarks reach inside a model: the stores and controllers it owns, and the host
// interface through which a controller calls the model's measurement flows. Windows have no such door.

#include "app/illuminantdata.h"
#include "app/model.h"
#include "app/model_hosts.h"
#include "app/orlosdkcontroller.h"
#include "app/resourcedata.h"
#include "app/tanosdkcontroller.h"

class CModelAccess
{
public:
    static CResourceData *ResourceData(const CModel &model) { return model.m_resourceData; }
    static CApplicationData *ApplicationData(const CModel &model) { return model.m_applicationData; }
    static CDocumentData *DocumentData(const CModel &model) { return model.m_documentData; }
    static CIlluminantData *IlluminantData(const CModel &model) { return model.m_illuminantData; }
    static CDataBuffer *DataBuffer(const CModel &model) { return model.m_dataBuffer; }
    // Whether a window acknowledged the last error report; taking it clears the flag, as the model's wait does.
    static bool TakeAcknowledgement(CModel &model) { return model.m_acknowledged.exchange(false); }
    static COrloSDKController *OrloController(const CModel &model) { return model.m_orlo; }
    static CTanoSDKController *TanoController(const CModel &model) { return model.m_tano; }
    // The model as the chart-scanner controller sees it.
    static COrloSDKHost *OrloHost(const CModel &model) { return model.m_hosts.get(); }
};
