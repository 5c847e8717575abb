/* libvexhid: finds the Lumet instrument on USB and moves its 65-byte HID reports.
 * Plain C interface; results are ints (0 success, 2 time-out, 7 no instrument or the device failed,
 * 8 bad handle or null argument, 9 platform I/O failure). */
#ifndef VEXHID_H
#define VEXHID_H

#if defined(__cplusplus)
#define VEXHID_EXTERN extern "C"
typedef char16_t VexHidChar;
#else
#include <uchar.h>
#define VEXHID_EXTERN
typedef char16_t VexHidChar;
#endif

#define VEXHID_API VEXHID_EXTERN __attribute__((visibility("default")))

/* Opaque handle of an opened instrument. */
typedef void* ZUCOM_HANDLE;

VEXHID_API int ZUCOM_Initialize(int vendorId, int productId, int value1, int value2);
VEXHID_API int ZUCOM_EnumDevice(ZUCOM_HANDLE* handle);
VEXHID_API int ZUCOM_CloseDevice(ZUCOM_HANDLE handle);
VEXHID_API int ZUCOM_Exit(void);
VEXHID_API int ZUCOM_ReadCmd(ZUCOM_HANDLE handle, unsigned char* report65, unsigned int* bytesRead, int timeoutMs);
VEXHID_API int ZUCOM_ReadData(ZUCOM_HANDLE handle, unsigned char* report65, unsigned int* bytesRead, int timeoutMs);
VEXHID_API int ZUCOM_WriteCmd(ZUCOM_HANDLE handle, const unsigned char* report65, unsigned int* bytesWritten,
                              int timeoutMs);
VEXHID_API int ZUCOM_FlashCmdBuffer(ZUCOM_HANDLE handle);
VEXHID_API int ZUCOM_FlashDataBuffer(ZUCOM_HANDLE handle);
/* Copies the serial string into a buffer of 32 UTF-16 units. */
VEXHID_API int ZUCOM_GetSerialNumber(ZUCOM_HANDLE handle, VexHidChar* serial32);
VEXHID_API int ZUCOM_IsConnected(ZUCOM_HANDLE handle);
VEXHID_API void ZUCOM_GetVersion(int* version3);
VEXHID_API int ZUCOM_GetNumConnected(int* count, int value);

#endif
