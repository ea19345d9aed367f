// The transfer records Status.txt and Stack.txt and the shared hand-off queue.
#pragma once
#include <string>

void InitExchangeLock();        // once, before the first configuration load
void RecreateHandoffQueue();    // at every configuration load: a fresh, empty queue
void ReleaseHandoffQueue();
// Drops Stack.txt records whose file is gone; deletes an empty Stack.txt.
void CleanStack(const std::string& exchangeFolder);
// Records a completed transfer (Status.txt/Stack.txt for uploads) and writes its log line.
// False (and a log line) when a record file could not be written; the old file then stands.
bool RecordTransfer(const char* deviceId, const char* agentName, const std::string& exchangeFolder,
                    const char* directoryName, const char* fileName, int direction,
                    const char* peerLabel);
