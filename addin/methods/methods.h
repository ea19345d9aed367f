// The handlers of the 85 methods, one file per method group. A handler reads its
// parameters through CallParams and, for a method with a result, writes the result (a
// VT_I4 result code unless the method says otherwise); `result` is null for procedures.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include "call_params.h"
#include "error_text.h"

class CAddIn;

typedef void (*MethodFn)(CAddIn& addIn, CallParams& params, VARIANT* result);

// Enabling, the status line and the timer (methods/core.cpp)
void CallEnable(CAddIn& addIn, CallParams& params, VARIANT* result);  // 0
void CallDisable(CAddIn& addIn, CallParams& params, VARIANT* result);  // 1
void CallShowInStatusLine(CAddIn& addIn, CallParams& params, VARIANT* result);  // 2
void CallStopTimer(CAddIn& addIn, CallParams& params, VARIANT* result);  // 4
void CallCeErrDescription(CAddIn& addIn, CallParams& params, VARIANT* result);  // 9

// Server interop: following the service through the exchange folder (methods/server.cpp)
void CallVlsSetServerAddress(CAddIn& addIn, CallParams& params, VARIANT* result);  // 40
void CallVlsGetPPCInfo(CAddIn& addIn, CallParams& params, VARIANT* result);  // 41
void CallVlsGetPPCCount(CAddIn& addIn, CallParams& params, VARIANT* result);  // 42
void CallVlsSrvNote(CAddIn& addIn, CallParams& params, VARIANT* result);  // 43
void CallVlsProcessDone(CAddIn& addIn, CallParams& params, VARIANT* result);  // 44
void CallVlsSetExchangeDir(CAddIn& addIn, CallParams& params, VARIANT* result);  // 45
void CallVlsGetExchangeDir(CAddIn& addIn, CallParams& params, VARIANT* result);  // 46
void CallVlsEnableServer(CAddIn& addIn, CallParams& params, VARIANT* result);  // 47
void CallVlsDisableServer(CAddIn& addIn, CallParams& params, VARIANT* result);  // 48
void CallVlsAddPPCId(CAddIn& addIn, CallParams& params, VARIANT* result);  // 49
void CallVlsClearPPCId(CAddIn& addIn, CallParams& params, VARIANT* result);  // 50
void CallVlsGetFieldPPCInfo(CAddIn& addIn, CallParams& params, VARIANT* result);  // 51

// The handheld over ActiveSync (methods/activesync.cpp)
void CallCePutFile(CAddIn& addIn, CallParams& params, VARIANT* result);  // 5
void CallCeGetFile(CAddIn& addIn, CallParams& params, VARIANT* result);  // 6
void CallCeDeleteFile(CAddIn& addIn, CallParams& params, VARIANT* result);  // 7
void CallCeFileExists(CAddIn& addIn, CallParams& params, VARIANT* result);  // 8
void CallCeGuestOnly(CAddIn& addIn, CallParams& params, VARIANT* result);  // 10
void CallCeSetFileBuffSize(CAddIn& addIn, CallParams& params, VARIANT* result);  // 12
void CallCeExecute(CAddIn& addIn, CallParams& params, VARIANT* result);  // 13
void CallCeRapiInit(CAddIn& addIn, CallParams& params, VARIANT* result);  // 14
void CallCeRapiUnInit(CAddIn& addIn, CallParams& params, VARIANT* result);  // 15
void CallCeRegQueryValue(CAddIn& addIn, CallParams& params, VARIANT* result);  // 16
void CallCeRegSetValue(CAddIn& addIn, CallParams& params, VARIANT* result);  // 17
void CallCeGetVersionOS(CAddIn& addIn, CallParams& params, VARIANT* result);  // 18
void CallCeFindWndOnClass(CAddIn& addIn, CallParams& params, VARIANT* result);  // 19

// Schedules, the log and small utilities (methods/utilities.cpp)
void CallConvertUTF16(CAddIn& addIn, CallParams& params, VARIANT* result);  // 11
void CallWinSetClipboard(CAddIn& addIn, CallParams& params, VARIANT* result);  // 52
void CallGUIDGetFromCode(CAddIn& addIn, CallParams& params, VARIANT* result);  // 70
void CallGUIDGetCode(CAddIn& addIn, CallParams& params, VARIANT* result);  // 71
void CallVersion(CAddIn& addIn, CallParams& params, VARIANT* result);  // 72
void CallHelp(CAddIn& addIn, CallParams& params, VARIANT* result);  // 73
void CallGUIDGetSub(CAddIn& addIn, CallParams& params, VARIANT* result);  // 74
void CallLogOn(CAddIn& addIn, CallParams& params, VARIANT* result);  // 75
void CallLogAdd(CAddIn& addIn, CallParams& params, VARIANT* result);  // 76
void CallSheduleSet(CAddIn& addIn, CallParams& params, VARIANT* result);  // 77
void CallSheduleRemove(CAddIn& addIn, CallParams& params, VARIANT* result);  // 78
void CallSheduleEnable(CAddIn& addIn, CallParams& params, VARIANT* result);  // 79
void CallSheduleConfirm(CAddIn& addIn, CallParams& params, VARIANT* result);  // 80
void CallSqrt(CAddIn& addIn, CallParams& params, VARIANT* result);  // 81
void CallSleep(CAddIn& addIn, CallParams& params, VARIANT* result);  // 82
void CallCreateGUID(CAddIn& addIn, CallParams& params, VARIANT* result);  // 83
void CallChooseColor(CAddIn& addIn, CallParams& params, VARIANT* result);  // 84

