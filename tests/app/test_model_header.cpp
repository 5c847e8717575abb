// Compiled as a window is: app/model.h and Qt only, without the instrument libraries' include folders. The
// build is the test: the model's header must neither need those folders nor hand a window the callbacks of the
// stores and controllers or the objects the model owns.

#include "app/model.h"

#if __has_include("OrloSDK.h") || __has_include("pellAPI.h") || __has_include("vexapi.h")
#error "a window translation unit sees an instrument library's header"
#endif

#include <QtTest>

#include <type_traits>

namespace {

// Whether &CModel::name is usable from outside the class: access is checked during substitution.
#define VAREMO_PUBLIC_MEMBER_PROBE(name)                                                                              \
    template <typename T, typename = void>                                                                             \
    struct Public_##name : std::false_type {                                                                           \
    };                                                                                                                 \
    template <typename T>                                                                                              \
    struct Public_##name<T, std::void_t<decltype(&T::name)>> : std::true_type {                                        \
    };

// Window operations (the probe's positive controls).
VAREMO_PUBLIC_MEMBER_PROBE(SelectFileID)
VAREMO_PUBLIC_MEMBER_PROBE(ReportError)
VAREMO_PUBLIC_MEMBER_PROBE(GetOrloStatus)
VAREMO_PUBLIC_MEMBER_PROBE(HasReadBarcodes)
// Callbacks of the controllers and stores.
VAREMO_PUBLIC_MEMBER_PROBE(StoreMeasuredPatch)
VAREMO_PUBLIC_MEMBER_PROBE(StoreHandyMeasuredPatch)
VAREMO_PUBLIC_MEMBER_PROBE(FinishDesignationSheet)
VAREMO_PUBLIC_MEMBER_PROBE(SelectChartFromJobNumber)
VAREMO_PUBLIC_MEMBER_PROBE(HandleScannedBarcode)
VAREMO_PUBLIC_MEMBER_PROBE(GetSelectedChart)
VAREMO_PUBLIC_MEMBER_PROBE(CurrentUserEnvironment)
// Owned objects.
VAREMO_PUBLIC_MEMBER_PROBE(GetDocumentData)
VAREMO_PUBLIC_MEMBER_PROBE(GetDataBuffer)
VAREMO_PUBLIC_MEMBER_PROBE(GetOrloController)
VAREMO_PUBLIC_MEMBER_PROBE(m_documentData)

#undef VAREMO_PUBLIC_MEMBER_PROBE

static_assert(Public_SelectFileID<CModel>::value && Public_ReportError<CModel>::value &&
                  Public_GetOrloStatus<CModel>::value && Public_HasReadBarcodes<CModel>::value,
              "window operations are public");
static_assert(!Public_StoreMeasuredPatch<CModel>::value && !Public_StoreHandyMeasuredPatch<CModel>::value &&
                  !Public_FinishDesignationSheet<CModel>::value && !Public_SelectChartFromJobNumber<CModel>::value &&
                  !Public_HandleScannedBarcode<CModel>::value && !Public_GetSelectedChart<CModel>::value &&
                  !Public_CurrentUserEnvironment<CModel>::value,
              "a window cannot call a flow callback");
static_assert(!Public_GetDocumentData<CModel>::value && !Public_GetDataBuffer<CModel>::value &&
                  !Public_GetOrloController<CModel>::value && !Public_m_documentData<CModel>::value,
              "a window cannot reach the stores and controllers");

// The scanner's records a window gets are the program's own.
static_assert(std::is_same<decltype(&CModel::GetOrloStatus), int (CModel::*)(OrloStatusRecord *)>::value &&
                  std::is_same<decltype(&CModel::GetOrloDeviceList),
                               int (CModel::*)(QList<OrloDeviceRecord> *, bool)>::value &&
                  std::is_same<decltype(&CModel::GetOrloNetworkSetting),
                               int (CModel::*)(OrloNetworkSetting *)>::value &&
                  std::is_same<decltype(&CModel::GetClippingChartResult),
                               int (CModel::*)(const QVector<ChartDefinitionData::ClipArea> &,
                                               ChartDefinitionData::Sheet *, QVector<OrloLocatedPoint> *)>::value,
              "instrument records in the program's own types");

} // namespace

class TestModelHeader : public QObject
{
    Q_OBJECT

private slots:
    // The windows connect to the model's signals and slots by name.
    void signalsAndSlotsByName()
    {
        const QMetaObject &meta = CModel::staticMetaObject;
        for (const char *signature : {"ErrorMessage(int)", "ErrorMessageDensity(int)", "UpdateOrloStatus(int)",
                                      "MeasurementFinished(int,int)"})
            QVERIFY2(meta.indexOfSignal(signature) >= 0, signature);
        QVERIFY(meta.indexOfSlot("StopMeasurementOrlo(bool)") >= 0);
        QVERIFY(meta.indexOfSlot("SetHandyPatchPosition(QList<TanoSDK_PatchPosition*>&)") >= 0);
    }
};

QTEST_GUILESS_MAIN(TestModelHeader)
#include "test_model_header.moc"
