/* A jli.dll that needs tavrin_planted.dll: it loads only where the loader
   finds that library. */
__declspec(dllimport) int plantedValue(void);

__declspec(dllexport) int JLI_Launch(int argc, char** argv) {
    (void)argc;
    (void)argv;
    return plantedValue();
}
