// State of the ActiveSync connection that other groups read (property CeIsRapiInited).
#pragma once

// True while the ActiveSync connection is initialised.
bool IsRapiInitialised();
