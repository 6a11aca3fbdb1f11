// Intrinsics cl.exe expands in place that clang 19 leaves as calls on x64,
// for the STL sources compiled here: __ull_rshift shifts by the count
// modulo 64, as the instruction does.
unsigned long long __ull_rshift(unsigned long long value, int shift) {
  return value >> (shift & 63);
}
