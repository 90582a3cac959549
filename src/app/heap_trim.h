// Giving the heap's free pages back to the system once the program is idle.
#pragma once

namespace pelmora::app {

// Keeps malloc from raising its thresholds after large blocks are freed: a freed
// model file buffer would otherwise lift them to megabytes, and the heap would then
// hold that much free memory for the rest of the run. Call once, before Qt starts.
void FixHeapThresholds();

// Returns the heap's unused pages to the system half a second later, once the window
// has settled (layout, painting), so that the temporaries of filling a long list do
// not stay resident. Needs a running QCoreApplication; calls in the meantime are
// merged into the one trim.
void TrimHeapWhenIdle();

}  // namespace pelmora::app
