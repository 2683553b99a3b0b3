// Stands for a producer that brings a library of its own, found only in its folder.
extern "C" __declspec(dllimport) int HelperValue();

extern "C" __declspec(dllexport) int ProducerValue() {
    return HelperValue() + 1;
}
