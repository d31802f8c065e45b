#pragma once
// The file layer's fault seam, internal to the host: not exported, the tests
// link the host's objects.
#ifndef Q7HOST_INTERNAL
#error "host/base/internal/XQFileSeam.h is internal to the host"
#endif

// The n-th CXQFile call after this one (Open, a buffer's read or a Write)
// fails as a damaged disk would (EIO); 0 turns it off.
void XQSetFileFault(int n);
