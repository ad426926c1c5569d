// A library for LoadLibraryA to find beside the tests.
extern "C" int probeAnswer() {
  return 42;
}
