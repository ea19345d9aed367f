// FTP transfer.
// Not built yet: every method answers as MethodNotBuilt says.
#include "methods.h"

void CallFtpSetProxy(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpOpenSession(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpCloseSession(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpConnect(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpGetFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpSetCurDir(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpDeleteFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpPutFile(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpCreateDirectory(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpFileExists(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpGetFileSize(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallFtpSetBufferSize(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
