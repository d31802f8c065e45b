#pragma once
// The host's fault seams for tests outside the host, which may not include
// its internal headers (the host declares them in host/db/internal and
// host/print/internal). They are hidden symbols of the host's objects, which
// every test program links directly.
void XQFailNthCall(int n);
bool XQFaultFired();
void XQSetPrintWriteFault(int n);
void XQSetFileFault(int n);
