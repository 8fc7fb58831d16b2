// Starts ExtractWorker on a thread of its own.  The thread ends by itself
// after the worker's last step; nobody waits for it.
#pragma once

// False when the thread could not be created; the worker then never runs.
bool StartExtractWorker();
