// A shared library with one exported entry, loaded by the dynamic-loading test.
__attribute__((visibility("default"))) int AxTestTwice(int x) {
  return 2 * x;
}
int AxTestHidden(int x) {
  return x;
}
