// Prints one known line; the test harness compares it to make sure 32-bit code really runs.
#include <cstdio>
int main() {
    std::puts("wine-probe ok");
    return 0;
}
