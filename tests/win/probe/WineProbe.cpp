// Prints one known line naming its width; the test harness compares it to make sure Wine
// really runs code of the build's width (a Wine that cannot says nothing and exits 0).
#include <cstdio>
int main() {
    std::printf("wine-probe ok %d-bit\n", static_cast<int>(KARVO_PROBE_BITS));
    return 0;
}
