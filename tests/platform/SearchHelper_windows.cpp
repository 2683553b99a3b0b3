// A library the search test's producer depends on.
extern "C" __declspec(dllexport) int HelperValue() {
    return 41;
}
