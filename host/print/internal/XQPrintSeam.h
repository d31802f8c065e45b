#pragma once
// The print library's fault seam, internal to the host: not exported, the
// tests link the host's objects.
#ifndef Q7HOST_INTERNAL
#error "host/print/internal/XQPrintSeam.h is internal to the host"
#endif

// The n-th entry written after this call fails as a full disk would; 0 turns
// it off.
void XQSetPrintWriteFault(int n);
