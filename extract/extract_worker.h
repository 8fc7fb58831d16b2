// The body of the worker thread: walks the program's own archive and writes
// every entry below DestDir, reporting through the ExtractStatus record.
#pragma once

void ExtractWorker();
