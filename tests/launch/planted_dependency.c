/* A library the test jli.dll imports: where the loader finds it tells
   which folders it searches for a jli.dll's dependencies. */
__declspec(dllexport) int plantedValue(void) {
    return 7;
}