// FTP transfer (methods/ftp.cpp)
void CallFtpSetProxy(CAddIn& addIn, CallParams& params, VARIANT* result);  // 28
void CallFtpOpenSession(CAddIn& addIn, CallParams& params, VARIANT* result);  // 29
void CallFtpCloseSession(CAddIn& addIn, CallParams& params, VARIANT* result);  // 30
void CallFtpConnect(CAddIn& addIn, CallParams& params, VARIANT* result);  // 31
void CallFtpGetFile(CAddIn& addIn, CallParams& params, VARIANT* result);  // 32
void CallFtpSetCurDir(CAddIn& addIn, CallParams& params, VARIANT* result);  // 33
void CallFtpDeleteFile(CAddIn& addIn, CallParams& params, VARIANT* result);  // 34
void CallFtpPutFile(CAddIn& addIn, CallParams& params, VARIANT* result);  // 35
void CallFtpCreateDirectory(CAddIn& addIn, CallParams& params, VARIANT* result);  // 36
void CallFtpFileExists(CAddIn& addIn, CallParams& params, VARIANT* result);  // 37
void CallFtpGetFileSize(CAddIn& addIn, CallParams& params, VARIANT* result);  // 38
void CallFtpSetBufferSize(CAddIn& addIn, CallParams& params, VARIANT* result);  // 39

// Zip archives (methods/zip.cpp)
void CallZipPack(CAddIn& addIn, CallParams& params, VARIANT* result);  // 20
void CallZipUnPack(CAddIn& addIn, CallParams& params, VARIANT* result);  // 21
void CallZipSetPassword(CAddIn& addIn, CallParams& params, VARIANT* result);  // 22
void CallZipClear(CAddIn& addIn, CallParams& params, VARIANT* result);  // 23
void CallZipAdd(CAddIn& addIn, CallParams& params, VARIANT* result);  // 24

// File encryption and signatures (methods/crypto.cpp)
void CallEncryptFile(CAddIn& addIn, CallParams& params, VARIANT* result);  // 25
void CallDecryptFile(CAddIn& addIn, CallParams& params, VARIANT* result);  // 26
void CallSetCryptPassword(CAddIn& addIn, CallParams& params, VARIANT* result);  // 27
void CallAddSignature(CAddIn& addIn, CallParams& params, VARIANT* result);  // 65
void CallVerifySignature(CAddIn& addIn, CallParams& params, VARIANT* result);  // 66

// The map window and routes (methods/map.cpp)
void CallGpsSetMap(CAddIn& addIn, CallParams& params, VARIANT* result);  // 53
void CallGpsShowMap(CAddIn& addIn, CallParams& params, VARIANT* result);  // 54
void CallGpsRouteAddPoint(CAddIn& addIn, CallParams& params, VARIANT* result);  // 55
void CallGpsRouteClearPoints(CAddIn& addIn, CallParams& params, VARIANT* result);  // 56
void CallGpsRouteAddFlag(CAddIn& addIn, CallParams& params, VARIANT* result);  // 57
void CallGpsRouteClearFlags(CAddIn& addIn, CallParams& params, VARIANT* result);  // 58
void CallGpsRouteAddTrack(CAddIn& addIn, CallParams& params, VARIANT* result);  // 59
void CallGpsRouteClearTrack(CAddIn& addIn, CallParams& params, VARIANT* result);  // 60
void CallGpsRouteSetColor(CAddIn& addIn, CallParams& params, VARIANT* result);  // 61
void CallGpsSetAttachView(CAddIn& addIn, CallParams& params, VARIANT* result);  // 62
void CallGpsSetTrackLIne(CAddIn& addIn, CallParams& params, VARIANT* result);  // 63
void CallGpsDistance(CAddIn& addIn, CallParams& params, VARIANT* result);  // 64

// Interop with the Map9 map program (methods/map9.cpp)
void CallMap9EnableInterop(CAddIn& addIn, CallParams& params, VARIANT* result);  // 67
void CallMap9DisableInterop(CAddIn& addIn, CallParams& params, VARIANT* result);  // 68
void CallMap9EndOperation(CAddIn& addIn, CallParams& params, VARIANT* result);  // 69
