// Test control of the scripted stand-in for the extraction engine.
#pragma once

#include <string>

void SetWorkerScript(const char* script);
void FailWorkerThreadStart();
// The Answer of every overwrite question, comma-terminated ("1,1010,").
const std::string& OverwriteAnswers();
bool StartExtractWorker();
