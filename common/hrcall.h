// The text of a failed XML parser call, as the service's error value and the add-in's debugger
// output show it.
#pragma once
#include <string>

#include "platform/xml.h"

// "MyXML:<line>  HRCALL Failed: <text>\n  0x<hr> = <call>\n", cut to 1023 characters.
std::string FormatHrCall(int line, const char* text, XmlResult hr, const char* call);
