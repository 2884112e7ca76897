// A library that the device loads by name in the loader's tests.

extern "C" __attribute__((visibility("default"))) int ProbeAnswer()
{
    return 42;
}
