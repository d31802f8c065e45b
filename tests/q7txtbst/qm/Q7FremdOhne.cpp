// A quality management without the ICD entry point: it loads, and offers
// nothing the search can call.
extern "C" __attribute__((visibility("default"))) int Q7QMVersion() {
    return 1;
}
