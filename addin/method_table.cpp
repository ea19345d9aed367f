#include "method_table.h"

#include "methods/methods.h"

namespace {
const MethodEntry kMethods[kMethodCount] = {
    // name id, params, result, dispatcher, GetParamDefValue answers S_OK, default param, default, handler
    {106, 0, false, kProc, true, -1, 0, CallEnable},  // 0
    {107, 0, false, kProc, true, -1, 0, CallDisable},  // 1
    {108, 1, false, kProc, true, -1, 0, CallShowInStatusLine},  // 2
    {110, 0, false, kNone, true, -1, 0, nullptr},  // 3
    {113, 0, false, kProc, true, -1, 0, CallStopTimer},  // 4
    {115, 2, true, kFunc, true, -1, 0, CallCePutFile},  // 5
    {116, 2, true, kFunc, true, -1, 0, CallCeGetFile},  // 6
    {117, 1, true, kFunc, true, -1, 0, CallCeDeleteFile},  // 7
    {118, 1, true, kFunc, true, -1, 0, CallCeFileExists},  // 8
    {119, 1, true, kFunc, true, -1, 0, CallCeErrDescription},  // 9
    {129, 1, true, kFunc, true, -1, 0, CallCeGuestOnly},  // 10
    {239, 4, true, kFunc, true, -1, 0, CallConvertUTF16},  // 11
    {130, 1, true, kFunc, true, -1, 0, CallCeSetFileBuffSize},  // 12
    {131, 2, true, kFunc, true, -1, 0, CallCeExecute},  // 13
    {134, 0, true, kFunc, true, -1, 0, CallCeRapiInit},  // 14
    {135, 0, true, kFunc, true, -1, 0, CallCeRapiUnInit},  // 15
    {136, 3, true, kFunc, true, -1, 0, CallCeRegQueryValue},  // 16
    {137, 4, true, kFunc, true, -1, 0, CallCeRegSetValue},  // 17
    {138, 4, true, kFunc, true, -1, 0, CallCeGetVersionOS},  // 18
    {182, 1, true, kFunc, true, -1, 0, CallCeFindWndOnClass},  // 19
    {140, 2, true, kFunc, true, 1, 0, CallZipPack},  // 20
    {139, 2, true, kFunc, true, -1, 0, CallZipUnPack},  // 21
    {164, 1, false, kProc, true, -1, 0, CallZipSetPassword},  // 22
    {256, 0, false, kProc, true, -1, 0, CallZipClear},  // 23
    {141, 2, true, kFunc, true, 0, 0, CallZipAdd},  // 24
    {167, 2, true, kFunc, true, -1, 0, CallEncryptFile},  // 25
    {168, 2, true, kFunc, true, -1, 0, CallDecryptFile},  // 26
    {166, 1, false, kProc, true, -1, 0, CallSetCryptPassword},  // 27
    {211, 3, false, kProc, true, -1, 0, CallFtpSetProxy},  // 28
    {146, 0, true, kFunc, true, -1, 0, CallFtpOpenSession},  // 29
    {147, 0, false, kProc, true, -1, 0, CallFtpCloseSession},  // 30
    {148, 3, true, kFunc, true, -1, 0, CallFtpConnect},  // 31
    {149, 2, true, kFunc, true, -1, 0, CallFtpGetFile},  // 32
    {154, 1, true, kFunc, true, -1, 0, CallFtpSetCurDir},  // 33
    {155, 1, true, kFunc, true, -1, 0, CallFtpDeleteFile},  // 34
    {156, 2, true, kFunc, true, -1, 0, CallFtpPutFile},  // 35
    {158, 1, true, kFunc, true, -1, 0, CallFtpCreateDirectory},  // 36
    {163, 1, true, kFunc, true, -1, 0, CallFtpFileExists},  // 37
    {179, 1, true, kFunc, true, -1, 0, CallFtpGetFileSize},  // 38
    {180, 1, false, kProc, true, -1, 0, CallFtpSetBufferSize},  // 39
    {170, 1, false, kProc, true, -1, 0, CallVlsSetServerAddress},  // 40
    {171, 1, true, kFunc, true, -1, 0, CallVlsGetPPCInfo},  // 41
    {172, 0, true, kFunc, true, -1, 0, CallVlsGetPPCCount},  // 42
    {173, 2, false, kProc, true, -1, 0, CallVlsSrvNote},  // 43
    {174, 1, false, kProc, true, -1, 0, CallVlsProcessDone},  // 44
    {175, 1, false, kProc, true, -1, 0, CallVlsSetExchangeDir},  // 45
    {176, 0, true, kFunc, true, -1, 0, CallVlsGetExchangeDir},  // 46
    {177, 1, false, kProc, true, 0, 5000, CallVlsEnableServer},  // 47
    {178, 0, false, kProc, true, -1, 0, CallVlsDisableServer},  // 48
    {226, 1, false, kProc, true, -1, 0, CallVlsAddPPCId},  // 49
    {227, 0, false, kProc, true, -1, 0, CallVlsClearPPCId},  // 50
    {183, 2, true, kFunc, true, -1, 0, CallVlsGetFieldPPCInfo},  // 51
    {184, 1, false, kProc, true, -1, 0, CallWinSetClipboard},  // 52
    {212, 9, true, kFunc, true, -1, 0, CallGpsSetMap},  // 53
    {213, 1, true, kFunc, true, -1, 0, CallGpsShowMap},  // 54
    {214, 4, false, kProc, true, -1, 0, CallGpsRouteAddPoint},  // 55
    {215, 0, false, kProc, true, -1, 0, CallGpsRouteClearPoints},  // 56
    {228, 7, false, kProc, true, -1, 0, CallGpsRouteAddFlag},  // 57
    {229, 0, false, kProc, true, -1, 0, CallGpsRouteClearFlags},  // 58
    {230, 3, false, kProc, true, -1, 0, CallGpsRouteAddTrack},  // 59
    {231, 0, false, kProc, true, -1, 0, CallGpsRouteClearTrack},  // 60
    {216, 3, false, kProc, true, -1, 0, CallGpsRouteSetColor},  // 61
    {217, 1, false, kProc, true, -1, 0, CallGpsSetAttachView},  // 62
    {232, 1, false, kProc, true, -1, 0, CallGpsSetTrackLIne},  // 63
    {233, 4, true, kFunc, true, -1, 0, CallGpsDistance},  // 64
    {234, 3, true, kFunc, true, -1, 0, CallAddSignature},  // 65
    {235, 2, true, kFunc, true, -1, 0, CallVerifySignature},  // 66
    {236, 0, true, kFunc, true, -1, 0, CallMap9EnableInterop},  // 67
    {237, 0, true, kFunc, true, -1, 0, CallMap9DisableInterop},  // 68
    {238, 1, true, kFunc, true, -1, 0, CallMap9EndOperation},  // 69
    {240, 1, true, kFunc, true, -1, 0, CallGUIDGetFromCode},  // 70
    {241, 1, true, kFunc, true, -1, 0, CallGUIDGetCode},  // 71
    {242, 0, true, kFunc, true, -1, 0, CallVersion},  // 72
    {243, 2, true, kFunc, true, -1, 0, CallHelp},  // 73
    {244, 3, true, kFunc, true, -1, 0, CallGUIDGetSub},  // 74
    {245, 1, false, kProc, true, -1, 0, CallLogOn},  // 75
    {246, 2, true, kFunc, true, 1, 0, CallLogAdd},  // 76
    {247, 4, true, kFunc, false, -1, 0, CallSheduleSet},  // 77
    {248, 1, true, kFunc, true, 0, 0, CallSheduleRemove},  // 78
    {249, 2, true, kFunc, false, -1, 0, CallSheduleEnable},  // 79
    {250, 1, true, kFunc, false, -1, 0, CallSheduleConfirm},  // 80
    {252, 1, true, kFunc, false, -1, 0, CallSqrt},  // 81
    {253, 1, false, kProc, false, -1, 0, CallSleep},  // 82
    {254, 0, true, kFunc, true, -1, 0, CallCreateGUID},  // 83
    {255, 1, true, kFunc, false, -1, 0, CallChooseColor},  // 84
};

const PropertyEntry kProperties[kPropCount] = {
    {105, true},   // 0 IsEnabled
    {114, false},  // 1 IsTimerPresent
    {132, true},   // 2 CeCpyWinVisible
    {133, false},  // 3 CeIsRapiInited
};

struct Names {
  NamePair methods[kMethodCount];
  NamePair properties[kPropCount];
  NamePair errAliases[2];
  Names() {
    for (int i = 0; i < kMethodCount; ++i) methods[i] = SplitNames(LoadText(kMethods[i].nameId));
    for (int i = 0; i < kPropCount; ++i) properties[i] = SplitNames(LoadText(kProperties[i].nameId));
    errAliases[0] = SplitNames(LoadText(157));
    errAliases[1] = SplitNames(LoadText(251));
  }
};

const Names& AllNames() {
  static const Names names;  // loaded on first use, thread-safe
  return names;
}
}  // namespace

const MethodEntry* MethodAt(long number) {
  return number >= 0 && number < kMethodCount ? &kMethods[number] : nullptr;
}

const PropertyEntry* PropertyAt(long number) {
  return number >= 0 && number < kPropCount ? &kProperties[number] : nullptr;
}

const NamePair& MethodNames(long number) { return AllNames().methods[number]; }
const NamePair& PropertyNames(long number) { return AllNames().properties[number]; }
const NamePair& ErrDescriptionAliases(int which) { return AllNames().errAliases[which]; }
