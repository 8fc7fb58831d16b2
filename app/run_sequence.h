// The stub's run: choose the destination, extract under the progress dialog,
// hand off to the follow-up program; each phase gated by the one before.
#pragma once

// Set from the archive header by ReadArchiveSummary; false when the header
// can't be read, which leads to the destination dialog.
extern int AutomaticMode;

// Phase 1: reads the archive summary into RequiredSize and AutomaticMode,
// then asks the user (destination dialog) or picks a folder automatically.
// True when DestDir and SkipOverwritePrompt are set and extraction may start.
bool ChooseDestination();

// The three phases in order.  Every outcome has already been shown to the
// user by the phase that met it, so there is nothing to return.
void RunStub();
