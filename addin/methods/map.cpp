// The map window and routes.
// Not built yet: every method answers as MethodNotBuilt says.
#include "methods.h"

void CallGpsSetMap(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsShowMap(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsRouteAddPoint(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsRouteClearPoints(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsRouteAddFlag(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsRouteClearFlags(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsRouteAddTrack(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsRouteClearTrack(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsRouteSetColor(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsSetAttachView(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsSetTrackLIne(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
void CallGpsDistance(CAddIn&, CallParams&, VARIANT* result) { MethodNotBuilt(result); }
